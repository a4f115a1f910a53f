#include "platform/speech/settings.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace lexavo::sp {
namespace {

std::mutex g_mutex;
std::optional<PlatformSettings> g_override;

}  // namespace

std::string ProgramFolder() {
    std::vector<char> buf(PATH_MAX + 1);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return ".";
        if (static_cast<std::size_t>(n) < buf.size()) return FolderOf(std::string(buf.data(), static_cast<std::size_t>(n)));
        buf.resize(buf.size() * 2);
    }
}

std::string FolderOf(const std::string& filePath) {
    const auto slash = filePath.rfind('/');
    return slash == std::string::npos ? std::string(".") : filePath.substr(0, slash);
}

PlatformSettings CurrentPlatformSettings() {
    {
        std::lock_guard lock(g_mutex);
        if (g_override) return *g_override;
    }
    PlatformSettings s;
    s.voicesFolder = ProgramFolder() + "/voices";
    if (const char* v = std::getenv("LEXAVO_VOICES"); v && *v) s.voicesFolder = v;
    if (const char* d = std::getenv("LEXAVO_ENGINE_DATA"); d && *d) s.engineDataPath = d;
    return s;
}

void SetPlatformSettings(std::optional<PlatformSettings> settings) {
    std::lock_guard lock(g_mutex);
    g_override = std::move(settings);
}

}  // namespace lexavo::sp
