#include "app/shared_state.h"

#include "link/gpib_transport.h"

decade::DecadeSession panelSession;

int panelHandle = -1;
int language = 3;

int& connected = panelSession.link.connected;
int linkType = 0;
int comPort = 0;
int baudRate = 0;
int gpibAddress = 0;

namespace {

links::GpibRecord* PanelGpib() {
    auto* gpib = dynamic_cast<links::GpibTransport*>(panelSession.link.transport.get());
    return gpib != nullptr ? &gpib->record() : nullptr;
}

int* PanelGpibDevice() {
    links::GpibRecord* record = PanelGpib();
    return record != nullptr ? &record->device : nullptr;
}

int* PanelFirstReadDone() {
    links::GpibRecord* record = PanelGpib();
    return record != nullptr ? &record->firstReadDone : nullptr;
}

}  // namespace

LinkNumber gpibDevice{PanelGpibDevice, -1};
LinkNumber firstReadDone{PanelFirstReadDone, 0};

links::LinkSettings PanelLinkSettings() {
    if (linkType != 0) return {links::GpibDevice{gpibAddress}, baudRate};
    return {links::ComPort{comPort}, baudRate};
}

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
    // The link's sequence is the link's own and stays; the transport of the last open goes
    // (so no GPIB descriptor is left), without a word to the decade or the library.
    panelSession.link.connected = 0;
    panelSession.link.transport.reset();
    linkType = 0;
    comPort = 0;
    baudRate = 0;
    gpibAddress = 0;
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
