// ombrastel-ctl run: the rows of a run file, each set, read back and held for its dwell.
#pragma once

#include "ctl/options.h"
#include "decade/session.h"

namespace ctl {

int Run(const Options& options, decade::DecadeSession& session);

}  // namespace ctl
