#pragma once

int OpenCommunic();
int CloseCommunic();
void FillComs();
int OpenCloseComCB(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int ComTypeCB(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
