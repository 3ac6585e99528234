// A link to a primary address on the first board of the GPIB library (platform/gpib): the
// device descriptor registered under the instrument prefix "v212", END with the last byte
// written, 10 s time-out (ibtmo 13), the address set with ibpad, and a 0.1 s wait before
// the first read of each open. Every byte the decade sends is stored, line ends included.
#pragma once

#include <memory>
#include <string>

#include "link/transport.h"

namespace links {

// What the open obtained, under the names the panel reads them by (gpibDevice,
// firstReadDone).
struct GpibRecord {
    int address = 0;
    int device = -1;        // the descriptor; negative when none was obtained, kept by a close
    int firstReadDone = 0;  // 1 once the wait before the first read has been spent
};

class GpibTransport final : public Transport {
  public:
    explicit GpibTransport(const GpibDevice& device);
    // Over a descriptor the caller obtained itself (with OpenDev under the same prefix).
    static std::unique_ptr<GpibTransport> Adopting(const GpibDevice& address, int device);

    GpibRecord& record() { return record_; }

    std::string Describe() const override;
    bool Open(std::string& reason) override;
    bool Usable() const override { return record_.device > 0; }
    void EmptyInput() override {}  // a new message clears what the device had to say
    bool Write(std::string_view line, std::string_view command, ExchangeResult& failure) override;
    ReplyRead ReadLine(std::string_view command) override;
    void Close() override;
    void Release() override;
    bool Lost() const override { return false; }
    std::string LostReason() const override { return {}; }
    bool WatchWhileIdle(std::function<void()>) override { return false; }
    bool SwitchesRemote() const override { return true; }
    bool MarksReplyEnd() const override { return true; }

  private:
    ExchangeResult Failure(int status, const char* call, std::string_view command) const;

    GpibRecord record_;
};

}  // namespace links
