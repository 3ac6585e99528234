// Test helpers around the real main panel: loading it, reading its controls, and the
// operator's hands on it.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

class QWidget;

using Lines = std::vector<std::string>;
using Items = std::vector<std::pair<int, std::string>>;  // value, label of ring items

Lines operator+(Lines a, const Lines& b);
double SecondsSince(std::chrono::steady_clock::time_point start);

// Gives a fresh main panel in the state start-up leaves it in just before the settings
// file is read: loaded from its description, the port list filled, NUM_ADR, RING_STANDARD
// and RING_SCALE hidden. The shared state is reset, `language` set to lang (the Czech
// texts are applied when it is 1) and `panelHandle` set. The panel of an earlier call is
// discarded first, so every case starts alike; the handle stays the same. Not displayed.
int LoadMainPanelForTest(int lang = 3);

// Closes any link, then a fresh panel as start-up leaves it without one (controls
// arranged), shown and active for keyboard input.
void ShowFreshPanel(int lang = 3);

// What a control of the main panel holds; -99, NaN or empty when nothing could be read.
int Int(int control);
double Number(int control);
std::string Text(int control);
std::string Label(int control);
int Attr(int control, int attribute);
Items RingItems(int control);
QWidget* W(int control);

// The operator's hands. Type replaces what a number or text field shows and confirms with
// Return. Choose steps onto the ring item that carries value with one arrow key (the ring
// is first put on the neighbouring item, which commits nothing). Press clicks a button.
void Type(int control, const std::string& text);
void Choose(int control, int value);
void Press(int control);
void ClickCom();
// With the link on its own thread, the helpers above return once the sequence they started
// has ended, the GUI thread serving events meanwhile: this waits so, at most seconds; false
// when the link was still busy then.
bool WaitLinkIdle(double seconds = 30.0);
// Serves the GUI thread's events once, for about a millisecond at most.
void ServeEventsOnce();
// Serves the GUI thread's events until done() holds; false after seconds.
template <typename Done>
bool ServeUntil(Done done, double seconds) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (SecondsSince(start) > seconds) return false;
        ServeEventsOnce();
    }
    return true;
}
// Serves events for the given time.
void Serve(double seconds);
// Chooses RS-232, the port and the rate, and switches COM on.
void OpenSerial(int port = 1, int rate = 9600);

// Records every MessagePopup instead of showing a box, while it lives.
class MessageRecorder {
  public:
    using Message = std::pair<std::string, std::string>;  // title, text

    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const std::vector<Message>& messages() const { return messages_; }
    // The detail of each box, in the same order; empty for a box without one.
    const std::vector<std::string>& details() const { return details_; }
    void clear() {
        messages_.clear();
        details_.clear();
    }
    // The texts of all boxes, for failure output.
    std::string Texts() const;

  private:
    std::vector<Message> messages_;
    std::vector<std::string> details_;
};

// After an open that failed: exactly this one box, COM off, no link, no model, the bare
// title.
void ExpectClosedAfterWarning(const MessageRecorder& boxes, const std::string& title,
                              const std::string& text);
