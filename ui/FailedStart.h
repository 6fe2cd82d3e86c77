// Why the toolkit could not start, decided from the messages it gave while it
// tried and from what the program can see around it. No display server is
// needed to decide, so every toolkit version's texts can be tried in a table.
#ifndef FAILEDSTART_H
#define FAILEDSTART_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

struct HeldMessage {
    QtMsgType type;
    // Copies: a platform plugin that failed may be unloaded with its strings.
    QByteArray category, file, function;
    int line;
    QString text;
};

// Debug messages of the library loader are switched on while the toolkit
// starts, to learn why a plugin could not load; they are passed on only
// where the user asked for them.
constexpr char kLibraryCategory[] = "qt.core.library";
bool askedFor(const HeldMessage &message, bool userWantsLibraryDebug);

enum class X11Server { Absent, Listening, Unknown };

struct Surroundings {
    QString program;              // as the user started it, for the hints
    QString waylandDisplay;       // WAYLAND_DISPLAY; empty where unset
    QString runtimeDir;           // XDG_RUNTIME_DIR; empty where unset
    bool userWantsLibraryDebug = false;
    std::function<X11Server(const QString &display)> x11Server;  // what answers on an X11 display
    std::function<bool(const QString &path)> socketExists;
};

struct FailedStart {
    QString ours;                          // our one line, or empty where we cannot tell
    QList<const HeldMessage *> passOn;     // the toolkit's messages that stand, in order
    QStringList libraryFailures;           // why a plugin could not load, where not passed on
};

// `held` ends with the message that ended the start (fatal, or made fatal by
// QT_FATAL_WARNINGS or QT_FATAL_CRITICALS).
FailedStart judgeFailedStart(const QList<HeldMessage> &held, const Surroundings &around);

#endif
