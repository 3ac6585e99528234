// The panel's texts: English in the source, marked for translation, the translation built
// into the program (translations/ombrastel_<language>.ts, Czech unless the build chooses
// another), and the two rules that choose between them. Labels on the panel are
// translated when the language is 1; message boxes and the names of functions and presets
// are English when the language is 3 and translated otherwise, so the mixed language 2
// shows translated names under English labels.
#pragma once

#include <QtGlobal>
#include <string>

namespace texts {

// A text as the source has it: the English. Labels are translated in the context
// "Panel", message boxes and names in "Messages".
struct Text {
    const char* english;
};
using Pair = Text;  // the name callers know it by

// The rules.
bool LabelsInCzech();    // the panel's labels, captions and window title
bool MessagesInCzech();  // message boxes, function and preset names

// A text in the language of its kind.
std::string Label(const Text& text);
std::string Message(const Text& text);
// The translation of an English source text in a context, whatever the language; the
// English when the built-in translation lacks it.
std::string Translated(const char* context, const char* english);

// Message boxes.
inline constexpr Text kWarning{QT_TRANSLATE_NOOP("Messages", "Warning")};
inline constexpr Text kNoGpib{QT_TRANSLATE_NOOP("Messages", "Could not open GPIB.")};
inline constexpr Text kNoSerialPort{QT_TRANSLATE_NOOP("Messages", "Could not open serial port.")};
inline constexpr Text kNoDecade{QT_TRANSLATE_NOOP("Messages", "Decade box not found!")};
inline constexpr Text kCommunicationFailed{QT_TRANSLATE_NOOP("Messages", "Communication failed.")};
inline constexpr Text kCouldNotSetValue{QT_TRANSLATE_NOOP("Messages", "Could not set value!")};
// Followed by the settings file's path and a full stop.
inline constexpr Text kSettingsNotSaved{
    QT_TRANSLATE_NOOP("Messages", "Could not save the settings to ")};

// Why a file could not be written (an errno value or filewrite::kNotRegular): the
// system's words, or ours translated when czech.
std::string WriteFailure(int error, bool czech);

// While a sequence runs on the link: the Cancel button, and what a dropped click says.
inline constexpr Text kCancel{QT_TRANSLATE_NOOP("Panel", "Cancel")};
inline constexpr Text kInputDropped{
    QT_TRANSLATE_NOOP("Panel", "Busy with the decade: the input was ignored.")};

// Captions of the output button: the output switch, or the start of a program.
inline constexpr Text kOutput{QT_TRANSLATE_NOOP("Panel", "Output")};
inline constexpr Text kRun{QT_TRANSLATE_NOOP("Panel", "Run")};

// The window title: before the serial number and before the firmware version.
inline constexpr Text kSerialLead{QT_TRANSLATE_NOOP("Panel", ", s.n. ")};
inline constexpr Text kVersionLead{QT_TRANSLATE_NOOP("Panel", ", SW version ")};

// The labels of the presets start with their kind (0 user function, 1 timing).
Text PresetKind(int kind);

// The name of a function code; capacitance names the basic function of the capacitance
// classes. Codes without a name are "Unknown". The names themselves are the decade
// layer's (decade/names.h), so that ombrastel-ctl knows them too.
Text FunctionName(int code, bool capacitance);

}  // namespace texts
