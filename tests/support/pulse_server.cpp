#include "tests/support/pulse_server.h"

#include <pulse/error.h>
#include <pulse/simple.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/support/child_process.h"
#include "tests/support/wav_file.h"

extern char** environ;

namespace lexavo::test {
namespace {

bool ServerAnswers(const std::string& address) {
    pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, 22050, 1};
    int err = 0;
    pa_simple* s = pa_simple_new(address.c_str(), "probe", PA_STREAM_PLAYBACK, nullptr, "probe", &sampleSpec, nullptr, nullptr, &err);
    if (!s) return false;
    pa_simple_free(s);
    return true;
}

}  // namespace

PulseServer::PulseServer() {
    char templ[] = "/tmp/lexavo-pulse-XXXXXX";
    if (!::mkdtemp(templ)) {
        error_ = "mkdtemp failed";
        return;
    }
    dir_ = templ;
    const std::string socket = dir_ + "/native";
    address_ = "unix:" + socket;
    const std::string protocol = "module-native-protocol-unix socket=" + socket + " auth-anonymous=1";
    const std::string sink = "module-null-sink sink_name=lexavo_null rate=22050 channels=1";
    std::vector<std::string> args = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                     "--disable-shm=yes", "--log-target=file:" + dir_ + "/log",
                                     "-L", protocol, "-L", sink};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The daemon keeps its runtime files in the private folder.
    ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    ::setenv("PULSE_RUNTIME_PATH", dir_.c_str(), 1);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "pulseaudio", nullptr, nullptr, argv.data(), environ) != 0) {
        error_ = "pulseaudio could not be started (is it installed?)";
        return;
    }
    pid_ = pid;
    ::setenv("PULSE_SERVER", address_.c_str(), 1);
    for (int i = 0; i < 200; ++i) {
        if (ServerAnswers(address_)) {
            ready_ = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    error_ = "pulseaudio did not answer";
}

void PulseServer::Freeze() {
    if (pid_ > 0) ::kill(pid_, SIGSTOP);
}

void PulseServer::Thaw() {
    if (pid_ > 0) ::kill(pid_, SIGCONT);
}

PulseServer::~PulseServer() {
    Thaw();  // a stopped daemon would not end
    StopChild(pid_);
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

MonitorRecorder::MonitorRecorder(const std::string& server) : server_(server) {
    pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, kRate, 1};
    pa_buffer_attr attr{static_cast<std::uint32_t>(-1), static_cast<std::uint32_t>(-1), static_cast<std::uint32_t>(-1),
                        static_cast<std::uint32_t>(-1), kRate / 100 * 2};  // 10 ms fragments, whole frames
    int err = 0;
    simple_ = pa_simple_new(server_.c_str(), "recorder", PA_STREAM_RECORD, "lexavo_null.monitor", "monitor", &sampleSpec,
                            nullptr, &attr, &err);
    if (!simple_) return;
    ready_ = true;
    thread_ = std::thread([this] { Run(); });
}

MonitorRecorder::~MonitorRecorder() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (simple_) pa_simple_free(static_cast<pa_simple*>(simple_));
}

void MonitorRecorder::Run() {
    std::int16_t buf[kRate / 100];
    while (!stop_) {
        int err = 0;
        if (pa_simple_read(static_cast<pa_simple*>(simple_), buf, sizeof buf, &err) < 0) break;
        const std::vector<std::int16_t> chunk(buf, buf + kRate / 100);
        const double rms = Rms(chunk);
        std::lock_guard lock(mutex_);
        samples_.insert(samples_.end(), chunk.begin(), chunk.end());
        chunks_.push_back({Clock::now(), rms});
    }
}

bool MonitorRecorder::WaitUntilFlowing(int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (Count() > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::vector<std::int16_t> MonitorRecorder::Samples() {
    std::lock_guard lock(mutex_);
    return samples_;
}

std::size_t MonitorRecorder::Count() {
    std::lock_guard lock(mutex_);
    return samples_.size();
}

double MonitorRecorder::RecentRms(int ms) {
    std::lock_guard lock(mutex_);
    const std::size_t n = kRate * static_cast<std::size_t>(ms) / 1000;
    const std::size_t from = samples_.size() > n ? samples_.size() - n : 0;
    return Rms(samples_, from, n);
}

}  // namespace lexavo::test

namespace lexavo::test {

MonitorRecorder::Clock::time_point MonitorRecorder::FirstLoud(Clock::time_point since, double rms) {
    std::lock_guard lock(mutex_);
    for (const auto& c : chunks_)
        if (c.at >= since && c.rms > rms) return c.at;
    return {};
}

MonitorRecorder::Clock::time_point MonitorRecorder::FirstQuiet(Clock::time_point since, double rms) {
    // The start of a quiet stretch that lasts (a pause between words does not).
    constexpr auto kHold = std::chrono::milliseconds(300);
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        if (chunks_[i].at < since || chunks_[i].rms >= rms) continue;
        std::size_t j = i;
        while (j < chunks_.size() && chunks_[j].rms < rms && chunks_[j].at - chunks_[i].at < kHold) ++j;
        if (j < chunks_.size() && chunks_[j].rms < rms) return chunks_[i].at;
        if (j == chunks_.size()) return {};  // not known yet
    }
    return {};
}

MonitorRecorder::Clock::time_point MonitorRecorder::LastLoud(double rms) {
    std::lock_guard lock(mutex_);
    for (auto it = chunks_.rbegin(); it != chunks_.rend(); ++it)
        if (it->rms > rms) return it->at;
    return {};
}

}  // namespace lexavo::test
