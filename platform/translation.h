// The translation built into the program: translations/ombrastel_<code>.ts, compiled into
// the panel and into ombrastel-ctl (Czech unless the build chooses another). Only the
// texts live here; which of them a front end shows is its own rule.
#pragma once

#include <string>

namespace translation {

// The language code of the built-in translation ("cs").
const char* Code();

// False when this program carries no translation (or it did not load): everything stays
// English then.
bool Loaded();

// The translation of an English source text in a context; the English when the built-in
// translation lacks it.
std::string Translated(const char* context, const char* english);

}  // namespace translation
