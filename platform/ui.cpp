#include "platform/ui.h"

#include <dlfcn.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QCursor>
#include <QKeyEvent>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <type_traits>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "platform/led_widget.h"
#include "platform/link_thread.h"
#include "platform/numeric_field.h"

namespace ui {

namespace {

// Results of the operations: 0 is success, negative values name what was wrong.
constexpr int kBadPanel = -1;
constexpr int kBadControl = -2;
constexpr int kBadAttribute = -3;  // the attribute or value type does not fit the control
constexpr int kBadValue = -4;      // no number, out of range, or no such item

enum class Kind { Numeric, String, Ring, Command, Toggle, Led, Decoration };

struct Control {
    int id = 0;
    Kind kind = Kind::Decoration;
    QPointer<QWidget> widget;
    QPointer<QWidget> label;
    CtrlCallback callback = nullptr;
    QString labelText;  // toggle buttons keep a label that the button itself does not show
    QString onText;
    QString offText;
    QString refusalText = QStringLiteral("not a number");  // string controls
    bool placed = false;  // by position, through the panel's arrange
    int top = 0;
    int left = 0;
};

struct Panel {
    QPointer<QWidget> window;
    std::map<int, Control> controls;
    int closeControl = 0;
    std::unique_ptr<QObject> closeFilter;
    std::function<void(int panel)> arrange;
};

std::vector<std::unique_ptr<Panel>>& Panels() {
    static std::vector<std::unique_ptr<Panel>> panels;
    return panels;
}

std::map<std::pair<std::string, int>, PanelBuilder>& Registry() {
    static std::map<std::pair<std::string, int>, PanelBuilder> registry;
    return registry;
}

MessagePopupHandler& PopupHandler() {
    static MessagePopupHandler handler;
    return handler;
}

std::string initError;
bool loopRunning = false;
std::optional<int> pendingQuit;
bool waitCursorOn = false;

// ---- Threads: the panel belongs to the GUI thread. An operation called on the link
// thread runs on the GUI thread while the caller waits for its result; once the link
// thread is abandoned at the program's end, its calls are refused.

bool OffGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() != app->thread();
}

template <typename R>
R Refused() {
    if constexpr (std::is_same_v<R, int>) {
        return kBadPanel;
    } else {
        return R{};
    }
}

template <typename F>
auto RunOnGui(F&& operation) -> decltype(operation()) {
    using R = decltype(operation());
    struct Result {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        std::conditional_t<std::is_void_v<R>, int, R> value = Refused<decltype(value)>();
    } result;
    if (linkthread::Abandoned()) return static_cast<R>(result.value);
    linkthread::RunQueued(QCoreApplication::instance(), [&operation, &result] {
        if (!linkthread::Abandoned()) {
            if constexpr (std::is_void_v<R>) {
                operation();
            } else {
                result.value = operation();
            }
        }
        const std::lock_guard lock(result.mutex);
        result.done = true;
        result.ready.notify_one();  // under the lock: the caller's result outlives this
    });
    std::unique_lock lock(result.mutex);
    result.ready.wait(lock, [&result] { return result.done; });
    return static_cast<R>(std::move(result.value));
}

#define ON_GUI_THREAD(call) \
    if (OffGuiThread()) return RunOnGui([&] { return call; })

Panel* FindPanel(int handle) {
    auto& panels = Panels();
    if (handle < 1 || handle > static_cast<int>(panels.size())) return nullptr;
    Panel* p = panels[handle - 1].get();
    return (p != nullptr && p->window != nullptr) ? p : nullptr;
}

// The control, or null with *err set to the reason.
Control* FindControl(int panel, int control, int* err) {
    Panel* p = FindPanel(panel);
    if (p == nullptr) {
        *err = kBadPanel;
        return nullptr;
    }
    auto it = p->controls.find(control);
    if (it == p->controls.end() || it->second.widget == nullptr) {
        *err = kBadControl;
        return nullptr;
    }
    return &it->second;
}

Kind KindOf(QWidget* w) {
    if (qobject_cast<ombrastel::NumericField*>(w) != nullptr) return Kind::Numeric;
    if (qobject_cast<QLineEdit*>(w) != nullptr) return Kind::String;
    if (qobject_cast<QComboBox*>(w) != nullptr) return Kind::Ring;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        return b->isCheckable() ? Kind::Toggle : Kind::Command;
    }
    if (qobject_cast<ombrastel::Led*>(w) != nullptr) return Kind::Led;
    return Kind::Decoration;
}

// A double as an int: rounded, and only when it is a number inside the int range.
bool ToInt(double v, int* out) {
    if (!std::isfinite(v)) return false;
    const double r = std::round(v);
    if (r < static_cast<double>(INT_MIN) || r > static_cast<double>(INT_MAX)) return false;
    *out = static_cast<int>(r);
    return true;
}

int SaturatedInt(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::round(v);
    if (r <= static_cast<double>(INT_MIN)) return INT_MIN;
    if (r >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(r);
}

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}
std::string S(const QString& s) {
    return s.toUtf8().toStdString();
}

