#include "link/link_address.h"

#include <array>
#include <charconv>
#include <vector>

#include "platform/rs232.h"
#include "platform/text.h"

namespace links {

namespace {

using Parsed = std::optional<LinkAddress>;

Parsed Refuse(std::string* reason, std::string why) {
    if (reason != nullptr) *reason = std::move(why);
    return std::nullopt;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text::CompareBytes(text, prefix, prefix.size()) == 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && text::CompareBytes(a, b, a.size()) == 0;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A whole decimal number of at most nine digits (leading zeros allowed, no sign, no
// blank); nothing for anything else.
std::optional<int> Decimal(std::string_view digits) {
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    for (const char c : digits) {
        if (!IsDigit(c)) return std::nullopt;
    }
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

Parsed Com(std::string_view number, std::string_view whole, std::string* reason) {
    const std::optional<int> n = Decimal(number);
    if (!n) return Refuse(reason, Quoted(whole) + " is no COM port (COM1 to COM256)");
    if (*n < kFirstComPort || *n > kLastComPort) {
        return Refuse(reason, "COM" + std::to_string(*n) + " is out of range (COM1 to COM256)");
    }
    return ComPort{*n};
}

Parsed Gpib(std::string_view number, std::string_view whole, std::string* reason) {
    const std::optional<int> n = Decimal(number);
    if (!n) return Refuse(reason, Quoted(whole) + " is no GPIB address (gpib:0 to gpib:30)");
    if (*n > kLastGpibAddress) {
        return Refuse(reason,
                      "GPIB address " + std::to_string(*n) + " is out of range (0 to 30)");
    }
    return GpibDevice{*n};
}

// Kinds of link that have a text form but no transport in this program yet.
constexpr std::array<std::string_view, 3> kNetworkSchemes{"tcp:", "rfc2217:", "TCPIP"};

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (std::size_t at = text.find("::"); at != std::string_view::npos; at = text.find("::")) {
        fields.push_back(text.substr(0, at));
        text.remove_prefix(at + 2);
    }
    fields.push_back(text);
    return fields;
}

// ASRL<board>[::INSTR], GPIB[board]::<primary>[::INSTR].
Parsed Visa(std::string_view text, std::string* reason) {
    std::vector<std::string_view> fields = SplitFields(text);
    const std::string_view kind = fields.front();
    if (fields.size() > 1 && EqualsNoCase(fields.back(), "INSTR")) {
        fields.pop_back();
    } else if (fields.size() > 1 && fields.back().find_first_not_of("0123456789") !=
                                        std::string_view::npos) {
        return Refuse(reason, Quoted(text) + ": resource class " + std::string(fields.back()) +
                                  " is not supported (INSTR is)");
    }
    if (StartsWithNoCase(kind, "ASRL")) {
        const std::string_view board = kind.substr(4);
        if (fields.size() != 1 || board.empty() || (!IsDigit(board[0]) && board[0] != '/')) {
            return Refuse(reason, Quoted(text) +
                                      " is no serial resource (ASRL3::INSTR, "
                                      "ASRL/dev/ttyUSB0::INSTR)");
        }
        if (board[0] == '/') return SerialDevice{std::string(board)};
        return Com(board, text, reason);
    }
    if (StartsWithNoCase(kind, "GPIB")) {
        const std::string_view board = kind.substr(4);
        if (fields.size() < 2 || (!board.empty() && !Decimal(board))) {
            return Refuse(reason, Quoted(text) + " is no GPIB resource (GPIB0::5::INSTR)");
        }
        if (!board.empty() && *Decimal(board) != 0) {
            return Refuse(reason, Quoted(text) + ": GPIB board " + std::to_string(*Decimal(board)) +
                                      " is not supported (board 0 is)");
        }
        if (fields.size() > 2) {
            return Refuse(reason, Quoted(text) + ": secondary GPIB addresses are not supported");
        }
        return Gpib(fields[1], text, reason);
    }
    return Refuse(reason, Quoted(text) + ": the VISA resource type " + std::string(kind) +
                              " is not supported (ASRL and GPIB are)");
}

}  // namespace

std::optional<LinkAddress> ParseLinkAddress(std::string_view text, std::string* reason) {
    if (text.empty()) return Refuse(reason, "no link named");
    if (text::HasControlByte(text)) return Refuse(reason, "the link holds a control character");
    if (text.front() == ' ' || text.back() == ' ') {
        return Refuse(reason, Quoted(text) + " starts or ends with a blank");
    }
    for (const std::string_view scheme : kNetworkSchemes) {
        if (StartsWithNoCase(text, scheme)) {
            return Refuse(reason, Quoted(text) + ": network links are not supported by this version");
        }
    }
    if (text.front() == '/') return SerialDevice{std::string(text)};
    const bool asrl = StartsWithNoCase(text, "ASRL") && text.size() > 4 &&
                      (IsDigit(text[4]) || text[4] == '/');
    if (asrl || text.find("::") != std::string_view::npos) return Visa(text, reason);
    if (StartsWithNoCase(text, "gpib:")) {
        const std::string_view rest = text.substr(5);
        if (rest.find('@') != std::string_view::npos) {
            return Refuse(reason,
                          Quoted(text) + ": GPIB controllers are not supported by this version");
        }
        return Gpib(rest, text, reason);
    }
    if (StartsWithNoCase(text, "COM")) return Com(text.substr(3), text, reason);
    return SerialDevice{std::string(text)};  // a name the serial layer knows (ttyUSB0)
}

std::string LinkAddressText(const LinkAddress& address) {
    struct Printer {
        std::string operator()(const ComPort& p) const { return "COM" + std::to_string(p.number); }
        std::string operator()(const SerialDevice& d) const { return d.path; }
        std::string operator()(const GpibDevice& g) const {
            return "gpib:" + std::to_string(g.address);
        }
    };
    return std::visit(Printer{}, address);
}

std::string LinkName(const LinkAddress& address) {
    struct Namer {
        std::string operator()(const ComPort& p) const {
            return "COM" + std::to_string(p.number) + " (" + rs232::PortDeviceName(p.number) + ")";
        }
        std::string operator()(const SerialDevice& d) const { return d.path; }
        std::string operator()(const GpibDevice& g) const {
            return "GPIB address " + std::to_string(g.address);
        }
    };
    return std::visit(Namer{}, address);
}

}  // namespace links
