// The program's start-up: the three schemes' engines handed to the form,
// and the first run, made before the window is shown.
#ifndef STARTUP_H
#define STARTUP_H

#include "three_bodycalc.h"

class CCalcParPanel;
class CDrawField;

// Engines hold no state of their own; the program keeps them for its life.
struct SchemeEngines {
    CThreeBodyEuler euler;
    CThreeBodyRK2 rk2;
    CThreeBodyRK4 rk4;
};

// Wires the engines into the panel with the midpoint scheme current, as the
// combo box shows, and shows the midpoint run from xp3 2 and factor 1.
void startUp(CCalcParPanel &panel, CDrawField &view, SchemeEngines &engines);

#endif
