#include "FailedStart.h"

#include <QRegularExpression>

namespace {

// Why a display could not be used, where we can tell.
enum class Cause { NotTried, NotSet, Unreachable, Refused, NoRuntimeDir, Unknown };

// A name that the user can paste into a shell.
QString forShell(const QString &program)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+-]+$"));
    return plain.match(program).hasMatch() ? program : "'" + QString(program).replace("'", "'\\''") + "'";
}

Cause x11Cause(const QString &display, const Surroundings &around)
{
    if (display.isEmpty())
        return Cause::NotSet;
    switch (around.x11Server(display)) {
    case X11Server::Absent:
        return Cause::Unreachable;
    case X11Server::Listening:  // something answered, then the connection failed: the server said no
        return Cause::Refused;
    case X11Server::Unknown:
        break;
    }
    return Cause::Unknown;
}

// libwayland looks a relative display name up in XDG_RUNTIME_DIR.
Cause waylandCause(const QString &name, const Surroundings &around)
{
    QString socket = name;
    if (!name.startsWith('/')) {
        if (around.runtimeDir.isEmpty())
            return Cause::NoRuntimeDir;
        socket = around.runtimeDir + '/' + name;
    }
    return around.socketExists(socket) ? Cause::Unknown : Cause::Unreachable;
}

}  // namespace

bool askedFor(const HeldMessage &message, bool userWantsLibraryDebug)
{
    return userWantsLibraryDebug || message.type != QtDebugMsg || message.category != kLibraryCategory;
}

FailedStart judgeFailedStart(const QList<HeldMessage> &held, const Surroundings &around)
{
    static const QString x11Failed = QStringLiteral("could not connect to display");
    static const QString waylandFailed = QStringLiteral("Failed to create wl_display");
    // Qt 6.5 and later add, whenever xcb fails, that it may lack xcb-cursor.
    static const QRegularExpression notLoaded(QStringLiteral(
        R"re(^Could not load the Qt platform plugin "([^"]*)"|needed to load the Qt (xcb) platform plugin)re"));
    static const QString notFound = QStringLiteral("Could not find the Qt platform plugin");
    static const QString noPluginStarted = QStringLiteral("no Qt platform plugin could be initialized");

    bool x11 = false, wayland = false, otherCause = false;
    QString x11Display;
    FailedStart verdict;
    QList<const HeldMessage *> others;
    for (const HeldMessage &m : held) {
        const QRegularExpressionMatch plugin = notLoaded.match(m.text);
        const bool last = &m == &held.last();
        if (m.category == "qt.qpa.xcb" && m.text.startsWith(x11Failed)) {
            x11 = true;
            x11Display = m.text.mid(x11Failed.size()).trimmed();
        } else if (m.text.startsWith(waylandFailed)) {
            wayland = true;
        } else if (plugin.hasMatch()) {
            const QString name = plugin.captured(1) + plugin.captured(2);
            otherCause |= !(name == "xcb" && x11) && !(name.startsWith("wayland") && wayland);
        } else if (last && m.type == QtFatalMsg && m.text.contains(noPluginStarted)) {
            // The toolkit's summary: it stands wherever its causes do.
            others << &m;
        } else {
            // Any other message that ended the start is its cause.
            otherCause |= m.text.startsWith(notFound) || last;
            if (m.category == kLibraryCategory && m.text.contains(" cannot load: "))
                verdict.libraryFailures << m.text;
            others << &m;
        }
    }

    const QString waylandName = around.waylandDisplay.isEmpty() ? QStringLiteral("wayland-0") : around.waylandDisplay;
    const Cause onWayland = wayland ? waylandCause(waylandName, around) : Cause::NotTried;
    const Cause onX11 = x11 ? x11Cause(x11Display, around) : Cause::NotTried;
    if (otherCause || (!x11 && !wayland) || onWayland == Cause::Unknown || onX11 == Cause::Unknown) {
        for (const HeldMessage &m : held)
            if (askedFor(m, around.userWantsLibraryDebug))
                verdict.passOn << &m;
        if (around.userWantsLibraryDebug)
            verdict.libraryFailures.clear();
        return verdict;
    }

    QStringList why;
    if (onWayland == Cause::Unreachable)
        why << "the Wayland display " + waylandName + " cannot be reached";
    else if (onWayland == Cause::NoRuntimeDir)
        why << "XDG_RUNTIME_DIR, where the Wayland display " + waylandName + " is looked for, is not set";
    if (onX11 == Cause::NotSet)
        why << (wayland || !around.waylandDisplay.isEmpty() ? QStringLiteral("DISPLAY is not set")
                                                             : QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set"));
    else if (onX11 == Cause::Unreachable)
        why << "the X11 display " + x11Display + " cannot be reached";
    else if (onX11 == Cause::Refused)
        why << "the X11 display " + x11Display + " refused the connection";

    const QString program = forShell(around.program);
    QString hint;
    if (onX11 == Cause::Refused)
        hint = QStringLiteral("if the display is another user's (as under sudo), XAUTHORITY must name that user's "
                              "X authority file");
    else if (x11)  // whatever Wayland's cause, this works without either
        hint = "to try it without one, run: xvfb-run " + program + " (or " + program + " -platform offscreen)";
    else if (onWayland == Cause::NoRuntimeDir)
        hint = "set XDG_RUNTIME_DIR as the desktop session does, or run it on X11 (" + program + " -platform xcb)";
    else
        hint = "start a Wayland compositor, or run it on X11 (" + program + " -platform xcb) or without a display (" +
               program + " -platform offscreen)";
    verdict.ours = "cannot open a display: " + why.join(QStringLiteral(" and ")) + "; " + hint;
    for (const HeldMessage *m : others)
        if (m->type != QtFatalMsg && askedFor(*m, around.userWantsLibraryDebug))
            verdict.passOn << m;
    verdict.libraryFailures.clear();
    return verdict;
}
