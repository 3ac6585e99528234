// The settings file "Ombrastel.ini": reading its lines and what each says. The panel
// applies them to its link controls; ombrastel-ctl takes its link from them.
#pragma once

#include <cstdio>
#include <functional>
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

// How a read of the settings file went.
enum class SettingsRead { Read, Missing, NotRegular };

// Calls take with what each line of the settings file at path says, in order. Only a
// regular file is read (a link is followed to it), opened without blocking in case it was
// swapped for something else meanwhile; anything else is NotRegular and nothing is read.
// A file that is not there or cannot be opened is Missing.
SettingsRead ReadSettingsLines(const std::string& path,
                               const std::function<void(const SettingsLine&)>& take);
