// The input of the controls: a control's callback runs only when the operator commits a
// change, and the filters that keep a ring, a string field and every label to what the
// operator meant.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "toolkit/numeric_field.h"
#include "toolkit/panel_table.h"

namespace ui::detail {

namespace {

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

// What a string control shows from the program or from its last confirmed entry: Escape
// abandons an edit and brings it back.
const char* const kShownText = "ombrastelShownText";

}  // namespace

void KeepShownText(QLineEdit* e) {
    e->setProperty(kShownText, e->text());
}

namespace {

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

}  // namespace

void KeepLabelsPlain() {
    static PlainTextLabels* filter = nullptr;
    if (filter != nullptr || QApplication::instance() == nullptr) return;
    filter = new PlainTextLabels();
    filter->setParent(QApplication::instance());
    QApplication::instance()->installEventFilter(filter);
}

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

}  // namespace ui::detail
