#include "platform/speech/text_codec.h"

#include <gtest/gtest.h>

namespace lexavo::sp {
namespace {

struct Utf8Case {
    const char* name;
    std::string bytes;
    std::u16string wide;
};

TEST(TextCodec, Utf8ToUtf16ReplacesInvalidSequences) {
    const Utf8Case cases[] = {
        {"ascii", "abc", u"abc"},
        {"chinese", "中文", u"中文"},
        {"four byte", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
        {"truncated at end", "a\xE4\xB8", u"a\uFFFD"},
        {"truncated before ascii", "\xE4\xB8z", u"\uFFFDz"},
        {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"invalid lead byte", "\xFF", u"\uFFFD"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.bytes), c.wide) << c.name;
}

TEST(TextCodec, Utf16ToUtf8TurnsLoneSurrogatesIntoQuestionMarks) {
    EXPECT_EQ(Utf16ToUtf8(u"中文 ok"), "中文 ok");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(Utf16ToUtf8(lone), "a?b?");
}

TEST(TextCodec, CharBoundaryNeverSplitsASequence) {
    const std::string text = "a中b";  // 'a', three bytes, 'b'
    EXPECT_EQ(Utf8CharBoundary(text, 0), 0u);
    EXPECT_EQ(Utf8CharBoundary(text, 1), 1u);
    EXPECT_EQ(Utf8CharBoundary(text, 2), 1u);
    EXPECT_EQ(Utf8CharBoundary(text, 3), 1u);
    EXPECT_EQ(Utf8CharBoundary(text, 4), 4u);
    EXPECT_EQ(Utf8CharBoundary(text, 99), text.size());
}

}  // namespace
}  // namespace lexavo::sp