// Shortcut letters. A text may mark its shortcut letter with '&' ("&&" is an ampersand);
// the widgets show the mark, while the program reads and sets the texts without it. A
// text set without a mark keeps the control's letter where the new text has it, so
// "Output" becoming "Output [kOhm]" keeps Alt+O.

// The index of the marked letter in text, or -1.
int MarkAt(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] != QLatin1Char('&')) return i + 1;
        ++i;
    }
    return -1;
}

QString Unmarked(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// The text to show: marked as given, or with the letter of the text shown before ("&&" in
// it is an ampersand either way).
QString Marked(const QString& text, const QString& before) {
    if (MarkAt(text) >= 0) return text;
    QString shown = text;
    const int old = MarkAt(before);
    if (old < 0) return shown;
    for (int at = 0; (at = shown.indexOf(before[old], at, Qt::CaseInsensitive)) >= 0; ++at) {
        if (at == 0 || shown[at - 1] != QLatin1Char('&')) {
            shown.insert(at, QLatin1Char('&'));
            break;
        }
    }
    return shown;
}

// Keeps a toggle button's caption and accessible name in step with its state.
void ShowToggleState(Control& c) {
    auto* b = qobject_cast<QAbstractButton*>(c.widget);
    if (b == nullptr) return;
    b->setText(b->isChecked() ? c.onText : c.offText);
    b->setAccessibleName(Unmarked(c.labelText.isEmpty() ? b->text() : c.labelText));
}

void SetLabel(Control& c, const QString& text) {
    switch (c.kind) {
        case Kind::Command: {
            auto* b = static_cast<QAbstractButton*>(c.widget.data());
            b->setText(Marked(text, b->text()));
            c.widget->setAccessibleName(Unmarked(b->text()));
            return;
        }
        case Kind::Toggle:
            c.labelText = text;
            ShowToggleState(c);
            return;
        default:
            break;
    }
    if (auto* l = qobject_cast<QLabel*>(c.label)) {
        l->setText(Marked(text, l->text()));
        l->adjustSize();
        c.labelText = l->text();
    } else {
        c.labelText = text;
    }
    c.widget->setAccessibleName(Unmarked(c.labelText));
}

QString RefusalText(const Control& c) {
    if (c.kind == Kind::Numeric) {
        return static_cast<ombrastel::NumericField*>(c.widget.data())->refusalText();
    }
    return c.refusalText;
}

QString LabelOf(const Control& c) {
    if (c.kind == Kind::Command) {
        return Unmarked(static_cast<QAbstractButton*>(c.widget.data())->text());
    }
    return Unmarked(c.labelText);
}

QPoint PanelPos(const Panel& p, QWidget* w) {
    return w->mapTo(p.window, QPoint(0, 0));
}

void MoveTo(const Panel& p, Control& c, QPoint target) {
    const QPoint delta = target - PanelPos(p, c.widget);
    c.widget->move(c.widget->pos() + delta);
    if (c.label != nullptr) c.label->move(c.label->pos() + delta);
}

// The window frame's close button: refused, and handed to the panel's close control.
class CloseFilter : public QObject {
  public:
    explicit CloseFilter(int handle) : handle_(handle) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Close) return QObject::eventFilter(watched, event);
        event->ignore();
        Panel* p = FindPanel(handle_);
        if (p == nullptr || p->closeControl == 0) return true;
        auto it = p->controls.find(p->closeControl);
        if (it != p->controls.end() && it->second.callback != nullptr) {
            it->second.callback(handle_, it->first, EVENT_COMMIT, nullptr, 0, 0);
        }
        return true;
    }

  private:
    int handle_;
};

// What a ring takes only from the operator's plain intent. The wheel over a ring that has
// no keyboard focus chooses nothing, so a wheel passing over the panel never sends a
// command. A letter typed with Alt (or Ctrl or Meta) chooses nothing either: Alt+letter is
// a shortcut, and one that is none at the moment (its control hidden or dimmed) must not
// fall through to the ring's search by first letter and change a live setting.
class RingInputFilter : public QObject {
  public:
    explicit RingInputFilter(QObject* ring) : QObject(ring) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool modified =
                (key->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier)) != 0;
            if (!modified || key->text().isEmpty() || !key->text().at(0).isPrint()) return false;
            event->ignore();
            return true;
        }
        if (event->type() != QEvent::Wheel) return QObject::eventFilter(watched, event);
        auto* w = qobject_cast<QWidget*>(watched);
        if (w == nullptr || w->hasFocus()) return false;
        event->ignore();
        return true;
    }
};

// Every label of the program, a tool tip's too, shows its text as the characters it is:
// a preset name or a unit from a decade, a device name or a path is never read as markup
// (Qt's automatic choice would draw "<font size=7>" large and load "<img src=...>"). A
// label that is meant to show rich text says so with setTextFormat(Qt::RichText); only
// the automatic choice is replaced, when the label is first polished.
class PlainTextLabels : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish) {
            if (auto* label = qobject_cast<QLabel*>(watched)) {
                if (label->textFormat() == Qt::AutoText) label->setTextFormat(Qt::PlainText);
            }
        }
        return false;
    }
};

