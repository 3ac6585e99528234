#pragma once

int OpenCommunic();
int CloseCommunic();
void FillComs();
// Shows NUM_ADR for GPIB, SERIAL and RATE for RS-232, as the interface ring shows now.
void ShowInterfaceControls(int panel);
int OpenCloseComCB(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int ComTypeCB(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
