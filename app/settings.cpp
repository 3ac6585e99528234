#include "app/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "app/open_close.h"
#include "app/panel.h"
#include "app/shared_state.h"
#include "app/texts.h"
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

namespace {

void SayNotRegular(const std::string& path) {
    std::fprintf(stderr, "ombrastel: %s is not a regular file; the settings are the defaults\n",
                 path.c_str());
}

}  // namespace

void ReadSettingsFile(int panel, const std::string& path) {
    // A FIFO would block the open and a device may never end: only a regular file is
    // opened, without blocking in case it was swapped for something else meanwhile.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return;
    if (!S_ISREG(st.st_mode)) return SayNotRegular(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return SayNotRegular(path);
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        return;
    }
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

namespace {

// Why a write failed: an errno value, or kNotRegular.
constexpr int kNotRegular = -1;

std::string Reason(int error) {
    return error == kNotRegular ? "it is not a regular file" : std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path names once its symbolic links are followed; it need not exist. 0 or an
// errno value.
int FollowLinks(const std::string& path, std::string* target) {
    *target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target->c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode)) return 0;
        std::string next(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target->c_str(), next.data(), next.size());
        if (n < 0) return errno;
        next.resize(static_cast<std::size_t>(n));
        if (next.empty() || next[0] != '/') next = FolderOf(*target) + "/" + next;
        *target = next;
    }
    return ELOOP;
}

// Writes all of text at the start of fd. 0 or an errno value.
int WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Creates a new file beside target that no one else uses, with the mode a new file gets.
int CreateTemporary(const std::string& target, std::string* name) {
    const std::string folder = FolderOf(target);
    const std::string base = target.substr(target.rfind('/') + 1);
    const auto seed =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned long i = 0; i < 100; ++i) {
        *name = folder + "/." + base + "." + std::to_string(::getpid()) + "." +
                std::to_string((seed + i * 7919) % 1000000);
        const int fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

enum class Outcome { Written, Failed, InPlace };

// The usual way: the new text in a new file beside the target, flushed to the disk and
// checked, then renamed over the target, so that a crash or a full disk leaves the old file
// whole. InPlace when this way cannot be taken (the folder takes no new file, or the new
// file cannot carry the old one's owner and mode), *error set in each case.
Outcome WriteByRename(const std::string& target, const struct stat* old, const std::string& text,
                      int* error) {
    std::string temporary;
    const int fd = CreateTemporary(target, &temporary);
    if (fd < 0) {
        *error = errno;
        return old != nullptr ? Outcome::InPlace : Outcome::Failed;
    }
    const auto fail = [&](int e, Outcome outcome) {
        ::close(fd);
        ::unlink(temporary.c_str());
        *error = e;
        return outcome;
    };
    if (old != nullptr) {
        // The owner first: changing it clears set-id bits that the mode then restores.
        struct stat mine {};
        if (::fstat(fd, &mine) != 0) return fail(errno, Outcome::InPlace);
        if ((mine.st_uid != old->st_uid || mine.st_gid != old->st_gid) &&
            ::fchown(fd, old->st_uid, old->st_gid) != 0)
            return fail(errno, Outcome::InPlace);
        if (::fchmod(fd, old->st_mode & 07777) != 0) return fail(errno, Outcome::InPlace);
    }
    if (const int e = WriteAll(fd, text)) return fail(e, Outcome::Failed);
    // A full disk may show only here, when the data reach it.
    if (::fsync(fd) != 0) return fail(errno, Outcome::Failed);
    if (::close(fd) != 0) {
        *error = errno;
        ::unlink(temporary.c_str());
        return Outcome::Failed;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        *error = errno;
        ::unlink(temporary.c_str());
        return Outcome::Failed;
    }
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return Outcome::Written;
}

// Writes over the old file itself, keeping its inode, owner, mode and hard links; taken
// only when the rename cannot keep them or the folder takes no new file. The space for a
// longer text is claimed before a byte is changed, so a full disk leaves the old file as
// it was; a crash in the middle of the write could leave it mixed, which the rename would
// have prevented.
int WriteInPlace(const std::string& target, const std::string& text) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    int e = 0;
    if (::fstat(fd, &st) != 0) {
        e = errno;
    } else if (!S_ISREG(st.st_mode)) {
        e = kNotRegular;
    } else if (static_cast<off_t>(text.size()) > st.st_size) {
        e = ::posix_fallocate(fd, 0, static_cast<off_t>(text.size()));
        if (e == EOPNOTSUPP || e == EINVAL) e = 0;  // a file system that cannot reserve
    }
    if (e == 0) e = WriteAll(fd, text);
    if (e == 0 && ::ftruncate(fd, static_cast<off_t>(text.size())) != 0) e = errno;
    if (e == 0 && ::fsync(fd) != 0) e = errno;
    if (::close(fd) != 0 && e == 0) e = errno;
    return e;
}

// 0 when the text is in the file, else why not.
int WriteSettingsText(const std::string& path, const std::string& text) {
    std::string target;
    if (const int e = FollowLinks(path, &target)) return e;
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists && !S_ISREG(old.st_mode)) return kNotRegular;
    // Renaming a new file over one with other hard links would part it from them.
    if (exists && old.st_nlink > 1) return WriteInPlace(target, text);
    int error = 0;
    switch (WriteByRename(target, exists ? &old : nullptr, text, &error)) {
        case Outcome::Written:
            return 0;
        case Outcome::Failed:
            return error;
        case Outcome::InPlace:
            break;
    }
    return WriteInPlace(target, text);
}

}  // namespace

namespace {
std::string lastWriteFailure;  // why the last write failed, for the box's detail
}  // namespace

bool WriteSettingsFile(int panel, const std::string& path) {
    const int error = WriteSettingsText(path, SettingsText(panel));
    if (error == 0) {
        lastWriteFailure.clear();
        return true;
    }
    lastWriteFailure = path + ": " + Reason(error);
    std::fprintf(stderr, "ombrastel: the settings were not saved to %s: %s\n", path.c_str(),
                 Reason(error).c_str());
    return false;
}

void ShowSettingsNotWritten(const std::string& path) {
    ui::MessagePopup(texts::Message(texts::kWarning),
                     texts::Message(texts::kSettingsNotSaved) + path + ".", lastWriteFailure);
}
