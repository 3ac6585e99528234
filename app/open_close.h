#pragma once

#include <functional>

int OpenCommunic();
int CloseCommunic();

// An operator's handler is one sequence on the link. Begin before its first command: from
// then on the first exchange that finds no answer or the link gone ends the sequence
// (nothing more is sent). Finish after its refresh: a decade that did not answer is told
// once ("Communication failed." with the reason), and a link that is gone also puts the
// panel in its closed state, as after Close but without sending anything.
void BeginHandlerSequence();
void FinishHandlerSequence();
void FillComs();
// Shows NUM_ADR for GPIB, SERIAL and RATE for RS-232, as the interface ring shows now.
void ShowInterfaceControls(int panel);
int OpenCloseComCB(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int ComTypeCB(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);

// Runs body as one sequence on the link thread while the panel is busy (Cancel offered at
// once when cancelAtOnce); a cancelled sequence then closes the link as Close does. False,
// with nothing run, while another sequence is under way. Without a link thread (tests that
// call the routines directly) body runs here and now. done, when given, runs on the GUI
// thread once the sequence has ended.
bool RunSequence(const std::function<void()>& body, bool cancelAtOnce = false,
                 const std::function<void()>& done = {});
// Called on the GUI thread after every sequence of the panel has ended (windows that show
// what the decade presents look again).
void AddSequenceEndedHook(std::function<void()> hook);
// Exit, the frame's close button, an end signal: the sequence under way is cancelled, the
// link closed with its local command on the link thread, then the event loop ends. The
// loop ends anyway after kExitBoundMs, when a library call on the link does not return.
inline constexpr int kExitBoundMs = 2000;
void RequestExit();
// After the loop: forgets the exit, so a later run of the panel starts afresh.
void EndExit();
