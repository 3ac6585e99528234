// The callbacks through which the operator drives a connected decade.
#pragma once

#define OMBRASTEL_CALLBACK(name)                                                       \
    int name(int panel, int control, int event, void* callbackData, int eventData1, \
             int eventData2)

OMBRASTEL_CALLBACK(ValueCB);
OMBRASTEL_CALLBACK(UnitCB);
OMBRASTEL_CALLBACK(FunctionCB);
OMBRASTEL_CALLBACK(ThresholdCB);
OMBRASTEL_CALLBACK(RnulaCB);
OMBRASTEL_CALLBACK(OutputCB);
OMBRASTEL_CALLBACK(GroundCB);
OMBRASTEL_CALLBACK(ShortCB);
OMBRASTEL_CALLBACK(StandardCB);
OMBRASTEL_CALLBACK(ScaleCB);
OMBRASTEL_CALLBACK(EndCB);
