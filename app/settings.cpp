#include "app/settings.h"

#include <cstdio>

#include "app/open_close.h"
#include "app/panel.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "platform/file_write.h"
#include "platform/text.h"
#include "toolkit/ui.h"

namespace {

// The lines written, in order.
constexpr const char* kLanguageLine = "Language = ";
constexpr const char* kTypeLine = "Type = ";
constexpr const char* kAddressLine = "Address = ";
constexpr const char* kComLine = "Com = ";
constexpr const char* kRateLine = "Rate = ";

#ifdef _WIN32
constexpr const char* kLineEnd = "\r\n";
#else
constexpr const char* kLineEnd = "\n";
#endif

}  // namespace

namespace {

void SayNotRegular(const std::string& path) {
    std::fprintf(stderr, "ombrastel: %s is not a regular file; the settings are the defaults\n",
                 path.c_str());
}

}  // namespace

void ReadSettingsFile(int panel, const std::string& path) {
    const SettingsRead read = ReadSettingsLines(path, [panel](const SettingsLine& s) {
        if (s.language) language = *s.language;
        if (s.type) {
            ui::SetCtrlVal(panel, RING, *s.type);
            // The link controls follow the interface the ring actually shows, as when the
            // operator picks it: a value no item carries leaves ring and controls as they
            // were, and a later RS-232 line undoes an earlier GPIB one.
            ShowInterfaceControls(panel);
        }
        if (s.address) ui::SetCtrlVal(panel, NUM_ADR, *s.address);
        if (s.com) ui::SetCtrlVal(panel, SERIAL, *s.com);
        if (s.rate) ui::SetCtrlVal(panel, RATE, *s.rate);
    });
    if (read == SettingsRead::NotRegular) SayNotRegular(path);
}

void CorrectLanguage() {
    if (language < 1 || language > 3) language = 3;
}

std::string SettingsText(int panel) {
    int type = 0;
    int address = 0;
    int com = 0;
    int rate = 0;
    ui::GetCtrlVal(panel, RING, &type);
    ui::GetCtrlVal(panel, NUM_ADR, &address);
    ui::GetCtrlVal(panel, SERIAL, &com);
    ui::GetCtrlVal(panel, RATE, &rate);
    std::string out;
    const auto line = [&out](const char* key, int value) {
        out += key;
        out += std::to_string(value);
        out += kLineEnd;
    };
    line(kLanguageLine, language);
    line(kTypeLine, type);
    line(kAddressLine, address);
    line(kComLine, com);
    line(kRateLine, rate);
    return out;
}

namespace {
std::string lastWriteFailure;  // why the last write failed, for the box's detail
}  // namespace

bool WriteSettingsFile(int panel, const std::string& path) {
    const int error = filewrite::WriteWhole(path, SettingsText(panel));
    if (error == 0) {
        lastWriteFailure.clear();
        return true;
    }
    lastWriteFailure = path + ": " + filewrite::Reason(error);
    std::fprintf(stderr, "ombrastel: the settings were not saved to %s: %s\n", path.c_str(),
                 filewrite::Reason(error).c_str());
    return false;
}

void ShowSettingsNotWritten(const std::string& path) {
    ui::MessagePopup(texts::Message(texts::kWarning),
                     texts::Message(texts::kSettingsNotSaved) + path + ".", lastWriteFailure);
}
