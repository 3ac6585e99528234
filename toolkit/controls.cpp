// A control's value and its attributes (shown, dimmed, label, captions, place, decimals,
// arrows, the refusal of a typed text).
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <climits>
#include <cmath>

#include "toolkit/gui_thread.h"
#include "toolkit/led_widget.h"
#include "toolkit/numeric_field.h"
#include "toolkit/panel_table.h"

namespace ui {

using namespace detail;

namespace {

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

}  // namespace

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

// Attributes

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

}  // namespace ui
