#include "app/settings.h"

#include <QSaveFile>
#include <QString>
#include <cstring>

#include "app/panel.h"
#include "app/shared_state.h"
#include "link/open_close.h"
#include "platform/text.h"
#include "platform/ui.h"

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
        end_ = std::fread(buffer_, 1, sizeof buffer_, file_);
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

void ReadSettingsFile(int panel, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return;
    SettingsLineReader reader(file);
    std::string line;
    while (reader.Next(&line)) {
        const SettingsLine s = ParseSettingsLine(line);
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
    }
    std::fclose(file);
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

bool WriteSettingsFile(int panel, const std::string& path) {
    QSaveFile file(QString::fromLocal8Bit(path.c_str()));
    // Never fall back to writing the old file in place: a crash would leave it cut short.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const std::string text = SettingsText(panel);
    if (file.write(text.data(), static_cast<qint64>(text.size())) !=
        static_cast<qint64>(text.size())) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}
