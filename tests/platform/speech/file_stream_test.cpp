#include "platform/speech/file_stream.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/speech/text_codec.h"
#include "platform/speech/wave_file_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_file.h"

namespace lexavo::sp {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const AudioFormat kFormat{22050, 1, 16};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The names in `dir` that are temporary files of a writer.
std::vector<std::string> Temporaries(const std::string& dir) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
        if (ReplacingFile::IsTemporaryName(e.path().filename().string())) found.push_back(e.path().filename());
    return found;
}

std::vector<std::int16_t> Tone(std::size_t n) {
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i) samples[i] = static_cast<std::int16_t>((i % 100) * 300 - 15000);
    return samples;
}

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
    HRESULT Bind(ISpStream* s, const std::u16string& path) {
        return s->BindToFile(path.c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, wfx_, SPFEI_ALL_EVENTS);
    }
    HRESULT Bind(ISpStream* s, const std::string& path) { return Bind(s, Utf8ToUtf16(path)); }

    WAVEFORMATEX* wfx_ = nullptr;
};

TEST_F(FileStream, TheFileTakesThePathOnlyAtCloseAndHoldsExactlyWhatWasWritten) {
    TempDir dir;
    const std::string path = dir.File("声音.wav");
    auto stream = NewStream();
    ASSERT_EQ(Bind(stream.Get(), path), S_OK);
    ComPtr<IAudioSink> sink = stream.As<IAudioSink>(IID_IAudioSink);
    const auto samples = Tone(100000);
    ASSERT_EQ(sink->BeginUtterance(), S_OK);
    ASSERT_EQ(sink->Write(samples.data(), samples.size()), S_OK);
    ASSERT_EQ(sink->EndUtterance(false), S_OK);
    GUID id;
    WAVEFORMATEX* reported = nullptr;
    ASSERT_EQ(stream->GetFormat(&id, &reported), S_OK);
    EXPECT_EQ(id, SPDFID_WaveFormatEx);
    EXPECT_EQ(reported->nSamplesPerSec, 22050u);
    EXPECT_EQ(reported->nBlockAlign, 2);
    CoTaskMemFree(reported);
    EXPECT_FALSE(fs::exists(path)) << "nothing is at the path while the file is written";
    EXPECT_EQ(Temporaries(dir.Path()).size(), 1u);

    EXPECT_EQ(stream->Close(), S_OK);
    EXPECT_EQ(stream->Close(), SPERR_UNINITIALIZED);
    EXPECT_EQ(sink->Write(samples.data(), 1), SPERR_UNINITIALIZED);
    const auto wav = test::ReadWav(path);
    ASSERT_TRUE(wav.valid) << wav.error;
    EXPECT_EQ(wav.sampleRate, 22050u);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.samples, samples);
    EXPECT_TRUE(Temporaries(dir.Path()).empty());
}

// Every way a file can be asked for, and what is at the path afterwards.
TEST_F(FileStream, ThePathHoldsTheOldFileOrTheCompleteNewOneAndNothingIsLeftBehind) {
    enum Outcome { kNewWave, kOld, kAbsent };
    const auto samples = Tone(5000);
    const struct {
        const char* name;
        std::function<void(const TempDir&, const std::string& path)> setUp;
        HRESULT bind;
        bool close;  // whether the written file is closed (else released unclosed)
        Outcome outcome;
    } cases[] = {
        {"new file", [](auto&, auto&) {}, S_OK, true, kNewWave},
        {"existing file replaced", [](auto& d, auto&) { d.Write("t.wav", "old"); }, S_OK, true, kNewWave},
        {"released without Close", [](auto& d, auto&) { d.Write("t.wav", "old"); }, S_OK, false, kOld},
        {"new file released without Close", [](auto&, auto&) {}, S_OK, false, kAbsent},
        {"a folder", [](auto&, auto& p) { fs::create_directory(p); }, ToHresult(Status::IsAFolder), false, kOld},
        {"a FIFO", [](auto&, auto& p) { ::mkfifo(p.c_str(), 0644); }, ToHresult(Status::NotARegularFile), false, kOld},
        {"a link to a device", [](auto&, auto& p) { fs::create_symlink("/dev/null", p); },
         ToHresult(Status::NotARegularFile), false, kOld},
        {"a dangling link", [](auto& d, auto& p) { fs::create_symlink(d.File("nowhere.wav"), p); },
         ToHresult(Status::DanglingLink), false, kOld},
        {"read-only file", [](auto& d, auto& p) { d.Write("t.wav", "old"); ::chmod(p.c_str(), 0444); },
         ToHresult(Status::ReadOnlyFile), false, kOld},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.File("t.wav");
        c.setUp(dir, path);
        const bool existed = fs::exists(fs::symlink_status(path));
        const auto statusBefore = fs::symlink_status(path).type();
        const std::string before = fs::is_regular_file(fs::symlink_status(path)) ? ReadAll(path) : "";

        auto stream = NewStream();
        ASSERT_EQ(Bind(stream.Get(), path), c.bind) << c.name;
        if (SUCCEEDED(c.bind)) {
            ComPtr<IAudioSink> sink = stream.As<IAudioSink>(IID_IAudioSink);
            ASSERT_EQ(sink->Write(samples.data(), samples.size()), S_OK) << c.name;
            if (c.close) {
                EXPECT_EQ(stream->Close(), S_OK) << c.name;
            }
        }
        stream.Reset();

        switch (c.outcome) {
            case kNewWave: EXPECT_EQ(test::ReadWav(path).samples, samples) << c.name; break;
            case kAbsent: EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << c.name; break;
            case kOld:
                EXPECT_EQ(fs::exists(fs::symlink_status(path)), existed) << c.name;
                EXPECT_EQ(fs::symlink_status(path).type(), statusBefore) << c.name;
                if (!before.empty()) {
                    EXPECT_EQ(ReadAll(path), before) << c.name;
                }
                break;
        }
        EXPECT_TRUE(Temporaries(dir.Path()).empty()) << c.name;
    }
}

