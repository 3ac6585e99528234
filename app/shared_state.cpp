#include "app/shared_state.h"

decade::DecadeSession panelSession;

int panelHandle = -1;
int language = 3;

int& connected = panelSession.link.connected;
int& linkType = panelSession.link.linkType;
int& comPort = panelSession.link.comPort;
int& baudRate = panelSession.link.baudRate;
int& gpibAddress = panelSession.link.gpibAddress;
int& gpibDevice = panelSession.link.gpibDevice;
int& firstReadDone = panelSession.link.firstReadDone;

int& decadeModel = panelSession.info.model;
std::string& modelName = panelSession.info.name;
int& serialNumber = panelSession.info.serialNumber;
float& firmwareVersion = panelSession.info.firmwareVersion;
int& newFirmware = panelSession.info.newFirmware;
int& thresholdAvailable = panelSession.info.thresholdAvailable;
int& valueExponent = panelSession.info.valueExponent;

void ResetSharedState() {
    // panelHandle is left alone: the panel outlives a test case.
    language = 3;
    // The link's sequence and its first-read wait are the link's own and stay.
    LinkState& link = panelSession.link;
    link.connected = 0;
    link.linkType = 0;
    link.comPort = 0;
    link.baudRate = 0;
    link.gpibAddress = 0;
    link.gpibDevice = -1;
    panelSession.info = decade::DecadeInfo{};
}

int Communic(int noReply, const std::string& command, std::string& reply) {
    return panelSession.Communic(noReply, command, reply);
}

void FindModel(const std::string& reply) {
    panelSession.FindModel(reply);
}

void ScanDeviceInfo(const std::string& reply) {
    panelSession.ScanDeviceInfo(reply);
}

void ApplyFirmwareRule() {
    panelSession.ApplyFirmwareRule();
}
