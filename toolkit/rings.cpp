// Ring items: the choices of a ring control, each a label and the value it stands for.
#include <QComboBox>
#include <QSignalBlocker>
#include <algorithm>

#include "toolkit/gui_thread.h"
#include "toolkit/panel_table.h"

namespace ui {

using namespace detail;

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

}  // namespace ui
