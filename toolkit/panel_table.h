// The table of loaded panels and their controls, and what the toolkit's files share about
// them: finding a panel or a control, the kind of a control, its label and shortcut letter,
// its place in the panel. For the toolkit's own files; the rest of the program uses
// toolkit/ui.h.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/ui.h"

class QLineEdit;

namespace ui::detail {

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

// The loaded panels; handle h is entry h - 1 (a discarded panel leaves an empty entry).
std::vector<std::unique_ptr<Panel>>& Panels();
// The panel of a handle, or null.
Panel* FindPanel(int handle);
// The control, or null with *err set to the reason.
Control* FindControl(int panel, int control, int* err);
Kind KindOf(QWidget* w);

QString Q(const std::string& s);
std::string S(const QString& s);

// Shortcut letters. A text may mark its shortcut letter with '&' ("&&" is an ampersand);
// the widgets show the mark, while the program reads and sets the texts without it. A
// text set without a mark keeps the control's letter where the new text has it, so
// "Output" becoming "Output [kOhm]" keeps Alt+O.
QString Unmarked(const QString& text);
// The text to show: marked as given, or with the letter of the text shown before ("&&" in
// it is an ampersand either way).
QString Marked(const QString& text, const QString& before);

// Keeps a toggle button's caption and accessible name in step with its state.
void ShowToggleState(Control& c);
// Sets the label (a button's caption) and the accessible name that follows it.
void SetLabel(Control& c, const QString& text);
QString RefusalText(const Control& c);
QString LabelOf(const Control& c);

// Where a widget is in its panel's window, and moving a control there with its label.
QPoint PanelPos(const Panel& p, QWidget* w);
void MoveTo(const Panel& p, Control& c, QPoint target);

// The input of a control (control_input.cpp): its callback connected to the operator's
// commits, and what a string control shows when an edit is abandoned with Escape.
void Connect(int handle, Control& c);
void KeepShownText(QLineEdit* e);
// Every label of the program shows its text as plain text (once the application exists).
void KeepLabelsPlain();

// The message boxes shown for a sequence on the link thread: a cancel closes them
// (messages.cpp).
void CloseLinkBoxes();

}  // namespace ui::detail
