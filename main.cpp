#include "CalcParPanel.h"
#include "CalcWindow.h"
#include "DrawField.h"
#include "three_bodycalc.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

bool displayConfigured()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

void reportNoDisplay()
{
    std::fputs("threebody: cannot open a display; to try it without one, run: "
               "xvfb-run threebody (or set QT_QPA_PLATFORM=offscreen)\n",
               stderr);
}

QtMessageHandler qtMessageHandler = nullptr;

// Qt aborts when no platform can be opened; say so in one line instead.
void startupMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg) {
        reportNoDisplay();
        std::_Exit(EXIT_FAILURE);
    }
    if (qtMessageHandler)
        qtMessageHandler(type, context, text);
}

}  // namespace

int main(int argc, char *argv[])
{
    if (!displayConfigured()) {
        reportNoDisplay();
        return EXIT_FAILURE;
    }
    qtMessageHandler = qInstallMessageHandler(startupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessageHandler);

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
