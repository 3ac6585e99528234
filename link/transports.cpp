// The one place that turns a link address into its transport.
#include <memory>

#include "link/gpib_transport.h"
#include "link/serial_transport.h"
#include "link/transport.h"
#include "platform/gpib.h"

namespace links {

std::unique_ptr<Transport> MakeTransport(const LinkSettings& settings) {
    struct Maker {
        const LinkSettings& settings;
        std::unique_ptr<Transport> operator()(const ComPort& port) const {
            return std::make_unique<SerialTransport>(port, settings.baudRate);
        }
        std::unique_ptr<Transport> operator()(const SerialDevice& device) const {
            return std::make_unique<SerialTransport>(device, settings.baudRate);
        }
        std::unique_ptr<Transport> operator()(const GpibDevice& device) const {
            return std::make_unique<GpibTransport>(device);
        }
    };
    return std::visit(Maker{settings}, settings.address);
}

void StopReads() {
    gpib::StopRead();  // a serial read sees the cancel itself within 100 ms
}

}  // namespace links
