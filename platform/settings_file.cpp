#include "platform/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace {

enum class Key { Language, Type, Address, Com, Rate };

// The keys in the order each line is tested against them. Only the language has a form
// without the blank before the equals sign.
struct KeyTest {
    const char* text;
    Key key;
};
constexpr KeyTest kKeyTests[] = {
    {"Language =", Key::Language}, {"Language=", Key::Language}, {"Type =", Key::Type},
    {"Address =", Key::Address},   {"Com =", Key::Com},          {"Rate =", Key::Rate},
};

}  // namespace

SettingsLine ParseSettingsLine(std::string_view line) {
    SettingsLine result;
    for (const KeyTest& test : kKeyTests) {
        const std::size_t n = std::strlen(test.text);
        if (line.size() < n || text::CompareBytes(line, test.text, n) != 0) continue;
        // A key without a number after it is ignored.
        const std::optional<int> value = text::ScanIntDecimal(line.substr(n));
        if (!value) continue;
        switch (test.key) {
            case Key::Language:
                result.language = value;
                break;
            case Key::Type:
                result.type = value;
                break;
            case Key::Address:
                result.address = value;
                break;
            case Key::Com:
                result.com = value;
                break;
            case Key::Rate:
                result.rate = value;
                break;
        }
    }
    return result;
}

int SettingsLineReader::Get() {
    if (begin_ == end_) {
        const std::size_t want = std::min(sizeof buffer_, left_);
        if (want == 0) return EOF;
        end_ = std::fread(buffer_, 1, want, file_);
        left_ -= end_;
        begin_ = 0;
        if (end_ == 0) return EOF;
    }
    return static_cast<unsigned char>(buffer_[begin_++]);
}

bool SettingsLineReader::Next(std::string* line) {
    line->clear();
    int c = Get();
    if (c == EOF) return false;
    // Keep one character more than counts, so that the CR of a CR LF line end can be told
    // from the characters of the line.
    std::size_t total = 0;
    int last = 0;
    while (c != EOF && c != '\n') {
        if (line->size() <= kSettingsLineLength) line->push_back(static_cast<char>(c));
        ++total;
        last = c;
        c = Get();
    }
    if (last == '\r' && total == line->size()) line->pop_back();
    if (line->size() > kSettingsLineLength) line->resize(kSettingsLineLength);
    return !line->empty();
}

SettingsRead ReadSettingsLines(const std::string& path,
                               const std::function<void(const SettingsLine&)>& take) {
    // A FIFO would block the open and a device may never end: only a regular file is
    // opened, without blocking in case it was swapped for something else meanwhile.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return SettingsRead::Missing;
    if (!S_ISREG(st.st_mode)) return SettingsRead::NotRegular;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return SettingsRead::Missing;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return SettingsRead::NotRegular;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        return SettingsRead::Missing;
    }
    SettingsLineReader reader(file);
    std::string line;
    while (reader.Next(&line)) take(ParseSettingsLine(line));
    std::fclose(file);
    return SettingsRead::Read;
}
