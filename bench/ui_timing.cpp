// The program seen from outside, on an X display (Xvfb in scripts/bench), beside the
// smallest Qt Widgets program built in the same tree (hello_widgets):
//  - start-up: from just before the process is created to its first painted frame, which
//    is the first damage (the X damage extension) of the window's area after its map whose
//    pixels are not all one colour; the two programs are started in turn, several times;
//  - peak resident memory (VmHWM): the program with a link open (its Open button pressed
//    against decade-sim linked as com1 in its working folder, once the title names the
//    decade, the decade's transcript shows the open's last refresh query and a second has
//    passed), the hello-world a second after its first frame;
//  - exit: from the moment the X server has taken the click on Exit to the end of the
//    process, with that link open; the close of an RS-232 link must wait 0.5 s before the
//    port is closed, the goal allows 50 ms on top.
// Buttons are found by their accessible names on the accessibility bus (bench/atspi_find.h),
// where they are when they are clicked, and clicked with real pointer events (XTEST). For
// that the runs with a link have accessibility on, in both programs alike; the start-up
// runs do not, as on an operator's desktop without a screen reader, and end by SIGTERM.
// A figure whose measurement failed prints "not measured" with the reason, and the exit
// status is 2.
//
// Usage: ui_timing [--open-name TEXT] [--exit-name TEXT] <ombrastel> <hello_widgets>
//                  <decade-sim> [start-up runs] [runs with a link]

// Qt's headers first: Xlib's macros (None, Bool, Status) break them.
#include <QCoreApplication>

#include "bench/atspi_find.h"
#include "bench/bench_common.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace {

using bench::Clock;

using FakeMotionFn = int (*)(Display*, int, int, int, unsigned long);
using FakeButtonFn = int (*)(Display*, unsigned int, int, unsigned long);

struct XTest {
    FakeMotionFn motion = nullptr;
    FakeButtonFn button = nullptr;
};

bool LoadXTest(XTest& x) {
    void* library = dlopen("libXtst.so.6", RTLD_NOW);
    if (library == nullptr) return false;
    x.motion = reinterpret_cast<FakeMotionFn>(dlsym(library, "XTestFakeMotionEvent"));
    x.button = reinterpret_cast<FakeButtonFn>(dlsym(library, "XTestFakeButtonEvent"));
    return x.motion != nullptr && x.button != nullptr;
}

struct XScreen {
    Display* display = nullptr;
    XTest xtest;
    int damageEvent = 0;
    Damage damage = 0;
};

std::string WindowName(Display* display, Window window) {
    char* name = nullptr;
    std::string text;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        text = name;
        XFree(name);
    }
    return text;
}

// More than one colour in the rectangle of the screen: something was drawn there.
bool Drawn(Display* display, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    std::set<unsigned long> colours;
    for (int row = 0; row < image->height && colours.size() < 2; row += 2) {
        for (int column = 0; column < image->width && colours.size() < 2; column += 2) {
            colours.insert(XGetPixel(image, column, row));
        }
    }
    XDestroyImage(image);
    return colours.size() > 1;
}

struct Shown {
    Window window = 0;
    double mappedMs = 0.0;
    double paintedMs = 0.0;
};

// Waits for the map of a top-level window whose name begins with title, then for the first
// damage of its area that leaves it drawn. Times in ms since start.
Shown WaitForFirstFrame(XScreen& s, const std::string& title, Clock::time_point start, double timeoutSeconds) {
    Shown shown;
    XWindowAttributes place{};
    while (bench::MicrosecondsSince(start) < timeoutSeconds * 1e6) {
        while (XPending(s.display) > 0) {
            XEvent event;
            XNextEvent(s.display, &event);
            const double ms = bench::MicrosecondsSince(start) / 1000.0;
            if (shown.window == 0 && event.type == MapNotify &&
                WindowName(s.display, event.xmap.window).rfind(title, 0) == 0) {
                shown.window = event.xmap.window;
                shown.mappedMs = ms;
                XGetWindowAttributes(s.display, shown.window, &place);
            } else if (shown.window != 0 && event.type == s.damageEvent + XDamageNotify) {
                const auto* d = reinterpret_cast<const XDamageNotifyEvent*>(&event);
                const bool inside = d->area.x < place.x + place.width && d->area.x + d->area.width > place.x &&
                                    d->area.y < place.y + place.height && d->area.y + d->area.height > place.y;
                if (inside && Drawn(s.display, place.x, place.y, place.width, place.height)) {
                    shown.paintedMs = ms;
                    return shown;
                }
            }
        }
        pollfd p = {ConnectionNumber(s.display), POLLIN, 0};
        poll(&p, 1, 5);
    }
    shown.paintedMs = -1.0;
    return shown;
}

