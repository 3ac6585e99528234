// The callbacks through which the operator drives a connected decade.
#pragma once

// Every callback has the toolkit's form; most use only the event code.
#define OMBRASTEL_CALLBACK(name)                                                     \
    int name([[maybe_unused]] int panel, [[maybe_unused]] int control, int event,    \
             [[maybe_unused]] void* callbackData, [[maybe_unused]] int eventData1, \
             [[maybe_unused]] int eventData2)

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
