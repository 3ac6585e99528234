#include "toolkit/panel_table.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <optional>
#include <utility>

#include "toolkit/gui_thread.h"
#include "toolkit/led_widget.h"
#include "toolkit/numeric_field.h"

namespace ui {

namespace detail {

std::vector<std::unique_ptr<Panel>>& Panels() {
    static std::vector<std::unique_ptr<Panel>> panels;
    return panels;
}

Panel* FindPanel(int handle) {
    auto& panels = Panels();
    if (handle < 1 || handle > static_cast<int>(panels.size())) return nullptr;
    Panel* p = panels[handle - 1].get();
    return (p != nullptr && p->window != nullptr) ? p : nullptr;
}

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


QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}
std::string S(const QString& s) {
    return s.toUtf8().toStdString();
}

namespace {

// The index of the marked letter in text, or -1.
int MarkAt(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] != QLatin1Char('&')) return i + 1;
        ++i;
    }
    return -1;
}

}  // namespace

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

}  // namespace detail

using namespace detail;

namespace {

std::map<std::pair<std::string, int>, PanelBuilder>& Registry() {
    static std::map<std::pair<std::string, int>, PanelBuilder> registry;
    return registry;
}

bool loopRunning = false;
std::optional<int> pendingQuit;

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

}  // namespace

void RegisterPanelDescription(const std::string& name, int panelId, PanelBuilder builder) {
    Registry()[{name, panelId}] = std::move(builder);
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
