// The start of the toolkit. Qt aborts when no platform plugin loads, so whether it can start
// is looked at first: the plugin installed, and the display it needs there.
#include <dlfcn.h>

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <string>
#include <string_view>

#include "toolkit/panel_table.h"

namespace ui {

namespace {

std::string initError;

bool PluginInstalled(const QString& name) {
#if defined(Q_OS_LINUX)
    QStringList dirs;
    const QByteArray qpaPath = qgetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    if (!qpaPath.isEmpty()) dirs << QString::fromLocal8Bit(qpaPath);
    for (const QString& d : QString::fromLocal8Bit(qgetenv("QT_PLUGIN_PATH"))
                                .split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        dirs << d + QStringLiteral("/platforms");
    }
    dirs << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    for (const QString& d : dirs) {
        if (QFileInfo::exists(d + QStringLiteral("/libq") + name + QStringLiteral(".so"))) {
            return true;
        }
    }
    return false;
#else
    Q_UNUSED(name);
    return true;
#endif
}

// Opens and closes a connection to the X server named by DISPLAY.
bool XServerReachable(std::string* why) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        *why = "no display: DISPLAY is not set";
        return false;
    }
    void* lib = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        *why = "the X client library libxcb.so.1 is not installed";
        return false;
    }
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(lib, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(lib, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(lib, "xcb_disconnect"));
    bool ok = false;
    if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
        void* c = connect(nullptr, nullptr);
        ok = c != nullptr && hasError(c) == 0;
        if (c != nullptr) disconnect(c);
    }
    dlclose(lib);
    if (!ok) *why = std::string("cannot connect to the X display \"") + display + "\"";
    return ok;
}

bool PlatformUsable(const QString& platform, std::string* why) {
    const QString name = platform.section(QLatin1Char(':'), 0, 0).trimmed();
    if (name.isEmpty()) return false;
    if (!PluginInstalled(name)) {
        *why = "the platform plugin \"" + detail::S(name) + "\" is not installed";
        return false;
    }
    if (name == QLatin1String("xcb")) return XServerReachable(why);
    if (name.startsWith(QLatin1String("wayland"))) {
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            *why = "no display: WAYLAND_DISPLAY is not set";
            return false;
        }
    }
    return true;
}

bool CanStartQt(int argc, char** argv, std::string* why) {
    QString requested = QString::fromLocal8Bit(qgetenv("QT_QPA_PLATFORM"));
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i] != nullptr ? argv[i] : "";
        if ((a == "-platform" || a == "--platform") && i + 1 < argc && argv[i + 1] != nullptr) {
            requested = QString::fromLocal8Bit(argv[i + 1]);
        }
    }
    QStringList candidates;
    if (!requested.isEmpty()) {
        candidates = requested.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    } else {
#if defined(Q_OS_LINUX)
        // What Qt tries by itself: Wayland when a session announces it, then X11.
        if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
            qgetenv("XDG_SESSION_TYPE") == "wayland") {
            candidates << QStringLiteral("wayland");
        }
        candidates << QStringLiteral("xcb");
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            *why = "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
            return false;
        }
#else
        return true;
#endif
    }
    std::string first;
    for (const QString& c : candidates) {
        std::string reason;
        if (PlatformUsable(c, &reason)) return true;
        if (first.empty()) first = reason;
    }
    *why = first.empty() ? "no usable user-interface platform" : first;
    return false;
}


}  // namespace

bool InitToolkit(int& argc, char** argv) {
    initError.clear();
    if (QApplication::instance() != nullptr) return true;
    std::string why;
    if (!CanStartQt(argc, argv, &why)) {
        initError = why;
        return false;
    }
    // Lives until the process ends; the panel and its callbacks need it to the last moment.
    auto* app = new QApplication(argc, argv);
    app->setQuitOnLastWindowClosed(false);
    detail::KeepLabelsPlain();
    return true;
}

std::string ToolkitInitError() {
    return initError;
}

}  // namespace ui