void KeepLabelsPlain() {
    static PlainTextLabels* filter = nullptr;
    if (filter != nullptr || QApplication::instance() == nullptr) return;
    filter = new PlainTextLabels();
    filter->setParent(QApplication::instance());
    QApplication::instance()->installEventFilter(filter);
}

// What a string control shows from the program or from its last confirmed entry: Escape
// abandons an edit and brings it back.
const char* const kShownText = "ombrastelShownText";

void KeepShownText(QLineEdit* e) {
    e->setProperty(kShownText, e->text());
}

class EscapeFilter : public QObject {
  public:
    explicit EscapeFilter(QLineEdit* edit) : QObject(edit) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) {
            return QObject::eventFilter(watched, event);
        }
        auto* e = static_cast<QLineEdit*>(parent());
        const QString shown = e->property(kShownText).toString();
        if (e->text() == shown) return QObject::eventFilter(watched, event);
        e->setText(shown);
        e->setModified(false);
        ombrastel::ClearEntryRefusal(e);
        e->selectAll();
        return true;
    }
};

void Connect(int handle, Control& c) {
    const int id = c.id;
    const CtrlCallback cb = c.callback;
    QWidget* w = c.widget;
    auto commit = [handle, id, cb] {
        if (cb != nullptr) cb(handle, id, EVENT_COMMIT, nullptr, 0, 0);
    };
    switch (c.kind) {
        case Kind::Numeric:
            QObject::connect(static_cast<ombrastel::NumericField*>(w),
                             &ombrastel::NumericField::committed, w, commit);
            break;
        case Kind::String: {
            auto* e = static_cast<QLineEdit*>(w);
            KeepShownText(e);
            e->installEventFilter(new EscapeFilter(e));  // owned by the field
            // Return always confirms; leaving the field confirms only an edited text.
            QObject::connect(e, &QLineEdit::returnPressed, e, [e, commit] {
                e->setModified(false);
                KeepShownText(e);
                commit();
            });
            QObject::connect(e, &QLineEdit::editingFinished, e, [e, commit] {
                if (!e->isModified()) return;
                e->setModified(false);
                KeepShownText(e);
                commit();
            });
            break;
        }
        case Kind::Ring:
            w->setFocusPolicy(Qt::StrongFocus);                  // the wheel gives a ring no focus
            w->installEventFilter(new RingInputFilter(w));  // owned by the ring
            QObject::connect(static_cast<QComboBox*>(w), &QComboBox::activated, w,
                             [commit](int) { commit(); });
            break;
        case Kind::Toggle: {
            auto* b = static_cast<QAbstractButton*>(w);
            QObject::connect(b, &QAbstractButton::toggled, b, [handle, id](bool) {
                if (Panel* p = FindPanel(handle)) ShowToggleState(p->controls[id]);
            });
            QObject::connect(b, &QAbstractButton::clicked, b, commit);
            break;
        }
        case Kind::Command:
            QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, w,
                             commit);
            break;
        default:
            break;
    }
}

// ---- Whether Qt can start: it aborts when no platform plugin loads, so look first.

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
        *why = "the platform plugin \"" + S(name) + "\" is not installed";
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

void RegisterPanelDescription(const std::string& name, int panelId, PanelBuilder builder) {
    Registry()[{name, panelId}] = std::move(builder);
}

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
    KeepLabelsPlain();
    return true;
}

std::string ToolkitInitError() {
    return initError;
}

int LoadPanel(int parent, const std::string& description, int panelId) {
    ON_GUI_THREAD(LoadPanel(parent, description, panelId));
    if (parent != 0 || QApplication::instance() == nullptr) return kBadPanel;
    KeepLabelsPlain();
    auto it = Registry().find({description, panelId});
    if (it == Registry().end() || !it->second) return kBadPanel;
    PanelDescription d = it->second();
    if (d.window == nullptr) return kBadPanel;

    auto panel = std::make_unique<Panel>();
    panel->window = d.window;
    const std::vector<ControlEntry> entries =
        d.controls ? d.controls() : std::vector<ControlEntry>{};

    // Reuse a free slot so that a panel loaded again keeps its handle.
    auto& panels = Panels();
    int handle = 0;
    for (std::size_t i = 0; i < panels.size(); ++i) {
        if (panels[i] == nullptr || panels[i]->window == nullptr) {
            handle = static_cast<int>(i) + 1;
            break;
        }
    }
    if (handle == 0) {
        panels.push_back(nullptr);
        handle = static_cast<int>(panels.size());
    }

    for (const ControlEntry& e : entries) {
        if (e.widget == nullptr) continue;
        Control c;
        c.id = e.id;
        c.widget = e.widget;
        c.label = e.label;
        c.callback = e.callback;
        c.placed = e.placed;
        c.top = e.top;
        c.left = e.left;
        c.kind = KindOf(e.widget);
        if (c.kind == Kind::Toggle) {
            // The captions as loaded: the on and off texts come from the description.
            c.offText = e.widget->property("offText").toString();
            c.onText = e.widget->property("onText").toString();
            if (c.offText.isEmpty()) c.offText = static_cast<QAbstractButton*>(e.widget)->text();
            if (c.onText.isEmpty()) c.onText = c.offText;
        }
        if (auto* l = qobject_cast<QLabel*>(e.label)) {
            l->setTextFormat(Qt::PlainText);  // a unit or preset name from the decade
            c.labelText = l->text();
        }
        auto [pos, inserted] = panel->controls.emplace(c.id, c);
        if (!inserted) continue;
        Control& stored = pos->second;
        if (stored.kind == Kind::Toggle) {
            ShowToggleState(stored);
        } else if (stored.kind == Kind::Command) {
            stored.widget->setAccessibleName(LabelOf(stored));
        } else if (stored.label != nullptr) {
            stored.widget->setAccessibleName(Unmarked(stored.labelText));
        }
        Connect(handle, stored);
    }
    panel->arrange = d.arrange;
    panel->closeFilter = std::make_unique<CloseFilter>(handle);
    d.window->installEventFilter(panel->closeFilter.get());
    panels[handle - 1] = std::move(panel);
    if (panels[handle - 1]->arrange) panels[handle - 1]->arrange(handle);
    return handle;
}

