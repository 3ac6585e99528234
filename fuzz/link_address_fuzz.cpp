// The link address as a script or a user writes it for --port: any bytes at all. What must
// hold: no crash, a reason for every text refused, and for every text accepted a canonical
// form that reads back to the same address and prints the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "link/link_address.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string reason;
    const std::optional<links::LinkAddress> address = links::ParseLinkAddress(text, &reason);
    if (!address) {
        if (reason.empty()) std::abort();
        return 0;
    }
    const std::string canonical = links::LinkAddressText(*address);
    const std::optional<links::LinkAddress> again = links::ParseLinkAddress(canonical, &reason);
    if (!again || *again != *address) std::abort();
    if (links::LinkAddressText(*again) != canonical) std::abort();
    if (const auto* com = std::get_if<links::ComPort>(&*address)) {
        if (com->number < links::kFirstComPort || com->number > links::kLastComPort) std::abort();
    }
    if (const auto* gpib = std::get_if<links::GpibDevice>(&*address)) {
        if (gpib->address < 0 || gpib->address > links::kLastGpibAddress) std::abort();
    }
    return 0;
}