TEST_F(FileStream, PathsThatCannotBeBoundAreRefusedAndNothingIsCreated) {
    TempDir dir;
    const std::u16string loneSurrogate = Utf8ToUtf16(dir.File("a")) + u'\xD800' + u".wav";
    const struct {
        const char* name;
        std::u16string path;
        HRESULT expected;
    } cases[] = {
        {"missing folder", Utf8ToUtf16(dir.File("missing/x.wav")), ToHresult(Status::PathNotFound)},
        {"a file as the folder", Utf8ToUtf16(dir.Write("plain", "x") + "/x.wav"), ToHresult(Status::PathNotFound)},
        {"empty path", u"", ToHresult(Status::InvalidName)},
        // Converting would give "a?.wav": another name, never written.
        {"not convertible", loneSurrogate, ToHresult(Status::InvalidName)},
    };
    for (const auto& c : cases) {
        auto stream = NewStream();
        EXPECT_EQ(Bind(stream.Get(), c.path), c.expected) << c.name;
    }
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.Path())) left.push_back(e.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"plain"});
}

TEST_F(FileStream, ALinkKeepsPointingAtTheReplacedFileWhosePermissionsStay) {
    TempDir dir;
    fs::create_directory(dir.File("real"));
    const std::string real = dir.Write("real/t.wav", "old");
    ::chmod(real.c_str(), 0640);
    const std::string link = dir.File("link.wav");
    fs::create_symlink(real, link);
    auto stream = NewStream();
    ASSERT_EQ(Bind(stream.Get(), link), S_OK);
    EXPECT_EQ(Temporaries(dir.File("real")).size(), 1u) << "written beside the file the link names";
    EXPECT_EQ(stream->Close(), S_OK);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(test::ReadWav(real).valid);
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(FileStream, TemporaryFilesOfWritersThatAreGoneAreSweptAndNothingElse) {
    TempDir dir;
    const std::string abandoned = dir.Write(".x.wav.k3j2h1g0.lexavo-part", "half a file");
    const std::string user = dir.Write(".notes.lexavo-partial", "mine");
    const std::string live = dir.Write(".y.wav.a1b2c3d4.lexavo-part", "being written");
    const int liveFd = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(liveFd, LOCK_EX), 0);  // a writer at work holds its lock

    auto stream = NewStream();
    ASSERT_EQ(Bind(stream.Get(), dir.File("new.wav")), S_OK);
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(user));
    EXPECT_TRUE(fs::exists(live));
    ::close(liveFd);
    EXPECT_EQ(stream->Close(), S_OK);
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
    ASSERT_EQ(stream->BindToFile(path.c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, wfx_, 0), S_OK);
    EXPECT_EQ(stream->BindToFile(path.c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, wfx_, 0),
              SPERR_ALREADY_INITIALIZED);
    stream.Reset();
    EXPECT_FALSE(fs::exists(dir.File("x.wav")));
}

// A RIFF file counts its bytes in 32 bits: audio past that fails the file instead of
// writing a header that lies. The limit is injected so that no 4 GiB are written.
TEST(WaveFileWriter, AudioPastTheSizeAWaveFileCanCountFailsAndLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir.Write("long.wav", "old");
    WaveFileWriter writer(1000);
    ASSERT_EQ(writer.Create(path, true, kFormat), S_OK);
    const auto samples = Tone(500);
    EXPECT_EQ(writer.Write(samples.data(), 400), S_OK);
    EXPECT_EQ(writer.Write(samples.data(), 100), S_OK) << "exactly at the limit";
    EXPECT_EQ(writer.Write(samples.data(), 1), ToHresult(Status::WaveTooLong));
    EXPECT_EQ(writer.Finish(), ToHresult(Status::WaveTooLong));
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_TRUE(Temporaries(dir.Path()).empty());
    EXPECT_EQ(kWaveMaxDataBytes, 0xFFFFFFFFull - 36);
}

}  // namespace
}  // namespace lexavo::sp
