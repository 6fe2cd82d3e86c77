// The real program in a real X server: Xvfb is started and stopped here.
// Checks the window, the start-up trajectory on screen, a window manager's
// close request ending the program with status 0, and the one-line message
// when no display can be opened.
// gtest before Xlib: Xlib's macros (None, Bool, ...) break gtest's headers.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const char *gProgram = nullptr;
const char kTitle[] = "3 Body Problem Application";

using Clock = std::chrono::steady_clock;

// A child of the test, reaped exactly once: by the first wait that sees it
// end, or by the destructor, which kills it only while it is unreaped, so
// that no pid is signalled after it may have been handed to another process.
class Child {
public:
    explicit Child(pid_t pid = -1) : pid(pid) {}
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    ~Child() { stop(); }

    // The wait status once it has ended within `seconds`, else -1. It is
    // always asked at least once.
    int wait(double seconds)
    {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (!reaped && pid > 0) {
            if (waitpid(pid, &status, WNOHANG) == pid)
                reaped = true;
            else if (Clock::now() >= deadline)
                break;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return reaped ? status : -1;
    }
    void stop()
    {
        if (pid > 0 && !reaped && wait(0) == -1) {
            kill(pid, SIGKILL);
            wait(5);
        }
    }
    pid_t pid;

private:
    bool reaped = false;
    int status = 0;
};

// What arrives on `fd` until the writer closes it, `enough` appears, or
// `seconds` pass; then `fd` is closed.
std::string readFrom(int fd, double seconds, const std::string &enough = {})
{
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    std::string text;
    while (Clock::now() < deadline && (enough.empty() || text.find(enough) == std::string::npos)) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0)
            continue;
        char buf[256];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, size_t(n));
    }
    close(fd);
    return text;
}

class XvfbServer {
public:
    XvfbServer()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1600x1200x24", "-nolisten", "tcp",
                   static_cast<char *>(nullptr));
            _exit(127);
        }
        server.pid = pid;
        close(fds[1]);
        // Read up to the newline, and keep the pipe open: Xvfb dies if its
        // write finds the reader gone.
        readEnd = fds[0];
        std::string number;
        char c;
        while (read(readEnd, &c, 1) == 1 && c != '\n')
            number += c;
        if (!number.empty())
            display = ":" + number;
    }
    ~XvfbServer()
    {
        server.stop();
        if (readEnd >= 0)
            close(readEnd);
    }
    Child server;
    int readEnd = -1;
    std::string display;
};

// Starts the program with `args`, or `wrapper` with the program and `args`
// after it; its standard error goes to `errorFd` when one is given.
pid_t startProgram(const std::vector<std::pair<const char *, const char *>> &env,
                   const std::vector<std::string> &args = {}, std::vector<std::string> wrapper = {},
                   int errorFd = -1)
{
    wrapper.push_back(gProgram);
    wrapper.insert(wrapper.end(), args.begin(), args.end());
    const pid_t pid = fork();
    if (pid == 0) {
        if (errorFd >= 0)
            dup2(errorFd, STDERR_FILENO);
        unsetenv("QT_QPA_PLATFORM");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DISPLAY");
        for (const auto &[name, value] : env)
            setenv(name, value, 1);
        std::vector<char *> argv;
        for (std::string &a : wrapper)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

Window findByTitle(Display *dpy, Window w)
{
    char *name = nullptr;
    if (XFetchName(dpy, w, &name) && name) {
        const bool match = std::strcmp(name, kTitle) == 0;
        XFree(name);
        XWindowAttributes attributes;
        if (match && XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable)
            return w;
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; ++i)
            found = findByTitle(dpy, children[i]);
        if (children)
            XFree(children);
    }
    return found;
}

struct Rgb {
    int r, g, b;
};

struct Screenshot {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

Screenshot capture(Display *dpy, Window w)
{
    Screenshot shot;
    XWindowAttributes a;
    XGetWindowAttributes(dpy, w, &a);
    XImage *image = XGetImage(dpy, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!image)
        return shot;
    shot.width = a.width;
    shot.height = a.height;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            shot.pixels.push_back({int((p >> 16) & 0xff), int((p >> 8) & 0xff), int(p & 0xff)});
        }
    XDestroyImage(image);
    return shot;
}

struct Dots {
    std::vector<std::pair<int, int>> points;
    double cx = 0, cy = 0;
};

const Rgb kStar{250, 50, 50};

Dots pixelsOf(const Screenshot &shot, Rgb colour)
{
    Dots d;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const Rgb p = shot.at(x, y);
            if (p.r == colour.r && p.g == colour.g && p.b == colour.b) {
                d.points.emplace_back(x, y);
                d.cx += x;
                d.cy += y;
            }
        }
    if (!d.points.empty()) {
        d.cx /= double(d.points.size());
        d.cy /= double(d.points.size());
    }
    return d;
}

}  // namespace

