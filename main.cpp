#include "CalcParPanel.h"
#include "CalcWindow.h"
#include "DrawField.h"
#include "three_bodycalc.h"

#include <QApplication>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler qtMessageHandler = nullptr;

// Messages of the toolkit's start-up, held back until it has succeeded.
struct HeldMessage {
    QtMsgType type;
    QString text;
};
QList<HeldMessage> heldMessages;

// Qt aborts when no platform can be opened; say so in one line instead,
// without the toolkit's own lines about it.
void startupMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
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

int main(int argc, char *argv[])
{
    qtMessageHandler = qInstallMessageHandler(startupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessageHandler);
    for (const HeldMessage &m : heldMessages)
        if (qtMessageHandler)
            qtMessageHandler(m.type, QMessageLogContext(), m.text);
    heldMessages.clear();

    CalcWindow window;

    CThreeBodyEuler euler;
    CThreeBodyRK2 rk2;
    CThreeBodyRK4 rk4;

    CCalcParPanel *panel = window.parPanel;
    panel->euler = &euler;
    panel->rk2 = &rk2;
    panel->rk4 = &rk4;
    panel->currentEngine = &rk2;

    CCalcEngine::setParam(2.0, 1.0);
    panel->updateParam();
    rk2.Calculation();
    panel->updateAMInfo();
    window.drawField->drawSpot(CCalcEngine::data_list, CCalcEngine::count);

    window.show();
    return app.exec();
}
