#include "CalcWindow.h"
#include "StartUp.h"
#include "StartupMessages.h"

#include <QApplication>
#include <QIcon>
#include <QString>

int main(int argc, char *argv[])
{
    holdStartupMessages(argv[0]);
    QApplication app(argc, argv);
    releaseStartupMessages();

    // Tie the window to its desktop entry: the application name is the
    // class in X11's WM_CLASS (the entry's StartupWMClass), the desktop file
    // name is the app id on Wayland, and the icon is the entry's icon.
    QApplication::setApplicationName(QStringLiteral("threebody"));
    QApplication::setApplicationVersion(QStringLiteral(THREEBODY_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.threebody.Simulator"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.threebody.Simulator"),
                                                 QIcon(QStringLiteral(":/icons/org.threebody.Simulator.svg"))));

    CalcWindow window;
    SchemeEngines engines;
    startUp(*window.parPanel, *window.drawField, engines);

    window.show();
    return app.exec();
}