Display *openDisplay(const std::string &name)
{
    Display *dpy = nullptr;
    for (int i = 0; i < 100 && !dpy; ++i) {
        dpy = XOpenDisplay(name.c_str());
        if (!dpy)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return dpy;
}

using DisplayHandle = std::unique_ptr<Display, decltype(&XCloseDisplay)>;

Window waitForWindow(Display *dpy, Clock::time_point deadline)
{
    Window window = 0;
    while (!window && Clock::now() < deadline) {
        window = findByTitle(dpy, DefaultRootWindow(dpy));
        if (!window)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return window;
}

// Screenshots of the window until its first paint shows the star.
Screenshot firstPaint(Display *dpy, Window window, Clock::time_point deadline)
{
    Screenshot shot;
    while (pixelsOf(shot, kStar).points.empty() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        shot = capture(dpy, window);
    }
    return shot;
}

// The size of the largest image in the window's _NET_WM_ICON (width, height,
// then the pixels, for each image), or 0 when it has none.
unsigned long largestIconSide(Display *dpy, Window window)
{
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    const Atom icon = XInternAtom(dpy, "_NET_WM_ICON", False);
    if (XGetWindowProperty(dpy, window, icon, 0, 1 << 22, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) != Success || !data)
        return 0;
    const auto *words = reinterpret_cast<const unsigned long *>(data);  // format 32 comes as longs
    unsigned long largest = 0;
    for (unsigned long i = 0; i + 2 <= count;) {
        const unsigned long width = words[i], height = words[i + 1];
        if (width == 0 || height == 0 || i + 2 + width * height > count)
            break;
        largest = std::max(largest, std::min(width, height));
        i += 2 + width * height;
    }
    XFree(data);
    return largest;
}

std::string windowClass(Display *dpy, Window window)
{
    XClassHint hint{};
    if (!XGetClassHint(dpy, window, &hint))
        return {};
    const std::string result = hint.res_class ? hint.res_class : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
    return result;
}

std::string desktopEntryValue(const char *key)
{
    std::ifstream entry(THREEBODY_DESKTOP_ENTRY);
    const std::string prefix = std::string(key) + "=";
    for (std::string line; std::getline(entry, line);)
        if (line.rfind(prefix, 0) == 0)
            return line.substr(prefix.size());
    return {};
}

// Asks the window to close as a window manager does: WM_DELETE_WINDOW.
void requestClose(Display *dpy, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, window, False, NoEventMask, &event);
    XFlush(dpy);
}

TEST(RealWindow, ShowsTheStartupTrajectoryAndClosesCleanly)
{
    XvfbServer server;
    ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";
    DisplayHandle display(openDisplay(server.display), XCloseDisplay);
    Display *dpy = display.get();
    ASSERT_TRUE(dpy);

    Child program(startProgram({{"DISPLAY", server.display.c_str()}}));
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    const Window window = waitForWindow(dpy, deadline);
    ASSERT_TRUE(window) << "no window titled \"" << kTitle << "\"";

    // Tied to its launcher: an icon for docks and task switchers, and the
    // class that the desktop entry names.
    EXPECT_GE(largestIconSide(dpy, window), 16u) << "the window has no icon";
    const std::string startupClass = desktopEntryValue("StartupWMClass");
    EXPECT_FALSE(startupClass.empty());
    EXPECT_EQ(windowClass(dpy, window), startupClass);

    const Screenshot shot = firstPaint(dpy, window, deadline);
    const Dots star = pixelsOf(shot, kStar);
    ASSERT_FALSE(star.points.empty()) << "no star on screen";
    // The view's origin (400, 400) lies a layout margin in from the window's corner.
    EXPECT_NEAR(star.cx, 400, 25);
    EXPECT_NEAR(star.cy, 400, 25);
    EXPECT_LE(star.points.size(), 64u);  // the star barely moves

    const Dots planet1 = pixelsOf(shot, {50, 250, 50});
    const Dots planet2 = pixelsOf(shot, {50, 50, 250});
    ASSERT_GT(planet1.points.size(), 300u);
    ASSERT_GT(planet2.points.size(), 300u);
    for (const auto &[points, radius] : {std::pair{&planet1.points, 150.0}, {&planet2.points, 300.0}}) {
        for (const auto &[x, y] : *points) {
            const double r = std::hypot(x - star.cx, y - star.cy);
            ASSERT_NEAR(r, radius, 5) << "dot at " << x << "," << y;
        }
    }
    // Planet 1's dots go all the way round: every quadrant has some.
    int quadrants[4] = {};
    for (const auto &[x, y] : planet1.points)
        ++quadrants[(x > star.cx) + 2 * (y > star.cy)];
    for (int q : quadrants)
        EXPECT_GT(q, 20);

    requestClose(dpy, window);
    const int status = program.wait(20);
    ASSERT_NE(status, -1) << "program did not end after the close request";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RealWindow, WithoutADisplayItSaysSoInOneLine)
{
    for (const char *display : {static_cast<const char *>(nullptr), ":4999"}) {
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        std::vector<std::pair<const char *, const char *>> env;
        if (display)
            env.emplace_back("DISPLAY", display);
        Child program(startProgram(env, {}, {}, fds[1]));
        close(fds[1]);
        const std::string output = readFrom(fds[0], 30);
        const int status = program.wait(5);
        ASSERT_NE(status, -1) << "still running after 30 s";
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        // One line, ours, instead of the toolkit's messages and abort.
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
        EXPECT_NE(output.find("cannot open a display"), std::string::npos) << output;
        EXPECT_NE(output.find("xvfb-run"), std::string::npos);
    }
}

// The toolkit's start-up messages are held back only so that the line above
// can replace them; once it has started they must still be shown.
TEST(RealWindow, PassesOnTheToolkitsStartUpWarnings)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    Child program(startProgram({{"QT_QPA_PLATFORM", "offscreen"}}, {"-style", "nosuchstyle"}, {}, fds[1]));
    close(fds[1]);
    const std::string output = readFrom(fds[0], 60, "nosuchstyle");
    EXPECT_NE(output.find("invalid style override 'nosuchstyle'"), std::string::npos) << output;
}

