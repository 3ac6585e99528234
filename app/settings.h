// The settings file "Ombrastel.ini" in the working directory: the text language and the
// link controls of the panel, kept between runs.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

inline constexpr const char* kSettingsFile = "Ombrastel.ini";
// Only the first characters of a settings line are examined; the rest is dropped.
inline constexpr std::size_t kSettingsLineLength = 20;

// What one settings line says. Each key test is made on its own, so a field is set when
// its key matched and a number followed it.
struct SettingsLine {
    std::optional<int> language;
    std::optional<int> type;
    std::optional<int> address;
    std::optional<int> com;
    std::optional<int> rate;
};

// Tests a line against the keys, in order, comparing without regard to letter case.
SettingsLine ParseSettingsLine(std::string_view line);

// Reads the lines of a settings file one at a time: each line without its line end and
// cut to kSettingsLineLength characters. Returns false at the end of the file, on a read
// error and at the first empty line.
class SettingsLineReader {
  public:
    explicit SettingsLineReader(std::FILE* file) : file_(file) {}
    bool Next(std::string* line);

  private:
    int Get();
    std::FILE* file_;
    char buffer_[4096] = {};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// Applies the settings file at path to the panel's link controls and to `language`.
// A missing or unreadable file changes nothing.
void ReadSettingsFile(int panel, const std::string& path = kSettingsFile);

// Brings `language` into 1..3; anything else becomes 3.
void CorrectLanguage();

// The five lines the settings file holds for the present language and panel.
std::string SettingsText(int panel);

// Replaces the settings file at path with SettingsText. The new text goes to a temporary
// file in the same folder that is then renamed over the old one, so the old file stays
// whole until the new one is complete. False when nothing was written.
bool WriteSettingsFile(int panel, const std::string& path = kSettingsFile);
