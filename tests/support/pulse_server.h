// A private PulseAudio daemon with a null sink, for tests that play real audio, and a
// recorder of the sink's monitor. The daemon stops when the object goes away.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lexavo::test {

class PulseServer {
public:
    // Starts the daemon and points PULSE_SERVER at it. Ready() tells whether it came up.
    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Error() const { return error_; }
    const std::string& ServerAddress() const { return address_; }
    // Stops the daemon where it stands (SIGSTOP), as a hung server would, and lets it go on.
    void Freeze();
    void Thaw();

private:
    std::string dir_;
    std::string address_;
    std::string error_;
    int pid_ = -1;
    bool ready_ = false;
};

// Records the null sink's monitor as 16-bit mono at 22050 Hz while it exists.
class MonitorRecorder {
public:
    static constexpr std::uint32_t kRate = 22050;
    explicit MonitorRecorder(const std::string& server);
    ~MonitorRecorder();
    bool Ready() const { return ready_; }
    // The sink's monitor delivers its first audio some time after recording starts; timing
    // measured before that is meaningless. False when nothing came within `timeoutMs`.
    bool WaitUntilFlowing(int timeoutMs = 10000);
    // Samples recorded so far.
    std::vector<std::int16_t> Samples();
    std::size_t Count();
    // RMS of the last `ms` milliseconds recorded.
    double RecentRms(int ms);

    using Clock = std::chrono::steady_clock;
    // When the first 10 ms chunk after `since` rose above `rms`, or when the first quiet
    // stretch (300 ms below `rms`) after `since` began; Clock::time_point{} when not yet.
    Clock::time_point FirstLoud(Clock::time_point since, double rms = 300);
    Clock::time_point FirstQuiet(Clock::time_point since, double rms = 30);
    // When the last chunk above `rms` arrived.
    Clock::time_point LastLoud(double rms = 300);

private:
    void Run();
    std::string server_;
    void* simple_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ready_{false};
    std::mutex mutex_;
    std::vector<std::int16_t> samples_;
    struct Chunk {
        Clock::time_point at;
        double rms;
    };
    std::vector<Chunk> chunks_;
    std::thread thread_;
};

}  // namespace lexavo::test
