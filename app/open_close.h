#pragma once

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
