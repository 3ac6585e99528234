#include "platform/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace filewrite {

namespace {

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
int WriteAll(int fd, std::string_view text) {
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
Outcome WriteByRename(const std::string& target, const struct stat* old, std::string_view text,
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
    // The target may have been swapped for something else since it was looked at: only a
    // regular file (or nothing) is renamed over.
    struct stat now {};
    if (::lstat(target.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        ::unlink(temporary.c_str());
        *error = kNotRegular;
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
// have prevented. Opened without blocking and checked again, in case the file was swapped
// for a FIFO or a device meanwhile.
int WriteInPlace(const std::string& target, std::string_view text) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ENXIO ? kNotRegular : errno;  // ENXIO: a FIFO without reader
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

}  // namespace

int WriteWhole(const std::string& path, std::string_view text) {
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

std::string Reason(int error) {
    return error == kNotRegular ? "it is not a regular file" : std::strerror(error);
}

}  // namespace filewrite
