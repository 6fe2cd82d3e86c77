#include "StartUp.h"

#include "CalcParPanel.h"
#include "DrawField.h"

void startUp(CCalcParPanel &panel, CDrawField &view, SchemeEngines &engines)
{
    panel.euler = &engines.euler;
    panel.rk2 = &engines.rk2;
    panel.rk4 = &engines.rk4;
    panel.currentEngine = &engines.rk2;

    CCalcEngine::setParam(threebody::kStartXp3, threebody::kStartFactor);
    panel.updateParam();
    engines.rk2.Calculation();
    panel.updateAMInfo();
    view.drawSpot(CCalcEngine::data_list, CCalcEngine::count);
}
