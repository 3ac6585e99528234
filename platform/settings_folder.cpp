#include "platform/settings_folder.h"

namespace folder {

namespace {
std::string& Folder() {
    static std::string path;
    return path;
}
}  // namespace

void SetSettingsFolder(const std::string& path) {
    Folder() = path;
}

const std::string& SettingsFolder() {
    return Folder();
}

std::string InSettingsFolder(const std::string& name) {
    const std::string& dir = Folder();
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

}  // namespace folder