int DisplayPanel(int panel) {
    ON_GUI_THREAD(DisplayPanel(panel));
    Panel* p = FindPanel(panel);
    if (p == nullptr) return kBadPanel;
    p->window->show();
    p->window->raise();
    p->window->activateWindow();
    return 0;
}

int SetPanelCloseControl(int panel, int control) {
    ON_GUI_THREAD(SetPanelCloseControl(panel, control));
    Panel* p = FindPanel(panel);
    if (p == nullptr) return kBadPanel;
    if (control != 0 && p->controls.count(control) == 0) return kBadControl;
    p->closeControl = control;
    return 0;
}

int DiscardPanel(int panel) {
    ON_GUI_THREAD(DiscardPanel(panel));
    Panel* p = FindPanel(panel);
    if (p == nullptr) return kBadPanel;
    p->window->removeEventFilter(p->closeFilter.get());
    delete p->window.data();
    Panels()[panel - 1].reset();
    return 0;
}

int RunUserInterface() {
    if (pendingQuit) {
        const int code = *pendingQuit;
        pendingQuit.reset();
        return code;
    }
    if (QApplication::instance() == nullptr) return kBadPanel;
    loopRunning = true;
    const int code = QApplication::exec();
    loopRunning = false;
    return code;
}

int QuitUserInterface(int code) {
    ON_GUI_THREAD(QuitUserInterface(code));
    if (loopRunning) {
        QCoreApplication::exit(code);
    } else {
        // Asked before the loop runs: the loop returns at once when it starts.
        pendingQuit = code;
    }
    return 0;
}

// ---- Values

int SetCtrlVal(int panel, int control, int value) {
    ON_GUI_THREAD(SetCtrlVal(panel, control, value));
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    if (c == nullptr) return err;
    QWidget* w = c->widget;
    const QSignalBlocker block(w);
    switch (c->kind) {
        case Kind::Numeric:
            static_cast<ombrastel::NumericField*>(w)->setValue(value);
            return 0;
        case Kind::Ring: {
            auto* r = static_cast<QComboBox*>(w);
            for (int i = 0; i < r->count(); ++i) {
                if (r->itemData(i).toInt() == value) {
                    r->setCurrentIndex(i);
                    return 0;
                }
            }
            return kBadValue;  // no item carries the value: the ring stays as it was
        }
        case Kind::Toggle:
            static_cast<QAbstractButton*>(w)->setChecked(value != 0);
            ShowToggleState(*c);
            return 0;
        case Kind::Led:
            static_cast<ombrastel::Led*>(w)->setLit(value != 0);
            return 0;
        case Kind::String:
            static_cast<QLineEdit*>(w)->setText(QString::number(value));
            KeepShownText(static_cast<QLineEdit*>(w));
            return 0;
        default:
            return kBadAttribute;
    }
}

int SetCtrlVal(int panel, int control, double value) {
    ON_GUI_THREAD(SetCtrlVal(panel, control, value));
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    if (c == nullptr) return err;
    if (c->kind == Kind::Numeric) {
        const QSignalBlocker block(c->widget);
        return static_cast<ombrastel::NumericField*>(c->widget.data())->setValue(value) ? 0
                                                                                        : kBadValue;
    }
    int v = 0;
    if (!ToInt(value, &v)) return kBadValue;
    return SetCtrlVal(panel, control, v);
}

int SetCtrlVal(int panel, int control, const std::string& value) {
    ON_GUI_THREAD(SetCtrlVal(panel, control, value));
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    if (c == nullptr) return err;
    if (c->kind != Kind::String) return kBadAttribute;
    const QSignalBlocker block(c->widget);
    static_cast<QLineEdit*>(c->widget.data())->setText(Q(value));
    KeepShownText(static_cast<QLineEdit*>(c->widget.data()));
    return 0;
}

