#include "app/shared_state.h"

int panelHandle = -1;
int language = 3;
int connected = 0;
int linkType = 0;
int comPort = 0;
int baudRate = 0;
int gpibAddress = 0;
int gpibDevice = -1;
int decadeModel = 0;
std::string modelName;
int serialNumber = 0;
float firmwareVersion = 0.0f;
int newFirmware = 0;
int thresholdAvailable = 1;
int valueExponent = 0;

void ResetSharedState() {
    // panelHandle is left alone: the panel outlives a test case.
    language = 3;
    connected = 0;
    linkType = 0;
    comPort = 0;
    baudRate = 0;
    gpibAddress = 0;
    gpibDevice = -1;
    decadeModel = 0;
    modelName.clear();
    serialNumber = 0;
    firmwareVersion = 0.0f;
    newFirmware = 0;
    thresholdAvailable = 1;
    valueExponent = 0;
}
