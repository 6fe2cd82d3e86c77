#include "StartupMessages.h"

#include "FailedStart.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Another thread may log while the toolkit starts.
QMutex heldLock;
QList<HeldMessage> held;
bool holding = false;
QString program;

QtMessageHandler passOn = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;
bool userWantsLibraryDebug = false;
struct sigaction previousAbort;

void libraryDebugOn(QLoggingCategory *category)
{
    previousFilter(category);
    if (qstrcmp(category->categoryName(), kLibraryCategory) == 0) {
        userWantsLibraryDebug = category->isDebugEnabled() || qEnvironmentVariableIntValue("QT_DEBUG_PLUGINS");
        category->setEnabled(QtDebugMsg, true);
    }
}

const char *orNull(const QByteArray &bytes)
{
    return bytes.isNull() ? nullptr : bytes.constData();
}

void pass(const HeldMessage &m)
{
    passOn(m.type, QMessageLogContext(orNull(m.file), m.line, orNull(m.function), orNull(m.category)), m.text);
}

void say(const QString &line)
{
    std::fprintf(stderr, "threebody: %s\n", qPrintable(line));
}

bool connects(const sockaddr_un &address, socklen_t length, bool *refused)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
    *refused = !connected && (errno == ECONNREFUSED || errno == ENOENT);
    ::close(fd);
    return connected;
}

// Whether an X server listens on a display of this machine: on the abstract
// socket that Linux servers open, or on the one in /tmp/.X11-unix.
X11Server x11ServerAt(const QString &display)
{
    static const QRegularExpression local(QStringLiteral(R"(^(unix)?:(\d+)(\.\d+)?$)"));
    const QRegularExpressionMatch match = local.match(display);
    if (!match.hasMatch())
        return X11Server::Unknown;  // another machine's: not ours to probe
    const QByteArray path = "/tmp/.X11-unix/X" + match.captured(2).toLatin1();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, path.constData(), path.size());
    bool abstractRefused = false, pathRefused = false;
    if (connects(address, socklen_t(offsetof(sockaddr_un, sun_path) + 1 + path.size()), &abstractRefused))
        return X11Server::Listening;
    address.sun_path[0] = '\0';
    std::memcpy(address.sun_path, path.constData(), path.size() + 1);
    if (connects(address, socklen_t(sizeof address), &pathRefused))
        return X11Server::Listening;
    return abstractRefused && pathRefused ? X11Server::Absent : X11Server::Unknown;
}

bool isSocket(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// Ends a start that failed, with status 1 and without the abort that a fatal
// message would end in: no core file. Called with heldLock held.
[[noreturn]] void endFailedStart()
{
    const Surroundings around{program, qEnvironmentVariable("WAYLAND_DISPLAY"), qEnvironmentVariable("XDG_RUNTIME_DIR"),
                              userWantsLibraryDebug, x11ServerAt, isSocket};
    const FailedStart verdict = judgeFailedStart(held, around);
    for (const HeldMessage *m : verdict.passOn)
        pass(*m);
    if (!verdict.ours.isEmpty())
        say(verdict.ours);
    for (const QString &line : verdict.libraryFailures)
        say(line);
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

void holdingHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    QMutexLocker lock(&heldLock);
    HeldMessage m{type, QByteArray(context.category), QByteArray(context.file), QByteArray(context.function),
                  context.line, text};
    if (!holding) {  // released while this thread waited for the lock
        pass(m);
        return;
    }
    held.append(m);
    if (type == QtFatalMsg)
        endFailedStart();
}

// With QT_FATAL_WARNINGS or QT_FATAL_CRITICALS the toolkit aborts right after
// the message it made fatal, which is then the last one held. A handler that
// aborts while passing a fatal message on holds the lock itself: the wait
// ends, and the start ends all the same.
void abortedByAMessage(int)
{
    std::signal(SIGABRT, SIG_DFL);
    heldLock.tryLock(1000);
    endFailedStart();
}

}  // namespace

void holdStartupMessages(const char *programName)
{
    program = QString::fromLocal8Bit(programName);
    holding = true;
    passOn = qInstallMessageHandler(holdingHandler);
    // The filter is called at once for every category: the previous one must be known first.
    previousFilter = QLoggingCategory::installFilter(nullptr);
    QLoggingCategory::installFilter(libraryDebugOn);
    if (qEnvironmentVariableIsSet("QT_FATAL_WARNINGS") || qEnvironmentVariableIsSet("QT_FATAL_CRITICALS")) {
        struct sigaction onAbort {};
        onAbort.sa_handler = abortedByAMessage;
        sigaction(SIGABRT, &onAbort, &previousAbort);
    }
}

void releaseStartupMessages()
{
    QLoggingCategory::installFilter(previousFilter);
    QMutexLocker lock(&heldLock);
    if (qEnvironmentVariableIsSet("QT_FATAL_WARNINGS") || qEnvironmentVariableIsSet("QT_FATAL_CRITICALS"))
        sigaction(SIGABRT, &previousAbort, nullptr);
    // In order, before any later message: a thread that logs meanwhile waits for the lock.
    for (const HeldMessage &m : held)
        if (askedFor(m, userWantsLibraryDebug))
            pass(m);
    held.clear();
    holding = false;
    qInstallMessageHandler(passOn);
}