int GetCtrlVal(int panel, int control, int* value) {
    ON_GUI_THREAD(GetCtrlVal(panel, control, value));
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    if (value == nullptr) return kBadValue;
    *value = 0;  // nothing undefined leaves here, whatever the control
    if (c == nullptr) return err;
    QWidget* w = c->widget;
    switch (c->kind) {
        case Kind::Numeric:
            *value = SaturatedInt(static_cast<ombrastel::NumericField*>(w)->value());
            return 0;
        case Kind::Ring: {
            auto* r = static_cast<QComboBox*>(w);
            if (r->currentIndex() < 0) return kBadValue;  // an empty ring
            *value = r->currentData().toInt();
            return 0;
        }
        case Kind::Toggle:
            *value = static_cast<QAbstractButton*>(w)->isChecked() ? 1 : 0;
            return 0;
        case Kind::Led:
            *value = static_cast<ombrastel::Led*>(w)->lit() ? 1 : 0;
            return 0;
        case Kind::Command:
            return 0;
        default:
            return kBadAttribute;
    }
}

int GetCtrlVal(int panel, int control, double* value) {
    ON_GUI_THREAD(GetCtrlVal(panel, control, value));
    if (value == nullptr) return kBadValue;
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    *value = 0.0;
    if (c == nullptr) return err;
    if (c->kind == Kind::Numeric) {
        *value = static_cast<ombrastel::NumericField*>(c->widget.data())->value();
        return 0;
    }
    int v = 0;
    const int r = GetCtrlVal(panel, control, &v);
    *value = v;
    return r;
}

int GetCtrlVal(int panel, int control, std::string* value) {
    ON_GUI_THREAD(GetCtrlVal(panel, control, value));
    if (value == nullptr) return kBadValue;
    value->clear();
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    if (c == nullptr) return err;
    if (c->kind != Kind::String) return kBadAttribute;
    *value = S(static_cast<QLineEdit*>(c->widget.data())->text());
    return 0;
}

// ---- Attributes

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    ON_GUI_THREAD(SetCtrlAttribute(panel, control, attribute, value));
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    if (c == nullptr) return err;
    Panel& p = *FindPanel(panel);
    QWidget* w = c->widget;
    switch (attribute) {
        case ATTR_VISIBLE:
            w->setVisible(value != 0);
            if (c->label != nullptr) c->label->setVisible(value != 0);
            return 0;
        case ATTR_DIMMED:
            w->setEnabled(value == 0);
            if (c->label != nullptr) c->label->setEnabled(value == 0);
            return 0;
        case ATTR_TOP:
        case ATTR_LEFT:
            if (c->placed) {
                (attribute == ATTR_TOP ? c->top : c->left) = value;
                if (p.arrange) p.arrange(panel);
            } else if (attribute == ATTR_TOP) {
                MoveTo(p, *c, QPoint(PanelPos(p, w).x(), value));
            } else {
                MoveTo(p, *c, QPoint(value, PanelPos(p, w).y()));
            }
            return 0;
        case ATTR_PRECISION:
            if (c->kind != Kind::Numeric) return kBadAttribute;
            if (value < 0 || value > 15) return kBadValue;
            static_cast<ombrastel::NumericField*>(w)->setDecimals(value);
            return 0;
        case ATTR_SHOW_INCDEC_ARROWS:
            if (c->kind != Kind::Numeric) return kBadAttribute;
            static_cast<QAbstractSpinBox*>(w)->setButtonSymbols(
                value != 0 ? QAbstractSpinBox::UpDownArrows : QAbstractSpinBox::NoButtons);
            return 0;
        case ATTR_ENTRY_REFUSED:
            if (c->kind != Kind::Numeric && c->kind != Kind::String) return kBadAttribute;
            if (value != 0) {
                ombrastel::ShowEntryRefusal(w, RefusalText(*c));
            } else {
                ombrastel::ClearEntryRefusal(w);
            }
            return 0;
        default:
            return kBadAttribute;
    }
}

int SetCtrlAttribute(int panel, int control, int attribute, const std::string& value) {
    ON_GUI_THREAD(SetCtrlAttribute(panel, control, attribute, value));
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    if (c == nullptr) return err;
    switch (attribute) {
        case ATTR_LABEL_TEXT:
            if (c->kind == Kind::Led || c->kind == Kind::Decoration) return kBadAttribute;
            SetLabel(*c, Q(value));
            return 0;
        case ATTR_ON_TEXT:
        case ATTR_OFF_TEXT:
            if (c->kind != Kind::Toggle) return kBadAttribute;
            {
                QString& caption = attribute == ATTR_ON_TEXT ? c->onText : c->offText;
                caption = Marked(Q(value), caption);
            }
            ShowToggleState(*c);
            return 0;
        case ATTR_REFUSAL_TEXT:
            if (c->kind == Kind::Numeric) {
                static_cast<ombrastel::NumericField*>(c->widget.data())->setRefusalText(Q(value));
            } else if (c->kind == Kind::String) {
                c->refusalText = Q(value);
            } else {
                return kBadAttribute;
            }
            return 0;
        default:
            return kBadAttribute;
    }
}

