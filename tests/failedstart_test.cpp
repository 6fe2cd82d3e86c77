// What a failed start says, from the messages that the toolkit versions of
// Debian 12 (Qt 6.4), 13 (6.8) and testing (6.11) give, as they give them:
// our one line only where we can tell the cause, else the toolkit's words.
#include "FailedStart.h"

#include <QTest>

Q_DECLARE_METATYPE(QList<HeldMessage>)

namespace {

HeldMessage message(QtMsgType type, const char *category, const QString &text)
{
    return {type, QByteArray(category), {}, {}, 0, text};
}

const HeldMessage summary = message(QtFatalMsg, "default",
    "This application failed to start because no Qt platform plugin could be initialized. Reinstalling the "
    "application may fix this problem.\n\nAvailable platform plugins are: wayland-egl, minimal, offscreen, xcb, wayland.\n");
// 6.8 and later, in the C locale.
const HeldMessage localeWarning = message(QtWarningMsg, "default",
    "Detected locale \"C\" with character encoding \"ANSI_X3.4-1968\", which is not UTF-8.\nQt depends on a UTF-8 "
    "locale, and has switched to \"C.UTF-8\" instead.");

HeldMessage notLoaded(const char *plugin)
{
    return message(QtInfoMsg, "qt.qpa.plugin",
                   QString("Could not load the Qt platform plugin \"%1\" in \"\" even though it was found.").arg(plugin));
}

QList<HeldMessage> xcbFails(int minor, const QString &display)
{
    QList<HeldMessage> said{message(QtWarningMsg, "qt.qpa.xcb", "could not connect to display " + display)};
    if (minor >= 5)
        said << message(QtWarningMsg, "qt.qpa.plugin",
                        "From 6.5.0, xcb-cursor0 or libxcb-cursor0 is needed to load the Qt xcb platform plugin.");
    return said << notLoaded("xcb");
}

QList<HeldMessage> waylandFails(int minor)
{
    return {message(minor >= 8 ? QtWarningMsg : QtCriticalMsg, nullptr,
                    "Failed to create wl_display (No such file or directory)"),
            notLoaded("wayland")};
}

}  // namespace

