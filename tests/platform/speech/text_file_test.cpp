#include "platform/speech/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "tests/support/temp_dir.h"

namespace lexavo::sp {
namespace {

// Files named for reading aloud: what is read, and what is refused without waiting or
// reading more than the bound.
TEST(TextFile, RegularFilesAreReadAndEverythingElseIsRefusedPromptly) {
    test::TempDir dir;
    const struct {
        const char* name;
        std::function<std::string()> make;  // the path to read
        std::size_t maxBytes;
        HRESULT expected;
        std::string text;
    } cases[] = {
        {"plain UTF-8", [&] { return dir.Write("a.txt", "你好"); }, kMaxTextFileBytes, S_OK, "你好"},
        {"byte-order mark dropped", [&] { return dir.Write("b.txt", "\xEF\xBB\xBFok"); }, kMaxTextFileBytes, S_OK, "ok"},
        {"invalid bytes", [&] { return dir.Write("c.txt", "a\xFF" "b"); }, kMaxTextFileBytes, S_OK, "a\xEF\xBF\xBD" "b"},
        {"exactly the bound", [&] { return dir.Write("d.txt", "12345"); }, 5, S_OK, "12345"},
        {"over the bound", [&] { return dir.Write("e.txt", "123456"); }, 5, ToHresult(Status::TextFileTooLarge), ""},
        // /proc files say they are empty: the bound holds while reading.
        {"size that lies", [] { return std::string("/proc/self/maps"); }, 16, ToHresult(Status::TextFileTooLarge), ""},
        {"missing", [&] { return dir.File("none.txt"); }, kMaxTextFileBytes, ToHresult(Status::FileNotFound), ""},
        {"folder", [&] { return dir.Path(); }, kMaxTextFileBytes, ToHresult(Status::IsAFolder), ""},
        // A pipe with no writer would block a plain open forever.
        {"pipe", [&] { const auto p = dir.File("fifo"); ::mkfifo(p.c_str(), 0644); return p; }, kMaxTextFileBytes,
         ToHresult(Status::NotARegularFile), ""},
        {"device", [] { return std::string("/dev/zero"); }, kMaxTextFileBytes, ToHresult(Status::NotARegularFile), ""},
    };
    for (const auto& c : cases) {
        std::string text = "stale";
        EXPECT_EQ(ReadTextFile(c.make(), &text, c.maxBytes), c.expected) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
}

}  // namespace
}  // namespace lexavo::sp
