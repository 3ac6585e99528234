// The step of the exchange that turns the bytes a link delivered into the reply: the count
// the link reports may be anything (a failed serial read is negative, a GPIB layer may
// claim more than it filled), the bytes may hold NULs, a CR, anything at all.
//
// Input: two bytes of signed count (little-endian), then the receive buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "link/communic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const long count = static_cast<std::int16_t>(data[0] | (data[1] << 8));
    const std::string_view received(reinterpret_cast<const char*>(data + 2), size - 2);

    const std::string reply = ReplyFromBytes(received, count);

    // What the program must keep: the first bytes of the buffer, never more than counted,
    // than one reply holds or than there are, cut at the first NUL.
    std::size_t length = count < 0 ? 0 : static_cast<std::size_t>(count);
    if (length > kMaxReplyLength) length = kMaxReplyLength;
    if (length > received.size()) length = received.size();
    std::string_view expected = received.substr(0, length);
    expected = expected.substr(0, expected.find('\0'));
    if (reply != expected) std::abort();
    if (reply.size() > kMaxReplyLength || reply.find('\0') != std::string::npos) std::abort();
    return 0;
}
