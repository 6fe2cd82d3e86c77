// A view, a panel and the three engines wired together as the program
// wires them, for the panel's tests.
#ifndef PANEL_FIXTURE_H
#define PANEL_FIXTURE_H

#include "CalcParPanel.h"
#include "DrawField.h"
#include "three_bodycalc.h"

struct PanelFixture {
    PanelFixture()
    {
        view->resize(800, 800);
        panel->euler = &euler;
        panel->rk2 = &rk2;
        panel->rk4 = &rk4;
        panel->currentEngine = &rk2;
    }
    ~PanelFixture()
    {
        delete panel;
        delete view;
    }

    // The rest of the program's start-up: the default run, shown.
    void startUp()
    {
        CCalcEngine::nstep = 1000000;  // what constructing the engines sets
        CCalcEngine::setParam(2.0, 1.0);
        panel->updateParam();
        rk2.Calculation();
        panel->updateAMInfo();
        view->drawSpot(CCalcEngine::data_list, CCalcEngine::count);
    }

    // Engines hold no state of their own; the program keeps them for its life.
    CThreeBodyEuler euler;
    CThreeBodyRK2 rk2;
    CThreeBodyRK4 rk4;
    CDrawField *view = new CDrawField();
    CCalcParPanel *panel = new CCalcParPanel(view);
};

#endif
