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
// At most this much of the file is read: five lines need a hundred bytes, and a file that
// never ends (a link to /dev/zero, a huge file) must not hold up the start.
inline constexpr std::size_t kSettingsReadLimit = 64 * 1024;

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
// error, at the first empty line and once limit bytes have been read.
class SettingsLineReader {
  public:
    explicit SettingsLineReader(std::FILE* file, std::size_t limit = kSettingsReadLimit)
        : file_(file), left_(limit) {}
    bool Next(std::string* line);

  private:
    int Get();
    std::FILE* file_;
    std::size_t left_;
    char buffer_[4096] = {};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// Applies the settings file at path to the panel's link controls and to `language`.
// A missing or unreadable file changes nothing. Only a regular file is read (a link is
// followed to it); anything else counts as missing, with one line on standard error.
void ReadSettingsFile(int panel, const std::string& path = kSettingsFile);

// Brings `language` into 1..3; anything else becomes 3.
void CorrectLanguage();

// The five lines the settings file holds for the present language and panel.
std::string SettingsText(int panel);

// Replaces the contents of the settings file at path with SettingsText. The new text goes
// to a temporary file in the file's folder that is then renamed over the old one, so the
// old file stays whole until the new one is complete. A symbolic link is written through:
// its target's contents change, the link stays. The file is written in place instead when
// the folder refuses a new file, or when a renamed file could not keep the old one's owner
// or its other hard links. What is not a regular file is never written. False when the
// new text is not in the file, which is then said on standard error; the old file is then
// as it was.
bool WriteSettingsFile(int panel, const std::string& path = kSettingsFile);

// The box that tells the operator the settings were not saved, in the program's language.
void ShowSettingsNotWritten(const std::string& path = kSettingsFile);
