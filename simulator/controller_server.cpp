#include "simulator/controller_server.h"

namespace sim {

std::vector<std::string> ControllerServer::Lines(int address) const {
    const Device* device = controller_.DecadeAt(address);
    return device ? device->transcript().Lines() : std::vector<std::string>{};
}

std::vector<Record> ControllerServer::Transcript(int address) const {
    const Device* device = controller_.DecadeAt(address);
    return device ? device->transcript().Records() : std::vector<Record>{};
}

ControllerSettings ControllerServer::Settings() const {
    std::lock_guard lock(server_.mutex());
    return controller_.settings();
}

bool ControllerServer::WaitForHostLines(std::size_t count, int timeoutMs) const {
    return server_.WaitUntil([&] { return controller_.host().Records().size() >= count; },
                             timeoutMs);
}

bool ControllerServer::WaitForLines(int address, std::size_t count, int timeoutMs) const {
    const Device* device = controller_.DecadeAt(address);
    if (device == nullptr) return false;
    return server_.WaitUntil([&] { return device->transcript().Records().size() >= count; },
                             timeoutMs);
}

}  // namespace sim
