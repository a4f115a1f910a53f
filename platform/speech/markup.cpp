#include "platform/speech/markup.h"

// Debian builds expat with DTD support; its entity-expansion limits are declared under XML_DTD.
#define XML_DTD 1
#include <expat.h>

#include <cstring>
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

// The name without a namespace prefix, lower-cased as the engine matches it.
std::string LocalName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    std::string local = colon ? colon + 1 : name;
    for (char& c : local)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return local;
}

bool IsLanguageTag(std::string_view v) {
    if (v.empty() || v.size() > 35) return false;
    for (char c : v)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

struct Check {
    XML_Parser parser;
    const VoiceNameCheck* knowsVoice;
    int depth = 0;
    bool refused = false;

    void Refuse() {
        refused = true;
        XML_StopParser(parser, XML_FALSE);
    }

    void Start(const char* element, const char** attributes) {
        if (++depth > kMaxElementDepth || static_cast<std::size_t>(XML_GetCurrentByteCount(parser)) > kMaxStartTagBytes)
            return Refuse();
        const std::string name = LocalName(element);
        if (name == "audio" || name == "lexicon") return Refuse();
        for (const char** a = attributes; a && *a; a += 2) {
            const std::string attribute = a[0];
            const std::string local = LocalName(a[0]);
            if (local == "src" || local == "uri" || local == "href" || attribute == "xml:base") return Refuse();
            if ((attribute == "xml:lang" || local == "lang") && !IsLanguageTag(a[1])) return Refuse();
            if (name == "voice" && local == "name" && *knowsVoice && !(*knowsVoice)(a[1])) return Refuse();
        }
    }
};

HRESULT Parse(std::string_view doc, const VoiceNameCheck& knowsVoice) {
    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate("UTF-8"));
    if (!parser) return E_OUTOFMEMORY;
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser.get(), 20.0f);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser.get(), 64 * 1024);
    Check check{parser.get(), &knowsVoice};
    XML_SetUserData(parser.get(), &check);
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* element, const XML_Char** attributes) {
            static_cast<Check*>(data)->Start(element, attributes);
        },
        [](void* data, const XML_Char*) { --static_cast<Check*>(data)->depth; });
    // An entity that names a file or a URI is refused, never loaded.
    XML_SetEntityDeclHandler(parser.get(), [](void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                              const XML_Char* systemId, const XML_Char*, const XML_Char*) {
        if (systemId) static_cast<Check*>(data)->Refuse();
    });
    // Parse in slices: XML_Parse takes an int length.
    constexpr std::size_t kSlice = 1 << 20;
    std::size_t pos = 0;
    do {
        const std::size_t take = doc.size() - pos < kSlice ? doc.size() - pos : kSlice;
        const bool last = pos + take == doc.size();
        if (XML_Parse(parser.get(), doc.data() + pos, static_cast<int>(take), last) != XML_STATUS_OK)
            return ToHresult(check.refused ? Status::MarkupRefused : Status::MalformedMarkup);
        pos += take;
    } while (pos < doc.size());
    return S_OK;
}

}  // namespace

HRESULT ValidateMarkup(std::string_view utf8, const VoiceNameCheck& knowsVoice) {
    if (StartsAsDocument(utf8)) return Parse(utf8, knowsVoice);
    // A fragment: text and elements without one root; checked inside a root of our own.
    std::string doc;
    doc.reserve(utf8.size() + 16);
    doc += "<fragment>";
    doc += utf8;
    doc += "</fragment>";
    return Parse(doc, knowsVoice);
}

}  // namespace lexavo::sp
