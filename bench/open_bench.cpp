// How long opening a link takes next to what the wire and the decade impose: the wall time
// of OpenCommunic on the real panel against a simulated decade on a pseudo-terminal,
// divided by the waits the open must make plus the lines it sends times the median plain
// termios exchange measured in the same run. Two decades: a V330A-class one with ten user
// functions and ten timing presets, and a V212-class one that accepts every probed function.
// The lines each open sends are counted from the decade's transcript and compared with the
// count the open sequence gives.
//
// Usage: open_bench [opens per decade]

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/shared_state.h"
#include "bench/bench_common.h"
#include "bench/bench_panel.h"
#include "app/open_close.h"

namespace {

// One step of the open sequence over RS-232 with the lines it puts on the wire.
struct Step {
    const char* what;
    int lines;
};

struct Decade {
    Decade(const char* n, sim::Config c, int p, double w, std::vector<Step> s)
        : name(n), config(std::move(c)), port(p), waitSeconds(w), steps(std::move(s)) {}
    const char* name;
    sim::Config config;
    int port;
    double waitSeconds;  // the waits the open makes
    std::vector<Step> steps;
    sim::PtyServer* server = nullptr;
    std::vector<double> wallMicros;
    int badCounts = 0;
    int failedOpens = 0;
    int lastLines = 0;
};

int ExpectedLines(const Decade& d) {
    int total = 0;
    for (const Step& s : d.steps) total += s.lines;
    return total;
}

sim::Config V330Config() {
    sim::Config c;
    c.model = "V330A";
    c.modelClass = sim::ClassOfModel(c.model);
    for (int i = 1; i <= 10; ++i) {
        c.userPresets.push_back({"Curve " + std::to_string(i), "{C"});
        c.timingPresets.push_back("Program " + std::to_string(i));
    }
    return c;
}

sim::Config V212Config() {
    sim::Config c;
    c.model = "V212";
    c.modelClass = sim::ClassOfModel(c.model);
    return c;
}

// Both decades start in resistance (function character 0) and have firmware 1.000, so the
// V330A is asked for its preset names by number.
std::vector<Decade> Decades() {
    std::vector<Decade> decades;
    decades.emplace_back(
        "V330A, 10 user functions + 10 timing presets", V330Config(), 1, 0.1,
        std::vector<Step>{{"*IDN? twice", 2},
                          {":SYST:REM", 1},
                          {"0.1 s wait, then V? for the present function", 1},
                          {"UFUN:CURV:PCO? and UFUN:CURV:PRESn:NAME? for n = 1..10", 11},
                          {"TIM:PCO? and TIM:PRESn:NAME? for n = 1..10", 11},
                          {"resistance again: RES?, then RES and the reply", 2},
                          {"refresh: V?, A?, R?, OUTP?, OUTP:SHOR?", 5}});
    decades.emplace_back("V212, every probed function accepted", V212Config(), 2, 0.1,
                         std::vector<Step>{{"*IDN? twice", 2},
                                           {":SYST:REM", 1},
                                           {"0.1 s wait, then V? for the present function", 1},
                                           {"probes F5, FS, FO", 3},
                                           {"resistance again: F0", 1},
                                           {"refresh: V?, A?, R?, W?", 4}});
    return decades;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int opens = argc > 1 ? std::max(5, std::atoi(argv[1])) : 20;

    bench::DecadeFolder folder;
    if (!folder.ok()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 2;
    }
    std::vector<Decade> decades = Decades();
    for (Decade& d : decades) {
        d.server = folder.Add(d.config, d.port);
        if (d.server == nullptr) {
            std::fprintf(stderr, "cannot serve %s on a pseudo-terminal\n", d.name);
            return 2;
        }
    }
    if (!bench::LoadBenchPanel()) {
        std::fprintf(stderr, "the panel did not load\n");
        return 2;
    }

    std::vector<double> plain;
    // The first round warms up caches and the serial layer and is not counted.
    for (int round = 0; round <= opens; ++round) {
        for (Decade& d : decades) {
            std::vector<double> samples;
            if (!bench::PlainRun(d.server->SlavePath(), 100, samples)) {
                std::fprintf(stderr, "a plain exchange failed\n");
                return 2;
            }
            d.server->ClearTranscript();
            const bench::Clock::time_point start = bench::Clock::now();
            const int opened = bench::OpenSerial(d.port);
            const double wall = bench::MicrosecondsSince(start);
            const std::vector<std::string> lines = d.server->Lines();
            CloseCommunic();
            QApplication::processEvents();
            if (round == 0) continue;
            plain.insert(plain.end(), samples.begin(), samples.end());
            if (opened != 1) {
                ++d.failedOpens;
                continue;
            }
            d.wallMicros.push_back(wall);
            d.lastLines = static_cast<int>(lines.size());
            if (static_cast<int>(lines.size()) != ExpectedLines(d)) {
                if (d.badCounts++ == 0) {
                    std::printf("%s: %zu lines, expected %d:\n", d.name, lines.size(),
                                ExpectedLines(d));
                    for (const std::string& l : lines) std::printf("  %s\n", l.c_str());
                }
            }
        }
    }

    const double plainMedian = bench::Median(plain);
    std::printf("plain termios exchange: median %.1f us over %zu exchanges\n", plainMedian,
                plain.size());
    bool allMet = true;
    for (const Decade& d : decades) {
        const int expected = ExpectedLines(d);
        std::printf("%s: expected lines per open %d =", d.name, expected);
        for (const Step& s : d.steps) std::printf(" %d (%s)", s.lines, s.what);
        std::printf("\n");
        const double wall = bench::Median(d.wallMicros);
        const double floor = d.waitSeconds * 1e6 + expected * plainMedian;
        const double ratio = d.wallMicros.empty() ? 0.0 : wall / floor;
        std::printf(
            "%s: %zu opens, %d failed, %d with another line count; median wall %.2f ms, "
            "waits %.0f ms + %d x %.1f us = %.2f ms, ratio %.3f\n",
            d.name, d.wallMicros.size(), d.failedOpens, d.badCounts, wall / 1000.0,
            d.waitSeconds * 1000.0, expected, plainMedian, floor / 1000.0, ratio);
        const bool ratioMet = !d.wallMicros.empty() && d.failedOpens == 0 && ratio <= 1.2;
        const bool countMet = !d.wallMicros.empty() && d.badCounts == 0 && d.failedOpens == 0;
        bench::PrintRow(
            std::string("open ") + d.name + ": wall / (waits + lines x plain)",
            bench::Format("%.3f", ratio) + " (" + bench::Format("%.1f", wall / 1000) + " ms)",
            "the waits the open makes + its lines x the plain termios exchange median, same run",
            "<= 1.2", ratioMet);
        bench::PrintRow(std::string("open ") + d.name + ": lines on the wire",
                        std::to_string(d.lastLines) +
                            (d.badCounts ? " (differs in " + std::to_string(d.badCounts) + " opens)"
                                         : " in every open"),
                        "the lines the open is written to send, counted in the decade's transcript",
                        "= " + std::to_string(expected), countMet);
        allMet = allMet && ratioMet && countMet;
    }
    if (bench::PopupCount() != 0) {
        std::printf("message boxes shown: %d\n", bench::PopupCount());
        allMet = false;
    }
    ui::SetMessagePopupHandler({});
    return allMet ? 0 : 1;
}
