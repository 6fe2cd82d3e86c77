// A view, a panel and the three engines, wired by the program's own
// start-up, for the panel's tests.
#ifndef PANEL_FIXTURE_H
#define PANEL_FIXTURE_H

#include "CalcParPanel.h"
#include "DrawField.h"
#include "StartUp.h"

#include <QString>

#include <cmath>
#include <cstdio>

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

// A result as the form must show it, derived by the C library's route, not
// the toolkit's: six significant digits, and "nan" whatever its sign.
inline QString shownResult(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return QString::fromLatin1(text);
}

#endif
