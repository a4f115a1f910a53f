#include "platform/speech/file_stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/speech/text_codec.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_file.h"

namespace lexavo::sp {
namespace {

using test::TempDir;

const AudioFormat kFormat{22050, 1, 16};

class FileStream : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        wfx_ = NewWaveFormat(kFormat);
    }
    void TearDown() override {
        CoTaskMemFree(wfx_);
        CoUninitialize();
    }

    ComPtr<ISpStream> NewStream() {
        ComPtr<ISpStream> s;
        EXPECT_EQ(CoCreateInstance(CLSID_SpStream, nullptr, 7, IID_ISpStream, reinterpret_cast<void**>(s.Put())), S_OK);
        return s;
    }
    HRESULT Bind(ISpStream* s, const std::string& path) {
        return s->BindToFile(Utf8ToUtf16(path).c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, wfx_, SPFEI_ALL_EVENTS);
    }

    WAVEFORMATEX* wfx_ = nullptr;
};

TEST_F(FileStream, WritesAValidWaveFileCompleteAtTheLastRelease) {
    TempDir dir;
    const std::string path = dir.File("声音.wav");
    auto stream = NewStream();
    ASSERT_EQ(Bind(stream.Get(), path), S_OK);
    ComPtr<IAudioSink> sink = stream.As<IAudioSink>(IID_IAudioSink);
    std::vector<std::int16_t> samples(100000);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>((i % 100) * 300 - 15000);
    ASSERT_EQ(sink->BeginUtterance(), S_OK);
    ASSERT_EQ(sink->Write(samples.data(), samples.size()), S_OK);
    GUID id;
    WAVEFORMATEX* reported = nullptr;
    ASSERT_EQ(stream->GetFormat(&id, &reported), S_OK);
    EXPECT_EQ(id, SPDFID_WaveFormatEx);
    EXPECT_EQ(reported->nSamplesPerSec, 22050u);
    EXPECT_EQ(reported->nBlockAlign, 2);
    CoTaskMemFree(reported);
    sink.Reset();
    stream.Reset();

    const auto wav = test::ReadWav(path);
    ASSERT_TRUE(wav.valid) << wav.error;
    EXPECT_EQ(wav.sampleRate, 22050u);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.samples, samples);
}

TEST_F(FileStream, ReplacesAnExistingFile) {
    TempDir dir;
    const std::string path = dir.Write("old.wav", std::string(500000, 'x'));
    auto stream = NewStream();
    ASSERT_EQ(Bind(stream.Get(), path), S_OK);
    stream.Reset();
    const auto wav = test::ReadWav(path);
    ASSERT_TRUE(wav.valid) << wav.error;
    EXPECT_EQ(wav.fileSize, 44u);
}

TEST_F(FileStream, BindingFailuresLeaveNoFileAndTouchNothing) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    const std::string readOnly = dir.Write("readonly.wav", "keep me");
    ::chmod(readOnly.c_str(), 0444);
    const struct {
        const char* name;
        std::string path;
        HRESULT expected;
    } cases[] = {
        {"missing folder", dir.File("missing/x.wav"), ToHresult(Status::FileNotFound)},
        {"a folder", dir.File("folder"), E_ACCESSDENIED},
        {"read-only file", readOnly, E_ACCESSDENIED},
        {"empty path", "", ToHresult(Status::InvalidName)},
    };
    for (const auto& c : cases) {
        auto stream = NewStream();
        EXPECT_EQ(Bind(stream.Get(), c.path), c.expected) << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder")));
    std::ifstream in(readOnly);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");
}

TEST_F(FileStream, RefusesFormatsItCannotWrite) {
    TempDir dir;
    auto stream = NewStream();
    WAVEFORMATEX eightBit = *wfx_;
    eightBit.wBitsPerSample = 8;
    eightBit.nBlockAlign = 1;
    const std::u16string path = Utf8ToUtf16(dir.File("x.wav"));
    EXPECT_EQ(stream->BindToFile(path.c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &eightBit, 0),
              SPERR_UNSUPPORTED_FORMAT);
    EXPECT_EQ(stream->BindToFile(path.c_str(), SPFM_CREATE_ALWAYS, &SPDFID_Text, wfx_, 0), SPERR_UNSUPPORTED_FORMAT);
    EXPECT_EQ(stream->BindToFile(path.c_str(), SPFM_OPEN_READONLY, &SPDFID_WaveFormatEx, wfx_, 0), E_INVALIDARG);
    EXPECT_EQ(stream->BindToFile(nullptr, SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, wfx_, 0), E_POINTER);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));
    ASSERT_EQ(stream->BindToFile(path.c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, wfx_, 0), S_OK);
    EXPECT_EQ(stream->BindToFile(path.c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, wfx_, 0),
              SPERR_ALREADY_INITIALIZED);
}

}  // namespace
}  // namespace lexavo::sp
