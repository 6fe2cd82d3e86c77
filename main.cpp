#include "CalcWindow.h"
#include "StartUp.h"

#include <QApplication>
#include <QIcon>
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
