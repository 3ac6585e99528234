// ombrastel-ctl: the decade session from the command line and from test scripts.
#pragma once

namespace ctl {

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kRefused = 1;      // the decade refused (or has no such setting)
inline constexpr int kUsage = 2;        // the command line or the run file is wrong
inline constexpr int kLinkFailure = 3;  // not found, no answer, link gone
inline constexpr int kLogFailed = 4;    // done, but the --log file did not take every entry
inline constexpr int kInterrupted = 130;  // a signal, or the output's reader gone

// Reads the command line, does the command and returns the exit status.
int RunCtl(int argc, char** argv);

}  // namespace ctl
