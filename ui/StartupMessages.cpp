#include "StartupMessages.h"

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

struct HeldMessage {
    QtMsgType type;
    // Copies: a platform plugin that failed may be unloaded with its strings.
    QByteArray category, file, function;
    int line;
    QString text;
};

QtMessageHandler passOn = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;
QList<HeldMessage> held;

// Why a plugin could not load (a library it needs is missing) is said only in
// a debug message of this category: it is switched on while the toolkit
// starts, and its messages are passed on only where the user asked for them.
constexpr char kLibraryCategory[] = "qt.core.library";
bool userWantsLibraryDebug = false;

void libraryDebugOn(QLoggingCategory *category)
{
    previousFilter(category);
    if (qstrcmp(category->categoryName(), kLibraryCategory) == 0) {
        userWantsLibraryDebug = category->isDebugEnabled() || qEnvironmentVariableIntValue("QT_DEBUG_PLUGINS");
        category->setEnabled(QtDebugMsg, true);
    }
}

bool askedFor(const HeldMessage &m)
{
    return userWantsLibraryDebug || m.type != QtDebugMsg || m.category != kLibraryCategory;
}

const char *orNull(const QByteArray &bytes)
{
    return bytes.isNull() ? nullptr : bytes.constData();
}

void pass(const HeldMessage &m)
{
    if (askedFor(m))
        passOn(m.type, QMessageLogContext(orNull(m.file), m.line, orNull(m.function), orNull(m.category)), m.text);
}

void say(const QString &line)
{
    std::fprintf(stderr, "threebody: %s\n", qPrintable(line));
}

// Ends a start that failed. The platform plugins say when they cannot reach
// their display server: xcb names the X11 display it tried, Wayland's does
// not. Where that is why every plugin failed, one line of ours says so;
// any other cause is left to the toolkit's own words.
[[noreturn]] void endFailedStart(const HeldMessage &fatal)
{
    static const QString x11Failed = QStringLiteral("could not connect to display");
    static const QString waylandFailed = QStringLiteral("Failed to create wl_display");
    // Qt 6.5 and later add, whenever xcb fails, that it may lack xcb-cursor.
    static const QRegularExpression notLoaded(
        QStringLiteral(R"re(^Could not load the Qt platform plugin "([^"]*)"|needed to load the Qt (xcb) platform plugin)re"));
    static const QString notFound = QStringLiteral("Could not find the Qt platform plugin");

    bool x11 = false, wayland = false, otherCause = false;
    QString x11Display;
    QStringList cannotLoad;
    QList<const HeldMessage *> others;
    for (const HeldMessage &m : held) {
        const QRegularExpressionMatch plugin = notLoaded.match(m.text);
        if (m.category == "qt.qpa.xcb" && m.text.startsWith(x11Failed)) {
            x11 = true;
            x11Display = m.text.mid(x11Failed.size()).trimmed();
        } else if (m.text.startsWith(waylandFailed)) {
            wayland = true;
        } else if (plugin.hasMatch()) {
            const QString name = plugin.captured(1) + plugin.captured(2);
            otherCause |= !(name == "xcb" && x11) && !(name.startsWith("wayland") && wayland);
        } else {
            otherCause |= m.text.startsWith(notFound);
            if (m.category == kLibraryCategory && m.text.contains(" cannot load: "))
                cannotLoad << m.text;
            others << &m;
        }
    }

    if ((x11 || wayland) && !otherCause) {
        for (const HeldMessage *m : others)
            pass(*m);
        QStringList why;
        if (wayland)
            why << "the Wayland display " + qEnvironmentVariable("WAYLAND_DISPLAY", "wayland-0") + " cannot be reached";
        if (x11 && !x11Display.isEmpty())
            why << "the X11 display " + x11Display + " cannot be reached";
        else if (x11)
            why << (wayland || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ? "DISPLAY is not set"
                                                                             : "neither DISPLAY nor WAYLAND_DISPLAY is set");
        say("cannot open a display: " + why.join(" and ") + "; " +
            (x11 ? "to try it without one, run: xvfb-run threebody (or threebody -platform offscreen)"
                 : "start a Wayland compositor, or run it on X11 (threebody -platform xcb) "
                   "or without a display (threebody -platform offscreen)"));
    } else {
        for (const HeldMessage &m : held)
            pass(m);
        pass(fatal);
        if (!userWantsLibraryDebug)
            for (const QString &line : cannotLoad)
                say(line);
    }
    // Status 1 without the abort that a fatal message would end in: no core file.
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

void holdingHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    HeldMessage m{type, QByteArray(context.category), QByteArray(context.file), QByteArray(context.function),
                  context.line, text};
    if (type == QtFatalMsg)
        endFailedStart(m);
    held.append(m);
}

}  // namespace

void holdStartupMessages()
{
    passOn = qInstallMessageHandler(holdingHandler);
    // The filter is called at once for every category: the previous one must be known first.
    previousFilter = QLoggingCategory::installFilter(nullptr);
    QLoggingCategory::installFilter(libraryDebugOn);
}

void releaseStartupMessages()
{
    QLoggingCategory::installFilter(previousFilter);
    qInstallMessageHandler(passOn);
    for (const HeldMessage &m : held)
        pass(m);
    held.clear();
}
