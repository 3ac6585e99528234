// How much the program's exchange costs over a plain line exchange on the same serial
// link: the median time of Communic(0, "*IDN?") against the decade simulator on a
// pseudo-terminal, divided by the median of a bare termios write-and-read-line loop
// against the same simulator, measured in turns within one run. The same exchange with the
// link log writing to a file (and to a listener, as the Log window takes it) is measured
// in the same turns: logging may cost at most 5 %.
//
// Usage: communic_bench [path of decade-sim] [exchanges per method]
// The simulator path may also come from OMBRASTEL_SIM; else the one built alongside.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/shared_state.h"
#include "bench/bench_common.h"
#include "link/communic.h"
#include "platform/link_log.h"
#include "platform/rs232.h"

extern char** environ;

namespace {

using bench::Clock;
using bench::Median;
using bench::MicrosecondsSince;

// RunCommunic with the link log on: appended to logFile and handed to a listener.
bool RunLogged(const std::string& logFile, int count, std::vector<double>& samples);

bool RunCommunic(int count, std::vector<double>& samples) {
    std::string reason;
    if (!panelSession.OpenLink({links::ComPort{1}, 115200}, reason)) return false;
    decadeModel = 2;
    std::string reply;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        reply.clear();
        const Clock::time_point start = Clock::now();
        Communic(0, "*IDN?", reply);
        samples.push_back(MicrosecondsSince(start));
        ok = !reply.empty();
    }
    CloseLink(panelSession.link);
    connected = 0;
    return ok;
}

bool RunLogged(const std::string& logFile, int count, std::vector<double>& samples) {
    std::string why;
    if (!linklog::OpenFile(logFile, &why)) return false;
    std::size_t entries = 0;
    // The lines of the exchanges: the link's open and close are logged too.
    linklog::SetListener([&entries](const std::string& line) {
        if (line.find(" TX ") != std::string::npos || line.find(" RX ") != std::string::npos) {
            ++entries;
        }
    });
    const bool ok = RunCommunic(count, samples);
    linklog::SetListener({});
    linklog::CloseFile();
    return ok && entries == 2 * static_cast<std::size_t>(count);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const char* fromEnv = std::getenv("OMBRASTEL_SIM");
#if defined(DECADE_SIM_PATH)
    const char* fallback = DECADE_SIM_PATH;
#else
    const char* fallback = "";
#endif
    const std::string simulator = argc > 1 ? argv[1] : (fromEnv ? fromEnv : fallback);
    const int perMethod = argc > 2 ? std::max(1000, std::atoi(argv[2])) : 2000;
    if (simulator.empty()) {
        std::fprintf(stderr, "give the path of decade-sim (argument or OMBRASTEL_SIM)\n");
        return 2;
    }

    char folder[] = "/tmp/communic_bench.XXXXXX";
    if (mkdtemp(folder) == nullptr) return 2;
    const std::string link = std::string(folder) + "/com1";
    std::vector<std::string> args = {simulator, "--model", "V212", "--link", link};
    std::vector<char*> argvSim;
    for (auto& a : args) argvSim.push_back(a.data());
    argvSim.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, simulator.c_str(), nullptr, nullptr, argvSim.data(), environ) != 0) {
        std::fprintf(stderr, "could not start %s\n", simulator.c_str());
        return 2;
    }

    // The simulator makes the link once its pseudo-terminal is ready.
    struct stat info;
    const Clock::time_point waitStart = Clock::now();
    while (lstat(link.c_str(), &info) != 0 && MicrosecondsSince(waitStart) < 5e6) {
        usleep(10000);
    }
    int result = 2;
    if (chdir(folder) == 0 && lstat(link.c_str(), &info) == 0) {
        const std::string device = rs232::PortDeviceName(1);
        const std::string logFile = std::string(folder) + "/link.log";
        std::vector<double> plain, program, logged;
        bool ok = true;
        // Warm-up, then turns of each method so drift of the machine hits all alike.
        std::vector<double> ignored;
        ok = bench::PlainRun(device, 50, ignored) && RunCommunic(50, ignored) &&
             RunLogged(logFile, 50, ignored);
        const int turns = 50;
        for (int t = 0; t < turns && ok; ++t) {
            ok = bench::PlainRun(device, perMethod / turns, plain) &&
                 RunCommunic(perMethod / turns, program) &&
                 RunLogged(logFile, perMethod / turns, logged);
        }
        if (ok) {
            const double plainMedian = Median(plain);
            const double programMedian = Median(program);
            const double ratio = programMedian / plainMedian;
            std::printf("exchanges per method: %zu\n", program.size());
            std::printf("plain termios median: %.1f us\n", plainMedian);
            std::printf("Communic median:      %.1f us\n", programMedian);
            std::printf("ratio: %.3f (goal at most 1.2: %s)\n", ratio,
                        ratio <= 1.2 ? "met" : "missed");
            bench::PrintRow("exchange: Communic median / plain termios median (" +
                                std::to_string(program.size()) + " each, interleaved)",
                            bench::Format("%.3f", ratio) + bench::Format(" (%.1f us", programMedian) +
                                bench::Format(" / %.1f us)", plainMedian),
                            "a bare termios write-and-read-line loop, same simulator, interleaved",
                            "<= 1.2", ratio <= 1.2);
            const double loggedMedian = Median(logged);
            const double logRatio = loggedMedian / programMedian;
            std::printf("Communic with link log median: %.1f us\n", loggedMedian);
            std::printf("log ratio: %.3f (goal at most 1.05: %s)\n", logRatio,
                        logRatio <= 1.05 ? "met" : "missed");
            bench::PrintRow("exchange: with the link log / without (" +
                                std::to_string(logged.size()) + " each, interleaved)",
                            bench::Format("%.3f", logRatio) + bench::Format(" (%.1f us", loggedMedian) +
                                bench::Format(" / %.1f us)", programMedian),
                            "the same exchange without the log, interleaved", "<= 1.05",
                            logRatio <= 1.05);
            result = ratio <= 1.2 && logRatio <= 1.05 ? 0 : 1;
        } else {
            std::fprintf(stderr, "an exchange failed\n");
            bench::PrintNotMeasured("exchange: Communic / plain termios", "an exchange failed");
        }
    } else {
        std::fprintf(stderr, "the simulator made no link %s\n", link.c_str());
        bench::PrintNotMeasured("exchange: Communic / plain termios", "the simulator made no link");
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    unlink(link.c_str());
    unlink((std::string(folder) + "/link.log").c_str());
    rmdir(folder);
    return result;
}