// Of valgrind's report, the records that come from our own code: a leak
// whose allocation, or an invalid access, happens directly in our functions.
std::vector<std::string> ourErrors(const std::string &report)
{
    const char *ours[] = {"CCalcEngine", "CThreeBody", "CDrawField", "CCalcParPanel", "CalcWindow", "threebody::",
                          ": main ("};
    std::vector<std::string> found;
    size_t start = 0;
    while (start < report.size()) {
        // A record runs up to the next blank "==pid== " line.
        size_t end = report.find(" \n", start);
        if (end == std::string::npos)
            end = report.size();
        const std::string record = report.substr(start, end - start);
        start = end + 2;
        const bool leak = record.find("definitely lost") != std::string::npos;
        const bool invalid = record.find("Invalid ") != std::string::npos ||
                             record.find("uninitialised") != std::string::npos;
        if (!leak && !invalid)
            continue;
        // The first frame that is not the allocator.
        size_t line = 0;
        while ((line = record.find('\n', line)) != std::string::npos) {
            ++line;
            const std::string frame = record.substr(line, record.find('\n', line) - line);
            if (frame.find(" at 0x") == std::string::npos && frame.find(" by 0x") == std::string::npos)
                continue;
            const bool allocator = frame.find("vg_replace") != std::string::npos ||
                                   frame.find("operator new") != std::string::npos ||
                                   frame.find("alloc (") != std::string::npos;
            if (allocator)
                continue;
            for (const char *name : ours)
                if (frame.find(name) != std::string::npos)
                    found.push_back(record);
            break;
        }
    }
    return found;
}

TEST(Valgrind, StartAndCloseLoseNothingOfOurs)
{
    XvfbServer server;
    ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";
    DisplayHandle display(openDisplay(server.display), XCloseDisplay);
    Display *dpy = display.get();
    ASSERT_TRUE(dpy);

    char logName[] = "/tmp/threebody-memcheck-XXXXXX";
    const int logFd = mkstemp(logName);
    ASSERT_GE(logFd, 0);
    close(logFd);
    Child program(startProgram({{"DISPLAY", server.display.c_str()}}, {},
                                       {"valgrind", "--tool=memcheck", "--leak-check=full",
                                        "--show-leak-kinds=definite", "--num-callers=30",
                                        std::string("--log-file=") + logName}));
    const auto deadline = Clock::now() + std::chrono::seconds(300);
    const Window window = waitForWindow(dpy, deadline);
    ASSERT_TRUE(window) << "no window under valgrind";
    // Closed once it has painted, so that the paint's allocations are checked too.
    ASSERT_FALSE(pixelsOf(firstPaint(dpy, window, deadline), kStar).points.empty());
    requestClose(dpy, window);
    const int status = program.wait(300);
    ASSERT_NE(status, -1) << "program did not end under valgrind";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::string report;
    if (FILE *f = std::fopen(logName, "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            report.append(buf, n);
        std::fclose(f);
    }
    std::remove(logName);
    ASSERT_NE(report.find("HEAP SUMMARY"), std::string::npos) << report;
    const auto errors = ourErrors(report);
    for (const std::string &e : errors)
        ADD_FAILURE() << e;
    EXPECT_TRUE(errors.empty());
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PATH-TO-threebody\n", argv[0]);
        return 2;
    }
    gProgram = argv[1];
    return RUN_ALL_TESTS();
}