// A left click at a place of the screen; returns once the server has both events.
void Click(XScreen& s, int x, int y) {
    s.xtest.motion(s.display, -1, x, y, 0);
    s.xtest.button(s.display, 1, True, 0);
    s.xtest.button(s.display, 1, False, 0);
    XSync(s.display, False);
}

long PeakKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

pid_t StartProgram(const std::string& program, const std::string& folder, bool accessible) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        if (accessible) setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits for the process to end; the seconds it took, or a negative value after timeout
// (the process is then killed).
double WaitForEnd(pid_t pid, double timeoutSeconds) {
    const Clock::time_point start = Clock::now();
    while (true) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return bench::MicrosecondsSince(start) / 1e6;
        if (bench::MicrosecondsSince(start) > timeoutSeconds * 1e6) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1.0;
        }
        // The end is found within 0.2 ms of happening; this loop belongs to the bench only.
        usleep(200);
    }
}

void EndProgram(pid_t pid) {
    kill(pid, SIGTERM);
    if (WaitForEnd(pid, 5.0) < 0) std::fprintf(stderr, "a program did not end on SIGTERM\n");
}

int Occurrences(const std::string& path, const std::string& text) {
    std::ifstream in(path);
    std::string line;
    int count = 0;
    while (std::getline(in, line)) count += line.find(text) != std::string::npos ? 1 : 0;
    return count;
}

// The button named name of the program pid: its place, looked up until it is there (the
// program joins the accessibility bus a moment after its window is shown).
std::optional<bench::ScreenRect> FindButton(bench::Accessibility& a11y, pid_t pid, const QString& name,
                                            std::string* why) {
    std::optional<bench::ScreenRect> r;
    for (int i = 0; i < 50 && !r; ++i) {
        r = a11y.FindButton(pid, name, why);
        if (!r) usleep(100000);
    }
    return r;
}

