// A view, a panel and the three engines, wired by the program's own
// start-up, for the panel's tests.
#ifndef PANEL_FIXTURE_H
#define PANEL_FIXTURE_H

#include "CalcParPanel.h"
#include "DrawField.h"
#include "StartUp.h"

struct PanelFixture {
    PanelFixture() { view->resize(800, 800); }
    ~PanelFixture()
    {
        delete panel;
        delete view;
    }

    void startUp() { ::startUp(*panel, *view, engines); }

    SchemeEngines engines;  // constructing them sets nstep to 1000000
    CDrawField *view = new CDrawField();
    CCalcParPanel *panel = new CCalcParPanel(view);
};

#endif
