// The toolkit layer: the panel operations the rest of the program calls, over Qt Widgets.
//
// A panel handle indexes a table of loaded panels; a control id names a widget of that
// panel together with its label widget. Callbacks run only when the operator commits a
// change (a ring item chosen, a button pressed, a number or text entered and confirmed);
// setting a value from code never calls them. The mouse wheel turns a numeric control or a
// ring only while it has keyboard focus.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace ui {

// The event code of a commit; the only event the program's callbacks act on.
inline constexpr int EVENT_COMMIT = 1;

using CtrlCallback = int (*)(int panel, int control, int event, void* callbackData,
                             int eventData1, int eventData2);

enum Attribute {
    ATTR_VISIBLE,           // int: 0 hides the control and its label
    ATTR_DIMMED,            // int: 1 refuses operator input, control stays shown
    ATTR_LABEL_TEXT,        // text: the label (caption of a button); '&' marks the
                            // shortcut letter, "&&" is an ampersand (see Literal)
    ATTR_ON_TEXT,           // text: toggle button caption while pressed
    ATTR_OFF_TEXT,          // text: toggle button caption while released
    ATTR_TOP,               // int: pixels from the panel's top edge
    ATTR_LEFT,              // int: pixels from the panel's left edge
    ATTR_PRECISION,         // int: decimals a numeric control shows
    ATTR_SHOW_INCDEC_ARROWS, // int: whether a numeric control shows its arrows
    ATTR_REFUSAL_TEXT,       // text: what a numeric or string control says when it refuses
                             // a typed text (a numeric control refuses one by itself)
    ATTR_ENTRY_REFUSED       // int: 1 shows that text at the control, 0 takes it away
};

// What a panel description gives the layer: the top-level widget and, per control id,
// its widget, its label widget (may be null) and its callback (may be null).
//
// The window's layouts place the controls. A control that is placed by position (placed
// true) keeps the top and left that ATTR_TOP and ATTR_LEFT set, in the pixels of the
// description as loaded, starting from top and left; each change calls the description's
// arrange, which turns those positions into places in a layout (an order, not pixels). The
// widgets of other controls move by ATTR_TOP and ATTR_LEFT themselves.
struct ControlEntry {
    int id = 0;
    QWidget* widget = nullptr;
    QWidget* label = nullptr;
    CtrlCallback callback = nullptr;
    bool placed = false;
    int top = 0;
    int left = 0;
};
struct PanelDescription {
    QWidget* window = nullptr;
    std::function<std::vector<ControlEntry>()> controls;
    std::function<void(int panel)> arrange;  // may be empty
};
using PanelBuilder = std::function<PanelDescription()>;

// Makes a panel description loadable by name (the description travels in the program).
void RegisterPanelDescription(const std::string& name, int panelId, PanelBuilder builder);

// Toolkit start; false when no platform can be used (no display). Must come first.
bool InitToolkit(int& argc, char** argv);
// Why the last InitToolkit failed, in one line; empty after a success.
std::string ToolkitInitError();
// Creates the panel panelId of description; returns its handle or a negative value.
int LoadPanel(int parent, const std::string& description, int panelId);
int DisplayPanel(int panel);
// Makes the window frame's close button act as a press of control (a commit on it); the
// window itself stays open. 0 turns this off, and then the close button does nothing.
int SetPanelCloseControl(int panel, int control);
int DiscardPanel(int panel);
int RunUserInterface();
int QuitUserInterface(int code);

int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const std::string& value);
int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, double* value);
int GetCtrlVal(int panel, int control, std::string* value);

int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, const std::string& value);
int GetCtrlAttribute(int panel, int control, int attribute, int* value);
int GetCtrlAttribute(int panel, int control, int attribute, std::string* value);

// A text from elsewhere (a unit or a name a decade sent) for a label: every '&' in it an
// ampersand, none the mark of a shortcut letter. Labels show their texts as plain text, never
// as markup, whatever they hold.
std::string Literal(std::string_view text);

int SetPanelTitle(int panel, const std::string& title);
std::string GetPanelTitle(int panel);

// Ring items. Index -1 in InsertListItem appends.
int ClearListCtrl(int panel, int control);
int InsertListItem(int panel, int control, int index, const std::string& label, int value);
int GetIndexFromValue(int panel, int control, int* index, int value);  // *index < 0: none
int DeleteListItem(int panel, int control, int index, int count);
int GetNumListItems(int panel, int control, int* count);
int GetLabelFromIndex(int panel, int control, int index, std::string* label);
int GetValueFromIndex(int panel, int control, int index, int* value);

// Modal message box with one OK button. A detail (why it happened) goes behind the box's
// "Show Details..." button. Tests install a handler instead of a box.
int MessagePopup(const std::string& title, const std::string& text,
                 const std::string& detail = {});
using MessagePopupHandler = std::function<void(const std::string& title, const std::string& text,
                                               const std::string& detail)>;
void SetMessagePopupHandler(MessagePopupHandler handler);  // empty handler: real boxes

void SetWaitCursor(int on);

// Blocks the calling thread for the given time without running the event loop. On the
// link thread the wait ends early when the sequence is cancelled.
void Delay(double seconds);

// Every operation above may be called from the link thread: it is carried out by the GUI
// thread, and the caller waits for it. MessagePopup from the link thread shows the box
// without a loop of its own and waits until it is closed (or the sequence cancelled).

// Busy: a sequence runs on the link thread (GUI thread calls). The window keeps painting,
// the wait cursor shows over it, and the operator's clicks, keys and wheel turns to the
// panel are dropped, not queued (all but the panel's close control, see
// SetPanelCloseControl); the first one dropped is said once in a tooltip. A Cancel
// button appears in the panel during an open (cancelAtOnce) and whenever a wait on the
// link has lasted more than a second; it and Escape then cancel the sequence.
void SetBusy(int panel, bool busy, bool cancelAtOnce = false);
bool IsBusy();
void SetBusyTexts(const std::string& inputDropped, const std::string& cancelCaption);
// Cancels the sequence under way: its waits end, its exchanges send nothing more, and
// the boxes it shows close.
void CancelSequence();
// The Cancel button of a panel (hidden while not offered), for tests.
QWidget* CancelButton(int panel);

// The widget behind a control, for tests and screenshots; null when unknown.
QWidget* ControlWidget(int panel, int control);
QWidget* LabelWidget(int panel, int control);
QWidget* PanelWindow(int panel);

}  // namespace ui
