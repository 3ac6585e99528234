// Test helpers around the real main panel.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Gives a fresh main panel in the state start-up leaves it in just before the settings
// file is read: loaded from its description, the port list filled, NUM_ADR, RING_STANDARD
// and RING_SCALE hidden. The shared state is reset, `language` set to lang (the Czech
// texts are applied when it is 1) and `panelHandle` set. The panel of an earlier call is
// discarded first, so every case starts alike; the handle stays the same. Not displayed.
int LoadMainPanelForTest(int lang = 3);

// Records every MessagePopup instead of showing a box, while it lives.
class MessageRecorder {
  public:
    using Message = std::pair<std::string, std::string>;  // title, text

    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const std::vector<Message>& messages() const { return messages_; }
    void clear() { messages_.clear(); }

  private:
    std::vector<Message> messages_;
};
