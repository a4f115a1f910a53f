// Reads a RIFF/WAVE file of 16-bit PCM and measures its signal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lexavo::test {

struct WavFile {
    bool valid = false;
    std::string error;
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint32_t riffSize = 0;  // as stated in the header
    std::uint32_t dataSize = 0;  // as stated in the header
    std::uint64_t fileSize = 0;
    std::vector<std::int16_t> samples;

    double Seconds() const {
        return sampleRate && channels ? static_cast<double>(samples.size()) / channels / sampleRate : 0.0;
    }
};

// Checks the header against the file: sizes must agree with the bytes present.
WavFile ReadWav(const std::string& path);

// Root mean square of the samples, 0..32768.
double Rms(const std::vector<std::int16_t>& samples, std::size_t from = 0, std::size_t count = SIZE_MAX);
// Seconds of audio whose 10 ms windows rise above `threshold` RMS.
double VoicedSeconds(const std::vector<std::int16_t>& samples, std::uint32_t sampleRate, double threshold = 300);

}  // namespace lexavo::test