int GetCtrlAttribute(int panel, int control, int attribute, int* value) {
    ON_GUI_THREAD(GetCtrlAttribute(panel, control, attribute, value));
    if (value == nullptr) return kBadValue;
    *value = 0;
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    if (c == nullptr) return err;
    Panel& p = *FindPanel(panel);
    QWidget* w = c->widget;
    switch (attribute) {
        case ATTR_VISIBLE:
            *value = w->isHidden() ? 0 : 1;
            return 0;
        case ATTR_DIMMED:
            *value = w->isEnabledTo(p.window) ? 0 : 1;
            return 0;
        case ATTR_TOP:
            *value = c->placed ? c->top : PanelPos(p, w).y();
            return 0;
        case ATTR_LEFT:
            *value = c->placed ? c->left : PanelPos(p, w).x();
            return 0;
        case ATTR_PRECISION:
            if (c->kind != Kind::Numeric) return kBadAttribute;
            *value = static_cast<ombrastel::NumericField*>(w)->decimals();
            return 0;
        case ATTR_SHOW_INCDEC_ARROWS:
            if (c->kind != Kind::Numeric) return kBadAttribute;
            *value =
                static_cast<QAbstractSpinBox*>(w)->buttonSymbols() == QAbstractSpinBox::NoButtons
                    ? 0
                    : 1;
            return 0;
        case ATTR_ENTRY_REFUSED:
            if (c->kind != Kind::Numeric && c->kind != Kind::String) return kBadAttribute;
            *value = ombrastel::EntryRefusalShown(w) ? 1 : 0;
            return 0;
        default:
            return kBadAttribute;
    }
}

int GetCtrlAttribute(int panel, int control, int attribute, std::string* value) {
    ON_GUI_THREAD(GetCtrlAttribute(panel, control, attribute, value));
    if (value == nullptr) return kBadValue;
    value->clear();
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    if (c == nullptr) return err;
    switch (attribute) {
        case ATTR_LABEL_TEXT:
            if (c->kind == Kind::Led || c->kind == Kind::Decoration) return kBadAttribute;
            *value = S(LabelOf(*c));
            return 0;
        case ATTR_ON_TEXT:
        case ATTR_OFF_TEXT:
            if (c->kind != Kind::Toggle) return kBadAttribute;
            *value = S(Unmarked(attribute == ATTR_ON_TEXT ? c->onText : c->offText));
            return 0;
        case ATTR_REFUSAL_TEXT:
            if (c->kind != Kind::Numeric && c->kind != Kind::String) return kBadAttribute;
            *value = S(RefusalText(*c));
            return 0;
        default:
            return kBadAttribute;
    }
}

int SetPanelTitle(int panel, const std::string& title) {
    ON_GUI_THREAD(SetPanelTitle(panel, title));
    Panel* p = FindPanel(panel);
    if (p == nullptr) return kBadPanel;
    p->window->setWindowTitle(Q(title));
    return 0;
}

std::string Literal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '&') out += '&';
        out += c;
    }
    return out;
}

std::string GetPanelTitle(int panel) {
    ON_GUI_THREAD(GetPanelTitle(panel));
    Panel* p = FindPanel(panel);
    return p == nullptr ? std::string() : S(p->window->windowTitle());
}

// ---- Ring items

namespace {
QComboBox* Ring(int panel, int control, int* err) {
    Control* c = FindControl(panel, control, err);
    if (c == nullptr) return nullptr;
    if (c->kind != Kind::Ring) {
        *err = kBadAttribute;
        return nullptr;
    }
    return static_cast<QComboBox*>(c->widget.data());
}
}  // namespace

int ClearListCtrl(int panel, int control) {
    ON_GUI_THREAD(ClearListCtrl(panel, control));
    int err = 0;
    QComboBox* r = Ring(panel, control, &err);
    if (r == nullptr) return err;
    const QSignalBlocker block(r);
    r->clear();
    return 0;
}

int InsertListItem(int panel, int control, int index, const std::string& label, int value) {
    ON_GUI_THREAD(InsertListItem(panel, control, index, label, value));
    int err = 0;
    QComboBox* r = Ring(panel, control, &err);
    if (r == nullptr) return err;
    if (index < -1 || index > r->count()) return kBadValue;
    const QSignalBlocker block(r);
    r->insertItem(index == -1 ? r->count() : index, Q(label), value);
    return 0;
}

int GetIndexFromValue(int panel, int control, int* index, int value) {
    ON_GUI_THREAD(GetIndexFromValue(panel, control, index, value));
    if (index == nullptr) return kBadValue;
    *index = -1;
    int err = 0;
    QComboBox* r = Ring(panel, control, &err);
    if (r == nullptr) return err;
    for (int i = 0; i < r->count(); ++i) {
        if (r->itemData(i).toInt() == value) {
            *index = i;
            break;
        }
    }
    return 0;
}

int DeleteListItem(int panel, int control, int index, int count) {
    ON_GUI_THREAD(DeleteListItem(panel, control, index, count));
    int err = 0;
    QComboBox* r = Ring(panel, control, &err);
    if (r == nullptr) return err;
    if (index < 0 || index >= r->count()) return kBadValue;
    // A negative count deletes every item from index on.
    const int last = count < 0 ? r->count() : std::min(r->count(), index + count);
    const QSignalBlocker block(r);
    for (int i = last - 1; i >= index; --i) r->removeItem(i);
    return 0;
}

int GetNumListItems(int panel, int control, int* count) {
    ON_GUI_THREAD(GetNumListItems(panel, control, count));
    if (count == nullptr) return kBadValue;
    *count = 0;
    int err = 0;
    QComboBox* r = Ring(panel, control, &err);
    if (r == nullptr) return err;
    *count = r->count();
    return 0;
}

