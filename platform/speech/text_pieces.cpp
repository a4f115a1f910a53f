#include "platform/speech/text_pieces.h"

#include <array>

#include "platform/speech/text_codec.h"

namespace lexavo::sp {
namespace {

enum class Mark { None, Clause, Sentence };

// The mark that ends at byte `end` (exclusive) of `text`, if any.
Mark MarkBefore(std::string_view text, std::size_t end) {
    static constexpr std::array<std::string_view, 5> kSentenceEnds = {"。", "！", "？", "…", "\n"};
    static constexpr std::array<std::string_view, 6> kClauseEnds = {"，", "；", "：", "、", "）", "」"};
    const std::string_view head = text.substr(0, end);
    for (auto m : kSentenceEnds)
        if (head.ends_with(m)) return Mark::Sentence;
    for (auto m : kClauseEnds)
        if (head.ends_with(m)) return Mark::Clause;
    // ASCII marks count only before white space (or at the end): "3.14", "1,000", "e.g.x".
    if (end == 0) return Mark::None;
    const char c = text[end - 1];
    const bool spaceAfter = end == text.size() || text[end] == ' ' || text[end] == '\t' || text[end] == '\r';
    if (!spaceAfter) return Mark::None;
    if (c == '.' || c == '!' || c == '?') return Mark::Sentence;
    if (c == ',' || c == ';' || c == ':') return Mark::Clause;
    return Mark::None;
}

}  // namespace

std::vector<std::string_view> CutIntoPieces(std::string_view text, std::size_t firstMaxBytes, std::size_t maxBytes) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        const std::size_t limit = pieces.empty() ? firstMaxBytes : maxBytes;
        if (text.size() <= limit && !pieces.empty()) {
            pieces.push_back(text);
            break;
        }
        std::size_t sentence = 0, clause = 0;
        const std::size_t scan = text.size() < limit ? text.size() : limit;
        for (std::size_t end = 1; end <= scan; ++end) {
            if ((static_cast<unsigned char>(end < text.size() ? text[end] : 0) & 0xC0) == 0x80) continue;
            const Mark m = MarkBefore(text, end);
            if (m == Mark::Sentence) sentence = end;
            if (m == Mark::Clause) clause = end;
            // The first piece is heard as it renders: it stops at its first sentence's end.
            if (pieces.empty() && sentence) break;
        }
        std::size_t cut = sentence                  ? sentence
                          : text.size() <= limit    ? text.size()
                          : clause                  ? clause
                                                    : Utf8CharBoundary(text, scan);
        if (cut == 0) {  // a limit smaller than one character: that character alone
            cut = 1;
            while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
        }
        pieces.push_back(text.substr(0, cut));
        text.remove_prefix(cut);
    }
    return pieces;
}

}  // namespace lexavo::sp
