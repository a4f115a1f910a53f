#include "platform/speech/text_pieces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lexavo::sp {
namespace {

using Pieces = std::vector<std::string>;

Pieces Cut(std::string_view text, std::size_t first, std::size_t rest) {
    Pieces out;
    for (auto p : CutIntoPieces(text, first, rest)) out.emplace_back(p);
    return out;
}

TEST(TextPieces, CutsAtSentenceEndsThenClauseMarksNeverInsideACharacterOrANumber) {
    const struct {
        const char* name;
        std::string text;
        std::size_t first, rest;
        Pieces expected;
    } cases[] = {
        {"empty", "", 90, 300, {}},
        {"short text is one piece", "你好", 90, 300, {"你好"}},
        {"first piece ends at its first sentence", "今天，天气很好。我们去公园。", 90, 300, {"今天，天气很好。", "我们去公园。"}},
        {"a long first sentence ends at a clause", "今天，天气很好。", 12, 300, {"今天，", "天气很好。"}},
        {"a short text with clauses is one piece", "今天，天气很好", 90, 300, {"今天，天气很好"}},
        {"sentences fill a piece", "一二。三四。五六。", 3, 15, {"一", "二。三四。", "五六。"}},
        {"clause mark when no sentence end fits", "一二，三四五六七八", 3, 9, {"一", "二，", "三四五", "六七八"}},
        {"ASCII marks before a space", "One. Two, three. Four", 90, 10, {"One.", " Two,", " three.", " Four"}},
        {"a comma only when no sentence end fits", "A, b. C, d.", 90, 300, {"A, b.", " C, d."}},
        {"numbers stay whole", "Pi is 3.14, or 1,000 over 318.3 nearly", 9, 300, {"Pi is 3.1", "4, or 1,000 over 318.3 nearly"}},
        {"line breaks end sentences", "一\n二\n", 90, 300, {"一\n", "二\n"}},
        {"a limit below one character", "一二三", 2, 2, {"一", "二", "三"}},
    };
    for (const auto& c : cases) {
        const Pieces got = Cut(c.text, c.first, c.rest);
        EXPECT_EQ(got, c.expected) << c.name;
        std::string joined;
        for (const auto& p : got) joined += p;
        EXPECT_EQ(joined, c.text) << c.name;
    }
}

}  // namespace
}  // namespace lexavo::sp