struct Figure {
    std::string figure;
    std::string reference;
    std::string goal;
    std::string failed;  // the reason its measurement failed, when it did
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // for the accessibility bus client
    QString openName = QStringLiteral("Open");
    QString exitName = QStringLiteral("Exit");
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--open-name" || a == "--exit-name") && i + 1 < argc) {
            (a == "--open-name" ? openName : exitName) = QString::fromLocal8Bit(argv[++i]);
        } else {
            args.push_back(a);
        }
    }
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: ui_timing [--open-name TEXT] [--exit-name TEXT] <ombrastel> "
                             "<hello_widgets> <decade-sim> [runs] [link runs]\n");
        return 2;
    }
    // The programs start in their own working folder, so the paths are made absolute.
    const std::string program = std::filesystem::absolute(args[0]).string();
    const std::string hello = std::filesystem::absolute(args[1]).string();
    const std::string simulator = std::filesystem::absolute(args[2]).string();
    const int runs = args.size() > 3 ? std::max(3, std::atoi(args[3].c_str())) : 15;
    const int linkRuns = args.size() > 4 ? std::max(1, std::atoi(args[4].c_str())) : 5;
    unsetenv("QT_QPA_PLATFORM");  // the programs must come up on the X display
    unsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");

    Figure startup{"start-up to the first painted frame (Xvfb), median of " + std::to_string(runs) +
                       ": the program / a Qt Widgets hello-world",
                   "hello_widgets, built in the same tree, started in turn with the program", "<= 2.0", {}};
    Figure memory{"peak resident memory (VmHWM) with a link open: the program / the hello-world shown",
                  "hello_widgets shown for 1 s, accessibility on in both", "<= 2.0", {}};
    Figure exitFigure{"exit with an RS-232 link open, Exit click to process end",
                      "the 0.5 s the close waits before the port closes", "<= 550 ms (0.5 s + 50 ms)", {}};
    const auto failAll = [&](const std::string& why) {
        for (Figure* f : {&startup, &memory, &exitFigure}) {
            if (f->failed.empty()) f->failed = why;
        }
    };

    XScreen s;
    s.display = XOpenDisplay(nullptr);
    int damageError = 0;
    if (s.display == nullptr) {
        failAll("no X display");
    } else if (!LoadXTest(s.xtest)) {
        failAll("no XTEST extension (libXtst.so.6)");
    } else if (!XDamageQueryExtension(s.display, &s.damageEvent, &damageError)) {
        failAll("the X server has no damage extension");
    }

    char name[] = "/tmp/ombrastel_ui.XXXXXX";
    if (mkdtemp(name) == nullptr) failAll("no temporary folder");
    const std::string folder = name;
    {
        std::ofstream ini(folder + "/Ombrastel.ini");
        ini << "Language = 3\nType = 0\nAddress = 0\nCom = 1\nRate = 9600\n";
    }

    // The decade, a V330A with two presets of each kind, linked as com1 beside the program.
    const std::string link = folder + "/com1";
    const std::string transcript = folder + "/decade.log";
    pid_t sim = 0;
    if (startup.failed.empty()) {
        std::vector<std::string> simArgs = {simulator,   "--model", "V330A", "--user-presets", "Pt100 copy,Cu10",
                                            "--timing-presets", "Ramp,Soak", "--link", link, "--transcript",
                                            transcript};
        std::vector<char*> simArgv;
        for (auto& a : simArgs) simArgv.push_back(a.data());
        simArgv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;  // the simulator's pty path on stdout is not wanted
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&sim, simulator.c_str(), &quiet, nullptr, simArgv.data(), environ) != 0) {
            failAll("decade-sim did not start");
            sim = 0;
        }
        posix_spawn_file_actions_destroy(&quiet);
        struct stat info;
        for (int i = 0; i < 500 && sim != 0 && lstat(link.c_str(), &info) != 0; ++i) usleep(10000);
        if (sim != 0 && lstat(link.c_str(), &info) != 0) failAll("decade-sim made no link com1");
    }
    if (s.display != nullptr && startup.failed.empty()) {
        XSelectInput(s.display, DefaultRootWindow(s.display), SubstructureNotifyMask);
        // Damage anywhere on the screen, the programs' windows included.
        s.damage = XDamageCreate(s.display, DefaultRootWindow(s.display), XDamageReportRawRectangles);
        XSync(s.display, False);
    }

    // Start-up: one round of each to warm the caches, then the counted ones, in turn.
    std::vector<double> programFrame;
    std::vector<double> programMapped;
    std::vector<double> helloFrame;
    for (int run = 0; run <= runs && startup.failed.empty(); ++run) {
        for (const bool ours : {true, false}) {
            const Clock::time_point start = Clock::now();
            const pid_t pid = StartProgram(ours ? program : hello, folder, false);
            const Shown shown = WaitForFirstFrame(s, ours ? "Ombrastel" : "Hello", start, 10.0);
            EndProgram(pid);
            if (shown.window == 0 || shown.paintedMs < 0) {
                startup.failed = std::string(ours ? "the program" : "the hello-world") +
                                 (shown.window == 0 ? " showed no window" : " painted no frame") + " within 10 s";
                break;
            }
            if (run == 0) continue;
            (ours ? programFrame : helloFrame).push_back(shown.paintedMs);
            if (ours) programMapped.push_back(shown.mappedMs);
        }
    }

    // With a link: accessibility on, the buttons found by name.
    bench::Accessibility a11y;
    std::string why;
    if (memory.failed.empty() && !a11y.Connect(&why)) {
        memory.failed = why;
        exitFigure.failed = why;
    }
    std::vector<double> peakMb;
    std::vector<double> linkExit;
    for (int run = 0; run < linkRuns && memory.failed.empty(); ++run) {
        const pid_t pid = StartProgram(program, folder, true);
        const Shown shown = WaitForFirstFrame(s, "Ombrastel", Clock::now(), 10.0);
        if (shown.window == 0 || shown.paintedMs < 0) {
            memory.failed = "the program showed no window";
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            break;
        }
        const std::optional<bench::ScreenRect> open = FindButton(a11y, pid, openName, &why);
        if (!open) {
            memory.failed = "the Open button was not found: " + why;
            EndProgram(pid);
            break;
        }
        Click(s, open->x + open->width / 2, open->y + open->height / 2);
        // The title names the decade once it is identified; the open ends with the first
        // refresh, whose last query is OUTP:SHOR?.
        bool identified = false;
        for (int i = 0; i < 500 && !identified; ++i) {
            identified = WindowName(s.display, shown.window).find("V330A") != std::string::npos &&
                         Occurrences(transcript, "RX OUTP:SHOR?") > run;
            if (!identified) usleep(10000);
        }
        if (!identified) {
            memory.failed = "the link did not open in run " + std::to_string(run + 1) + " (title '" +
                            WindowName(s.display, shown.window) + "')";
            EndProgram(pid);
            break;
        }
        usleep(1000000);
        peakMb.push_back(static_cast<double>(PeakKilobytes(pid)) / 1024.0);
        // The panel has grown for the decade: Exit is looked up where it is now.
        const std::optional<bench::ScreenRect> exitButton = FindButton(a11y, pid, exitName, &why);
        if (!exitButton) {
            exitFigure.failed = "the Exit button was not found: " + why;
            EndProgram(pid);
            break;
        }
        Click(s, exitButton->x + exitButton->width / 2, exitButton->y + exitButton->height / 2);
        const double ended = WaitForEnd(pid, 10.0);
        if (ended < 0) {
            exitFigure.failed = "the program did not end within 10 s of the click on Exit";
            break;
        }
        linkExit.push_back(ended * 1000.0);
    }
    std::vector<double> helloMb;
    for (int run = 0; run < linkRuns && memory.failed.empty(); ++run) {
        const pid_t pid = StartProgram(hello, folder, true);
        const Shown shown = WaitForFirstFrame(s, "Hello", Clock::now(), 10.0);
        if (shown.window == 0 || shown.paintedMs < 0) {
            memory.failed = "the hello-world showed no window";
            EndProgram(pid);
            break;
        }
        usleep(1000000);
        helloMb.push_back(static_cast<double>(PeakKilobytes(pid)) / 1024.0);
        EndProgram(pid);
    }
    if (sim != 0) {
        kill(sim, SIGTERM);
        waitpid(sim, nullptr, 0);
    }
    if (s.display != nullptr) XCloseDisplay(s.display);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);

    int status = 0;
    const auto report = [&status](const Figure& f, const std::string& value, bool met) {
        if (!f.failed.empty()) {
            std::fprintf(stderr, "ui_timing: %s: %s\n", f.figure.c_str(), f.failed.c_str());
            bench::PrintNotMeasured(f.figure, f.failed, f.reference, f.goal);
            status = 2;
            return;
        }
        bench::PrintRow(f.figure, value, f.reference, f.goal, met);
        if (!met && status == 0) status = 1;
    };
    if (startup.failed.empty()) {
        const double ours = bench::Median(programFrame);
        const double theirs = bench::Median(helloFrame);
        std::printf("start-up to the first frame, %zu runs each: the program median %.1f ms (mapped at "
                    "%.1f ms), min %.1f, max %.1f; the hello-world median %.1f ms, min %.1f, max %.1f\n",
                    programFrame.size(), ours, bench::Median(programMapped), bench::Percentile(programFrame, 0.0),
                    bench::Percentile(programFrame, 100.0), theirs, bench::Percentile(helloFrame, 0.0),
                    bench::Percentile(helloFrame, 100.0));
        const double ratio = ours / theirs;
        report(startup, bench::Format("%.2f", ratio) + bench::Format(" (%.1f ms", ours) + bench::Format(" / %.1f ms)", theirs),
               ratio <= 2.0);
    } else {
        report(startup, "", false);
    }
    if (memory.failed.empty()) {
        const double ours = bench::Percentile(peakMb, 100.0);
        const double theirs = bench::Percentile(helloMb, 100.0);
        std::printf("peak memory: the program with the link open, max %.1f MB; the hello-world, max %.1f MB\n", ours,
                    theirs);
        const double ratio = ours / theirs;
        memory.figure += ", max of " + std::to_string(peakMb.size()) + " and " + std::to_string(helloMb.size());
        report(memory, bench::Format("%.2f", ratio) + bench::Format(" (%.1f MB", ours) + bench::Format(" / %.1f MB)", theirs),
               ratio <= 2.0);
    } else {
        report(memory, "", false);
    }
    if (exitFigure.failed.empty() && !memory.failed.empty()) {
        exitFigure.failed = "no link was open: " + memory.failed;
    }
    if (exitFigure.failed.empty()) {
        const double median = bench::Median(linkExit);
        const double max = bench::Percentile(linkExit, 100.0);
        std::printf("exit with the link open: median %.1f ms, max %.1f ms\n", median, max);
        exitFigure.figure += ", median of " + std::to_string(linkExit.size());
        report(exitFigure, bench::Format("%.1f ms", median) + bench::Format(" (max %.1f)", max), median <= 550.0);
    } else {
        report(exitFigure, "", false);
    }
    return status;
}
