// A sequence of values run on the link: each step sends its value as the value handler
// does, reads the state back onto the panel, and holds for its dwell time, which counts
// from the moment the value goes out (a step whose exchanges take longer goes on at
// once). The whole run is one sequence of the link thread: the panel takes no input
// meanwhile. Pause holds the present value and stops the dwell clock; Stop ends the run
// at once, after the exchange under way. A refusal, a silent decade or a lost link ends
// the run at that step with the panel's usual message.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sequence {

struct Step {
    double value = 0.0;  // in the base unit of the function (ohm, farad, degree)
    double dwellSeconds = 0.0;
};

enum class StepStatus {
    Done,
    Refused,      // the decade said no: "Could not set value!"
    NoAnswer,     // the decade did not answer: "Communication failed."
    LinkGone,     // the port or device went away; the panel is closed
    NotSettable,  // the value cannot be set now (the output is off, or on this function)
};

struct StepResult {
    int index = 0;         // from 0
    double seconds = 0.0;  // since the run began, when the value went out
    double set = 0.0;      // base unit
    std::optional<double> readBack;  // base unit; none when the read found no value
    StepStatus status = StepStatus::Done;
};

enum class RunEnd { Completed, Stopped, Failed, Cancelled };

// Called on the GUI thread, in this order: stepStarted and stepDone for each step, ended
// once, after the panel takes input again.
struct Listener {
    std::function<void(int index)> stepStarted;
    std::function<void(const StepResult&)> stepDone;
    std::function<void(RunEnd end, int stepsDone)> ended;
};

// Starts the steps on the link thread (started here when it is not yet). False, with
// nothing started, when there is no step, no decade connected, or another sequence is
// under way.
bool Start(std::vector<Step> steps, Listener listener);
// GUI thread; each does nothing while no run is under way.
void Pause();
void Resume();
void Stop();
bool Running();
bool Paused();
// Seconds the run still takes: the rest of the present dwell and every later one.
double SecondsLeft();

// The words of a status in a results file (English, in every language).
const char* StatusWord(StepStatus status);

// The results as CSV: a heading line "time_s,set,read_back,unit,status", then a line per
// result (seconds to the millisecond, values in the base unit, an empty read_back where
// none was read). A field holding a comma, a double quote or a line end is quoted, its
// double quotes doubled, so a spreadsheet reads the unit the decade named as one field.
std::string ResultsCsv(const std::vector<StepResult>& results, std::string_view unit);

}  // namespace sequence
