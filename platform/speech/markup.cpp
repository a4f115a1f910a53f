#include "platform/speech/markup.h"

// Debian builds expat with DTD support; its entity-expansion limits are declared under XML_DTD.
#define XML_DTD 1
#include <expat.h>

#include <memory>
#include <string>

namespace lexavo::sp {
namespace {

struct ParserDeleter {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

bool StartsAsDocument(std::string_view text) {
    std::size_t i = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    return text.substr(i, 5) == "<?xml" || text.substr(i, 9) == "<!DOCTYPE";
}

bool Parse(std::string_view doc) {
    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate("UTF-8"));
    if (!parser) return false;
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser.get(), 20.0f);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser.get(), 64 * 1024);
    // Parse in slices: XML_Parse takes an int length.
    constexpr std::size_t kSlice = 1 << 20;
    std::size_t pos = 0;
    do {
        const std::size_t take = doc.size() - pos < kSlice ? doc.size() - pos : kSlice;
        const bool last = pos + take == doc.size();
        if (XML_Parse(parser.get(), doc.data() + pos, static_cast<int>(take), last) != XML_STATUS_OK) return false;
        pos += take;
    } while (pos < doc.size());
    return true;
}

}  // namespace

HRESULT ValidateMarkup(std::string_view utf8) {
    if (StartsAsDocument(utf8)) return Parse(utf8) ? S_OK : ToHresult(Status::MalformedMarkup);
    // A fragment: text and elements without one root; checked inside a root of our own.
    std::string doc;
    doc.reserve(utf8.size() + 16);
    doc += "<fragment>";
    doc += utf8;
    doc += "</fragment>";
    return Parse(doc) ? S_OK : ToHresult(Status::MalformedMarkup);
}

}  // namespace lexavo::sp
