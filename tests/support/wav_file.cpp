#include "tests/support/wav_file.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace lexavo::test {
namespace {
std::uint32_t Le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace

WavFile ReadWav(const std::string& path) {
    WavFile w;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        w.error = "cannot open " + path;
        return w;
    }
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    w.fileSize = b.size();
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        w.error = "not a RIFF/WAVE file";
        return w;
    }
    w.riffSize = Le32(&b[4]);
    if (w.riffSize + 8ull != b.size()) {
        w.error = "RIFF size does not match the file";
        return w;
    }
    std::size_t pos = 12;
    bool haveFormat = false;
    while (pos + 8 <= b.size()) {
        const std::uint32_t size = Le32(&b[pos + 4]);
        if (pos + 8 + size > b.size()) {
            w.error = "chunk runs past the end";
            return w;
        }
        if (std::memcmp(&b[pos], "fmt ", 4) == 0 && size >= 16) {
            w.formatTag = Le16(&b[pos + 8]);
            w.channels = Le16(&b[pos + 10]);
            w.sampleRate = Le32(&b[pos + 12]);
            w.bitsPerSample = Le16(&b[pos + 22]);
            haveFormat = true;
        } else if (std::memcmp(&b[pos], "data", 4) == 0) {
            w.dataSize = size;
            w.samples.resize(size / 2);
            if (!w.samples.empty()) std::memcpy(w.samples.data(), &b[pos + 8], w.samples.size() * 2);
        }
        pos += 8 + size + (size & 1);
    }
    if (!haveFormat || w.formatTag != 1 || w.bitsPerSample != 16) {
        w.error = "not 16-bit PCM";
        return w;
    }
    w.valid = true;
    return w;
}

double Rms(const std::vector<std::int16_t>& s, std::size_t from, std::size_t count) {
    if (from >= s.size()) return 0;
    const std::size_t end = count > s.size() - from ? s.size() : from + count;
    double sum = 0;
    for (std::size_t i = from; i < end; ++i) sum += double(s[i]) * s[i];
    return end > from ? std::sqrt(sum / double(end - from)) : 0;
}

double VoicedSeconds(const std::vector<std::int16_t>& s, std::uint32_t rate, double threshold) {
    const std::size_t window = rate / 100;
    if (window == 0) return 0;
    std::size_t voiced = 0;
    for (std::size_t i = 0; i + window <= s.size(); i += window)
        if (Rms(s, i, window) > threshold) ++voiced;
    return voiced * 0.01;
}

}  // namespace lexavo::test