class FailedStartTest : public QObject {
    Q_OBJECT

private slots:
    void judge_data()
    {
        QTest::addColumn<QList<HeldMessage>>("held");
        QTest::addColumn<int>("x11Server");          // what answers on the X11 display
        QTest::addColumn<QString>("waylandDisplay");
        QTest::addColumn<QString>("runtimeDir");
        QTest::addColumn<bool>("waylandSocket");      // whether its socket is there
        QTest::addColumn<bool>("libraryDebug");       // the user asked for the loader's messages
        QTest::addColumn<QStringList>("ours");        // words of our line; none: no line
        QTest::addColumn<QStringList>("notOurs");     // words our line must not have
        QTest::addColumn<int>("passed");              // how many held messages stand
        QTest::addColumn<int>("libraryLines");

        const QString runtime = "/run/user/1000";
        const int absent = int(X11Server::Absent), listening = int(X11Server::Listening),
                  unknown = int(X11Server::Unknown);
        const HeldMessage cannotLoad = message(QtDebugMsg, kLibraryCategory,
            "\"/x/platforms/libqxcb.so\" cannot load: Cannot load library /x/platforms/libqxcb.so: "
            "(libQt6XcbQpa.so.0: cannot open shared object file: No such file or directory)");
        const QStringList noLine;
        for (int minor : {4, 8, 11}) {
            auto row = [minor](const char *name) -> QTestData & { return QTest::addRow("Qt 6.%d, %s", minor, name); };
            row("no display variables") << xcbFails(minor, "") + QList{summary} << absent << "" << "" << false << false
                << QStringList{"neither DISPLAY nor WAYLAND_DISPLAY is set", "xvfb-run ./threebody",
                               "./threebody -platform offscreen"} << QStringList{} << 0 << 0;
            row("an X11 display where nothing listens") << xcbFails(minor, ":4999") + QList{summary} << absent << ""
                << runtime << false << false << QStringList{"the X11 display :4999 cannot be reached", "xvfb-run"}
                << QStringList{} << 0 << 0;
            // The server's own reason (no authorization) went to the terminal before the toolkit's words.
            row("an X11 server that refuses the program") << xcbFails(minor, ":0") + QList{summary} << listening << ""
                << runtime << false << false << QStringList{"the X11 display :0 refused the connection", "XAUTHORITY"}
                << QStringList{"cannot be reached", "xvfb-run"} << 0 << 0;
            row("another machine's X11 display: we cannot tell") << xcbFails(minor, "far:0") + QList{summary}
                << unknown << "" << runtime << false << false << noLine << QStringList{}
                << int(xcbFails(minor, "").size()) + 1 << 0;
            row("an unknown platform") << QList{message(QtWarningMsg, "qt.qpa.plugin",
                                                        "Could not find the Qt platform plugin \"nosuch\" in \"\""),
                                                summary}
                << absent << "" << runtime << false << false << noLine << QStringList{} << 2 << 0;
            row("Wayland without a compositor") << waylandFails(minor) + QList{summary} << absent << "threebody-none"
                << runtime << false << false
                << QStringList{"the Wayland display threebody-none cannot be reached", "./threebody -platform xcb"}
                << QStringList{"xvfb-run"} << 0 << 0;
            row("Wayland, WAYLAND_DISPLAY unset") << waylandFails(minor) + QList{summary} << absent << "" << runtime
                << false << false << QStringList{"the Wayland display wayland-0 cannot be reached"} << QStringList{}
                << 0 << 0;
            // libwayland has said so on the terminal; a compositor may well be running.
            row("Wayland, XDG_RUNTIME_DIR unset") << waylandFails(minor) + QList{summary} << absent << "wayland-0" << ""
                << false << false << QStringList{"XDG_RUNTIME_DIR", "is not set"}
                << QStringList{"cannot be reached", "start a Wayland compositor"} << 0 << 0;
            row("a Wayland socket that is there: we cannot tell") << waylandFails(minor) + QList{summary} << absent
                << "wayland-0" << runtime << true << false << noLine << QStringList{} << 3 << 0;
            row("Wayland, then X11, both without a display") << waylandFails(minor) + xcbFails(minor, "") + QList{summary}
                << absent << "" << runtime << false << false
                << QStringList{"the Wayland display wayland-0 cannot be reached and DISPLAY is not set", "xvfb-run"}
                << QStringList{"start a Wayland compositor"} << 0 << 0;
            // QT_FATAL_WARNINGS: the toolkit aborts right after the first warning.
            row("a warning made fatal: no display") << QList{xcbFails(minor, "").first()} << absent << "" << ""
                << false << false << QStringList{"neither DISPLAY nor WAYLAND_DISPLAY is set"} << QStringList{} << 0 << 0;
            row("a warning made fatal: another cause") << QList{localeWarning} << absent << "" << "" << false << false
                << noLine << QStringList{} << 1 << 0;
            row("other messages stand beside our line") << QList{localeWarning} + xcbFails(minor, "") + QList{summary}
                << absent << "" << "" << false << false << QStringList{"neither DISPLAY"} << QStringList{} << 1 << 0;
            row("a platform plugin that cannot load") << QList{cannotLoad, notLoaded("xcb"), summary} << absent << ""
                << runtime << false << false << noLine << QStringList{} << 2 << 1;
            row("... where the user asked for the loader's messages") << QList{cannotLoad, notLoaded("xcb"), summary}
                << absent << "" << runtime << false << true << noLine << QStringList{} << 3 << 0;
        }
    }
    void judge()
    {
        QFETCH(QList<HeldMessage>, held);
        QFETCH(int, x11Server);
        QFETCH(QString, waylandDisplay);
        QFETCH(QString, runtimeDir);
        QFETCH(bool, waylandSocket);
        QFETCH(bool, libraryDebug);
        QFETCH(QStringList, ours);
        QFETCH(QStringList, notOurs);
        QFETCH(int, passed);
        QFETCH(int, libraryLines);

        QStringList probed;
        const Surroundings around{"./threebody", waylandDisplay, runtimeDir, libraryDebug,
                                  [&](const QString &display) {
                                      probed << display;
                                      return X11Server(x11Server);
                                  },
                                  [&](const QString &path) {
                                      probed << path;
                                      return waylandSocket;
                                  }};
        const FailedStart verdict = judgeFailedStart(held, around);
        for (const QString &words : ours)
            QVERIFY2(verdict.ours.contains(words), qPrintable(verdict.ours));
        QCOMPARE(verdict.ours.isEmpty(), ours.isEmpty());
        for (const QString &words : notOurs)
            QVERIFY2(!verdict.ours.contains(words), qPrintable(verdict.ours));
        QCOMPARE(verdict.passOn.size(), passed);
        // The toolkit's summary stands exactly where ours does not.
        const bool summaryPassed = std::any_of(verdict.passOn.begin(), verdict.passOn.end(),
                                               [](const HeldMessage *m) { return m->type == QtFatalMsg; });
        QCOMPARE(summaryPassed, ours.isEmpty() && held.last().type == QtFatalMsg);
        QCOMPARE(verdict.libraryFailures.size(), libraryLines);
        // The probes look where the toolkit looked.
        for (const QString &path : probed)
            QVERIFY2(path.startsWith(':') || path.startsWith("far:") || path == runtimeDir + '/' + waylandDisplay ||
                         path == runtimeDir + "/wayland-0",
                     qPrintable(path));
    }
};

QTEST_GUILESS_MAIN(FailedStartTest)
#include "failedstart_test.moc"
