#include "StartUp.h"

#include "CalcParPanel.h"
#include "DrawField.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler heldHandler = nullptr;

struct HeldMessage {
    QtMsgType type;
    QString text;
};
QList<HeldMessage> heldMessages;

void holdingHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtFatalMsg) {
        std::fputs("threebody: cannot open a display; to try it without one, run: "
                   "xvfb-run threebody (or threebody -platform offscreen)\n",
                   stderr);
        std::_Exit(EXIT_FAILURE);
    }
    heldMessages.append({type, text});
}

}  // namespace

void holdStartupMessages()
{
    heldHandler = qInstallMessageHandler(holdingHandler);
}

void releaseStartupMessages()
{
    qInstallMessageHandler(heldHandler);
    for (const HeldMessage &m : heldMessages)
        if (heldHandler)
            heldHandler(m.type, QMessageLogContext(), m.text);
    heldMessages.clear();
}

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
