#include "platform/com_link.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <vector>

#include "platform/settings_folder.h"

#if !defined(_WIN32)
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace comlink {

namespace {

#if !defined(_WIN32)
// The user's name from the user database, empty when it has none (thread-safe).
std::string UserName(uid_t uid, gid_t* primaryGroup = nullptr) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return {};
    }
    if (primaryGroup != nullptr) *primaryGroup = entry.pw_gid;
    return entry.pw_name;
}

std::string Who(uid_t uid) {
    const std::string name = UserName(uid);
    return "uid " + std::to_string(uid) + (name.empty() ? "" : " (" + name + ")");
}

// The group's name, and whether it is owner's own group: of the owner's name, the owner's
// primary group, and no other member listed. Someone else who had it as primary group
// would not be seen; the system's tools never make such a user.
bool OwnersOwnGroup(gid_t gid, uid_t owner, std::string* groupName) {
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(65536);
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        *groupName = "gid " + std::to_string(gid);
        return false;
    }
    *groupName = entry.gr_name;
    gid_t primary = 0;
    const std::string user = UserName(owner, &primary);
    if (user.empty() || primary != gid || user != entry.gr_name) return false;
    for (char** member = entry.gr_mem; *member != nullptr; ++member) {
        if (user != *member) return false;
    }
    return true;
}

std::string Mode(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}
#endif

}  // namespace

std::string Refusal(const std::string& path) {
#if defined(_WIN32)
    (void)path;
    return {};
#else
    struct stat entry;
    if (lstat(path.c_str(), &entry) != 0) return {};  // nothing there to follow
    const uid_t me = geteuid();
    const auto trusted = [me](uid_t uid) { return uid == me || uid == 0; };
    const std::string what = S_ISLNK(entry.st_mode) ? "the link" : "the entry";
    if (!trusted(entry.st_uid)) {
        return "refused: " + what + " belongs to " + Who(entry.st_uid) +
               ", not to you or to root; remove it and make your own";
    }
    const std::string folder = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
    struct stat dir;
    if (stat(folder.c_str(), &dir) != 0) return "refused: its folder " + folder + " cannot be read";
    const std::string keepOwn = "keep the links in a folder of your own (ombrastel --settings DIR)";
    if (!trusted(dir.st_uid)) {
        return "refused: the folder " + folder + " belongs to " + Who(dir.st_uid) +
               ", who may replace " + what + " at any time; " + keepOwn;
    }
    if ((dir.st_mode & S_ISVTX) != 0) return {};  // others cannot replace what is ours
    if ((dir.st_mode & S_IWOTH) != 0) {
        return "refused: anyone may write the folder " + folder + " (mode " + Mode(dir.st_mode) +
               ") and replace " + what + "; chmod o-w " + folder + ", or " + keepOwn;
    }
    std::string groupName;
    if ((dir.st_mode & S_IWGRP) != 0 && !OwnersOwnGroup(dir.st_gid, dir.st_uid, &groupName)) {
        return "refused: the group " + groupName + " may write the folder " + folder + " (mode " +
               Mode(dir.st_mode) + ") and replace " + what + "; chmod g-w " + folder + ", or " +
               keepOwn;
    }
    return {};
#endif
}

ComLink Resolve(int port) {
    ComLink link;
#if !defined(_WIN32)
    const std::string name = folder::InSettingsFolder("com" + std::to_string(port));
    struct stat info;
    if (lstat(name.c_str(), &info) != 0) return link;
    const QFileInfo file(QString::fromStdString(name));
    link.exists = true;
    link.symbolic = S_ISLNK(info.st_mode);
    link.path = file.absoluteFilePath().toStdString();
    if (link.symbolic) {
        char text[4096];
        const ssize_t length = readlink(name.c_str(), text, sizeof text);
        if (length > 0) {
            const QFileInfo target(file.dir(), QString::fromLocal8Bit(text, static_cast<int>(length)));
            link.target = QDir::cleanPath(target.absoluteFilePath()).toStdString();
        }
    }
    // The serial layer wants the device itself (a pseudo-terminal's /dev/pts/N), and its
    // lock is then per device, not per link name.
    link.device = file.canonicalFilePath().toStdString();
    link.refusal = Refusal(name);
#else
    (void)port;
#endif
    return link;
}

}  // namespace comlink