int GetLabelFromIndex(int panel, int control, int index, std::string* label) {
    ON_GUI_THREAD(GetLabelFromIndex(panel, control, index, label));
    if (label == nullptr) return kBadValue;
    label->clear();
    int err = 0;
    QComboBox* r = Ring(panel, control, &err);
    if (r == nullptr) return err;
    if (index < 0 || index >= r->count()) return kBadValue;
    *label = S(r->itemText(index));
    return 0;
}

int GetValueFromIndex(int panel, int control, int index, int* value) {
    ON_GUI_THREAD(GetValueFromIndex(panel, control, index, value));
    if (value == nullptr) return kBadValue;
    *value = 0;
    int err = 0;
    QComboBox* r = Ring(panel, control, &err);
    if (r == nullptr) return err;
    if (index < 0 || index >= r->count()) return kBadValue;
    *value = r->itemData(index).toInt();
    return 0;
}

// ---- Messages, cursor, waiting

namespace {

// Boxes shown for a sequence on the link thread; a cancel closes them.
std::vector<QPointer<QMessageBox>>& LinkBoxes() {
    static std::vector<QPointer<QMessageBox>> boxes;
    return boxes;
}

// A box for the link thread, on the GUI thread: shown without a loop of its own (modal to
// the panel), finished() called once the operator has closed it.
void ShowLinkBox(const std::string& title, const std::string& text, const std::string& detail,
                 const std::function<void()>& finished) {
    if (PopupHandler()) {
        PopupHandler()(title, text, detail);
        finished();
        return;
    }
    QWidget* parent = QApplication::activeWindow();
    if (parent == nullptr && !Panels().empty() && Panels().front()) {
        parent = Panels().front()->window;
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);  // the text may carry what a decade or a file said
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    if (!detail.empty()) box->setDetailedText(Q(detail));
    QObject::connect(box, &QDialog::finished, box, [finished] { finished(); });
    LinkBoxes().emplace_back(box);
    box->open();
}

}  // namespace

int MessagePopup(const std::string& title, const std::string& text, const std::string& detail) {
    if (OffGuiThread()) {
        // The link thread waits until the box is closed or the sequence is cancelled; the
        // GUI thread keeps running its one event loop meanwhile.
        if (linkthread::Abandoned()) return kBadPanel;
        struct Closed {
            std::mutex mutex;
            std::condition_variable changed;
            bool done = false;
        };
        auto closed = std::make_shared<Closed>();
        linkthread::RunQueued(QCoreApplication::instance(), [title, text, detail, closed] {
            ShowLinkBox(title, text, detail, [closed] {
                {
                    const std::lock_guard lock(closed->mutex);
                    closed->done = true;
                }
                closed->changed.notify_all();
            });
        });
        std::unique_lock lock(closed->mutex);
        while (!closed->done && !linkthread::CancelRequested() && !linkthread::Abandoned()) {
            closed->changed.wait_for(lock, std::chrono::milliseconds(50));
        }
        return 0;
    }
    if (PopupHandler()) {
        PopupHandler()(title, text, detail);
        return 0;
    }
    if (QApplication::instance() == nullptr) return kBadPanel;
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);  // the detail is plain text already
    if (!detail.empty()) box.setDetailedText(Q(detail));
    // The operator must see the message even while the wait cursor is on.
    const bool cursor = waitCursorOn;
    if (cursor) QApplication::restoreOverrideCursor();
    box.exec();
    if (cursor) QApplication::setOverrideCursor(Qt::WaitCursor);
    return 0;
}

void SetMessagePopupHandler(MessagePopupHandler handler) {
    PopupHandler() = std::move(handler);
}

namespace {

// A cursor change is a request queued on the X connection; the event loop flushes it, but
// the wait cursor goes on right before a blocking open that keeps the loop from running.
// Flushing the connection shows it at once without processing any event.
void FlushWindowSystem() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) return;
    void* xcb = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);  // already loaded by Qt
    if (xcb == nullptr) return;
    using FlushFn = int (*)(xcb_connection_t*);
    if (auto flush = reinterpret_cast<FlushFn>(dlsym(xcb, "xcb_flush"))) flush(x11->connection());
    dlclose(xcb);
}

}  // namespace

void SetWaitCursor(int on) {
    ON_GUI_THREAD(SetWaitCursor(on));
    if (QApplication::instance() == nullptr || (on != 0) == waitCursorOn) return;
    waitCursorOn = on != 0;
    if (waitCursorOn) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        FlushWindowSystem();
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void Delay(double seconds) {
    if (!(seconds > 0.0)) return;  // also refuses NaN
    const double ms = std::min(seconds * 1000.0, 24.0 * 3600.0 * 1000.0);
    if (linkthread::OnLinkThread()) {  // a wait the operator may cancel
        linkthread::WaitFor(std::chrono::microseconds(static_cast<long long>(ms * 1000.0)));
        return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(ms * 1000.0)));
}

// ---- Busy

