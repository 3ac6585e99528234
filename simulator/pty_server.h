// The pseudo-terminal front end: one decade behind a pty, served on a background thread.
// The serial layer opens the slave side like any serial port; the server answers each line
// as soon as its line feed has arrived.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simulator/config.h"
#include "simulator/device.h"

namespace sim {

class PtyServer {
  public:
    explicit PtyServer(Config config);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pty (raw mode) and starts the thread. False when the pty cannot be made.
    bool Start();
    // Stops the thread, closes the pty and removes the link. Safe to call twice.
    void Stop();

    std::string SlavePath() const { return slavePath_; }
    // Makes linkPath a symbolic link to the slave (replacing an older link there);
    // the link is removed by Stop.
    bool LinkAs(const std::string& linkPath);

    std::vector<Record> Transcript() const;
    std::vector<std::string> Lines() const;  // received lines without line ends
    void ClearTranscript();
    // Waits until at least count lines are in the transcript; false on time-out.
    bool WaitForLines(std::size_t count, int timeoutMs) const;
    // True once the link was dropped by --drop-after.
    bool Dropped() const { return dropped_; }
    // The bytes --flood-after has sent so far.
    long long FloodBytes() const { return floodBytes_; }

    // Runs fn with the engine under the server's lock, to read or change the state.
    template <typename Fn>
    auto WithEngine(Fn&& fn) {
        std::lock_guard lock(mutex_);
        return fn(device_.engine());
    }

  private:
    void Run();
    void HandleLine(const std::string& line, bool* stop);
    bool WriteAll(const std::string& bytes);
    void Flood();        // writes one chunk of --flood-after lines
    bool Pause(int ms);  // false when Stop interrupted the wait
    void Hangup();

    mutable std::mutex mutex_;
    mutable std::condition_variable linesChanged_;
    Device device_;
    int master_ = -1;
    int slave_ = -1;  // kept open so the master never sees EIO while no client is open
    int wake_[2] = {-1, -1};
    std::string slavePath_;
    std::vector<std::string> links_;
    std::thread thread_;
    std::atomic<bool> dropped_{false};
    std::atomic<long long> floodBytes_{0};
    bool started_ = false;
};

}  // namespace sim
