// Finds a control of another program by its accessible name, the way a screen reader or a
// GUI test tool does: on the accessibility bus (AT-SPI over D-Bus), the program is the
// application whose bus connection belongs to its process, and the control is the button
// (push button, check box, toggle button) with that name in its tree; its place is the
// screen rectangle the program reports for it now. The program must have accessibility
// on (a screen reader running, or QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 for Qt), and a
// session bus must be there (dbus-run-session); the accessibility bus is started by it.
#pragma once

#include <sys/types.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QString>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class Accessibility {
  public:
    // False with the reason when there is no session bus or no accessibility bus.
    bool Connect(std::string* why) {
        QDBusConnection session = QDBusConnection::sessionBus();
        if (!session.isConnected()) {
            *why = "no D-Bus session bus (run under dbus-run-session)";
            return false;
        }
        const QDBusMessage address = session.call(
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
            QDBus::Block, 5000);
        if (address.type() != QDBusMessage::ReplyMessage || address.arguments().isEmpty()) {
            *why = "no accessibility bus: " + address.errorMessage().toStdString();
            return false;
        }
        bus_ = QDBusConnection::connectToBus(address.arguments().at(0).toString(),
                                             QStringLiteral("ombrastel-bench-a11y"));
        if (!bus_.isConnected()) {
            *why = "the accessibility bus did not take the connection";
            return false;
        }
        return true;
    }

    // The button named name of the program running as pid, where it is on the screen now;
    // none with the reason when the program has no such button shown.
    std::optional<ScreenRect> FindButton(pid_t pid, const QString& name, std::string* why) {
        const std::optional<Node> app = Application(pid);
        if (!app) {
            *why = "the program is not on the accessibility bus";
            return std::nullopt;
        }
        bool hidden = false;
        std::optional<ScreenRect> found = Search(*app, name, 0, &hidden);
        if (!found) {
            *why = "no button named '" + name.toStdString() + "'" +
                   (hidden ? " is shown" : " on the program's windows");
        }
        return found;
    }

  private:
    using Node = std::pair<QString, QDBusObjectPath>;  // bus name, object path

    QDBusMessage Call(const Node& node, const QString& interface, const QString& method,
                      const QList<QVariant>& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(node.first, node.second.path(), interface, method);
        m.setArguments(args);
        return bus_.call(m, QDBus::Block, 2000);
    }

    std::vector<Node> Children(const Node& node) {
        std::vector<Node> children;
        const QDBusMessage reply = Call(node, QStringLiteral("org.a11y.atspi.Accessible"),
                                        QStringLiteral("GetChildren"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return children;
        const QDBusArgument list = reply.arguments().at(0).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            Node child;
            list.beginStructure();
            list >> child.first >> child.second;
            list.endStructure();
            children.push_back(child);
        }
        list.endArray();
        return children;
    }

    QString Text(const Node& node, const QString& method) {
        const QDBusMessage reply = Call(node, QStringLiteral("org.a11y.atspi.Accessible"), method);
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                   ? reply.arguments().at(0).toString()
                   : QString();
    }

    QString Name(const Node& node) {
        const QDBusMessage reply =
            Call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                 {QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("Name")});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
        return reply.arguments().at(0).value<QDBusVariant>().variant().toString();
    }

    std::optional<ScreenRect> Extents(const Node& node) {
        const QDBusMessage reply = Call(node, QStringLiteral("org.a11y.atspi.Component"),
                                        QStringLiteral("GetExtents"), {QVariant::fromValue(0u)});  // screen
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
        const QDBusArgument box = reply.arguments().at(0).value<QDBusArgument>();
        ScreenRect r;
        box.beginStructure();
        box >> r.x >> r.y >> r.width >> r.height;
        box.endStructure();
        return r;
    }

    std::optional<Node> Application(pid_t pid) {
        const Node desktop{QStringLiteral("org.a11y.atspi.Registry"),
                           QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))};
        const Node daemon{QStringLiteral("org.freedesktop.DBus"), QDBusObjectPath(QStringLiteral("/org/freedesktop/DBus"))};
        for (const Node& app : Children(desktop)) {
            const QDBusMessage owner = Call(daemon, QStringLiteral("org.freedesktop.DBus"),
                                            QStringLiteral("GetConnectionUnixProcessID"), {app.first});
            if (owner.type() == QDBusMessage::ReplyMessage && !owner.arguments().isEmpty() &&
                static_cast<pid_t>(owner.arguments().at(0).toUInt()) == pid) {
                return app;
            }
        }
        return std::nullopt;
    }

    // Depth first through the program's tree; the items of lists (a ring's 256 COM ports)
    // are no buttons and are not walked.
    std::optional<ScreenRect> Search(const Node& node, const QString& name, int depth, bool* hidden) {
        if (depth > 12) return std::nullopt;
        const QString role = Text(node, QStringLiteral("GetRoleName"));
        const bool button = role == QLatin1String("push button") || role == QLatin1String("check box") ||
                            role == QLatin1String("toggle button");
        if (button && Name(node) == name) {
            const std::optional<ScreenRect> r = Extents(node);
            if (r && r->width > 0 && r->height > 0) return r;
            *hidden = true;
        }
        if (role == QLatin1String("list") || role == QLatin1String("combo box") ||
            role == QLatin1String("table")) {
            return std::nullopt;
        }
        for (const Node& child : Children(node)) {
            if (std::optional<ScreenRect> r = Search(child, name, depth + 1, hidden)) return r;
        }
        return std::nullopt;
    }

    QDBusConnection bus_{QStringLiteral("ombrastel-bench-none")};
};

}  // namespace bench