namespace {

struct BusyState {
    int panel = 0;
    bool on = false;
    bool cancelAtOnce = false;
    bool dropSaid = false;
    QString droppedText = QStringLiteral("Busy with the decade: input ignored");
    QString cancelText = QStringLiteral("Cancel");
    QPointer<QPushButton> cancel;
    QPointer<QTimer> offer;
    std::unique_ptr<QObject> filter;
};

BusyState& Busy() {
    static BusyState state;
    return state;
}

bool CancelOffered() {
    const BusyState& b = Busy();
    return b.cancel != nullptr && b.cancel->isVisible();
}

// Drops the operator's input to the panel while busy; the Cancel button and Escape pass
// while Cancel is offered.
class BusyFilter : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Wheel:
            case QEvent::ShortcutOverride:
                break;
            default:
                return false;
        }
        BusyState& b = Busy();
        auto* w = qobject_cast<QWidget*>(watched);
        Panel* p = FindPanel(b.panel);
        if (!b.on || w == nullptr || p == nullptr || w->window() != p->window) return false;
        if (CancelOffered() && (w == b.cancel || b.cancel->isAncestorOf(w))) return false;
        // The panel's close control (Exit) ends the program even now.
        const auto close = p->controls.find(p->closeControl);
        if (close != p->controls.end() && w == close->second.widget) return false;
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            if (CancelOffered()) CancelSequence();
            return true;
        }
        if (!b.dropSaid && (event->type() == QEvent::MouseButtonPress ||
                            event->type() == QEvent::KeyPress || event->type() == QEvent::Wheel)) {
            b.dropSaid = true;
            QToolTip::showText(QCursor::pos(), b.droppedText, p->window);
        }
        return true;
    }
};

void OfferCancel(bool on) {
    BusyState& b = Busy();
    Panel* p = FindPanel(b.panel);
    if (p == nullptr) return;
    if (on && b.cancel == nullptr) {
        b.cancel = new QPushButton(b.cancelText, p->window);
        b.cancel->setObjectName(QStringLiteral("linkCancel"));
        b.cancel->setAccessibleName(b.cancelText);
        b.cancel->setCursor(Qt::ArrowCursor);
        QObject::connect(b.cancel, &QPushButton::clicked, b.cancel, [] { CancelSequence(); });
    }
    if (b.cancel == nullptr) return;
    if (on && !b.cancel->isVisible()) {
        b.cancel->setText(b.cancelText);
        b.cancel->adjustSize();
        const QSize room = p->window->size() - b.cancel->size();
        b.cancel->move(room.width() - 8, room.height() - 8);
        b.cancel->raise();
        b.cancel->show();
    } else if (!on) {
        b.cancel->hide();
    }
}

}  // namespace

void SetBusy(int panel, bool busy, bool cancelAtOnce) {
    BusyState& b = Busy();
    if (QApplication::instance() == nullptr) return;
    if (!b.filter) {
        b.filter = std::make_unique<BusyFilter>();
        qApp->installEventFilter(b.filter.get());
    }
    Panel* p = FindPanel(panel);
    if (busy) {
        b.panel = panel;
        b.on = true;
        b.cancelAtOnce = cancelAtOnce;
        b.dropSaid = false;
        if (p != nullptr) p->window->setCursor(Qt::WaitCursor);
        OfferCancel(cancelAtOnce);
        if (b.offer == nullptr) {
            b.offer = new QTimer(qApp);
            b.offer->setInterval(100);
            QObject::connect(b.offer, &QTimer::timeout, [] {
                const BusyState& s = Busy();
                if (!s.on) return;
                const bool offer = s.cancelAtOnce || linkthread::CurrentWait() >
                                                         std::chrono::milliseconds(1000);
                if (offer && !CancelOffered()) OfferCancel(true);
            });
        }
        b.offer->start();
        return;
    }
    b.on = false;
    if (b.offer != nullptr) b.offer->stop();
    OfferCancel(false);
    if (p != nullptr) p->window->unsetCursor();
    if (b.dropSaid) QToolTip::hideText();
}

bool IsBusy() {
    return Busy().on;
}

void SetBusyTexts(const std::string& inputDropped, const std::string& cancelCaption) {
    Busy().droppedText = Q(inputDropped);
    Busy().cancelText = Q(cancelCaption);
}

void CancelSequence() {
    linkthread::Cancel();
    for (const QPointer<QMessageBox>& box : LinkBoxes()) {
        if (box != nullptr) box->done(QMessageBox::Ok);
    }
    LinkBoxes().clear();
}

QWidget* CancelButton(int panel) {
    const BusyState& b = Busy();
    return b.panel == panel ? b.cancel.data() : nullptr;
}

QWidget* ControlWidget(int panel, int control) {
    ON_GUI_THREAD(ControlWidget(panel, control));
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    return c == nullptr ? nullptr : c->widget.data();
}

QWidget* LabelWidget(int panel, int control) {
    ON_GUI_THREAD(LabelWidget(panel, control));
    int err = 0;
    Control* c = FindControl(panel, control, &err);
    return c == nullptr ? nullptr : c->label.data();
}

QWidget* PanelWindow(int panel) {
    ON_GUI_THREAD(PanelWindow(panel));
    Panel* p = FindPanel(panel);
    return p == nullptr ? nullptr : p->window.data();
}

}  // namespace ui
