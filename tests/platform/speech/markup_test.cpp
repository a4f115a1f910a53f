#include "platform/speech/markup.h"

#include <gtest/gtest.h>

#include <string>

namespace lexavo::sp {
namespace {

const HRESULT kMalformed = ToHresult(Status::MalformedMarkup);

TEST(Markup, AcceptsDocumentsAndFragments) {
    const char* good[] = {
        "plain words",
        "",
        "<speak>你好<break time=\"500ms\"/>世界</speak>",
        "前 <emphasis>重点</emphasis> 后",
        "<?xml version=\"1.0\"?><speak version=\"1.0\">hi</speak>",
        "a &amp; b",
    };
    for (const char* text : good) EXPECT_EQ(ValidateMarkup(text), S_OK) << text;
}

TEST(Markup, RefusesMalformedMarkup) {
    const char* bad[] = {
        "<speak>unclosed",
        "<speak>crossed <emphasis></speak></emphasis>",
        "a & b",
        "<a attr=noquotes/>",
        "</speak>",
        "<?xml version=\"1.0\"?><a></a><b></b>",
    };
    for (const char* text : bad) EXPECT_EQ(ValidateMarkup(text), kMalformed) << text;
}

TEST(Markup, EntityExpansionIsBoundedAndExternalEntitiesAreNotLoaded) {
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
    char prev = 'a';
    for (char c = 'b'; c <= 'k'; ++c) {
        laughs += std::string("<!ENTITY ") + c + " \"";
        for (int i = 0; i < 10; ++i) laughs += std::string("&") + prev + ";";
        laughs += "\">";
        prev = c;
    }
    laughs += "]><s>&k;</s>";
    EXPECT_EQ(ValidateMarkup(laughs), kMalformed);

    const std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><s>&x;</s>";
    // Refused, never read.
    EXPECT_EQ(ValidateMarkup(external), ToHresult(Status::MarkupRefused));
}

// Markup from anywhere: nothing in it may reach a file, a process or the engine's buffers.
TEST(Markup, RefusesMarkupThatReachesOutsideTheText) {
    const HRESULT kRefused = ToHresult(Status::MarkupRefused);
    const VoiceNameCheck knows = [](std::string_view name) { return name == "en" || name == "en+f2"; };
    std::string flood = "<speak><prosody";
    for (int i = 0; i < 50000; ++i) flood += " a" + std::to_string(i) + "=\"1\"";
    flood += ">x</prosody></speak>";
    std::string deep;
    for (int i = 0; i < kMaxElementDepth + 1; ++i) deep += "<emphasis>";
    deep += "x";
    for (int i = 0; i < kMaxElementDepth + 1; ++i) deep += "</emphasis>";
    const struct {
        const char* name;
        std::string markup;
        HRESULT expected;
    } cases[] = {
        {"audio", "<speak>hi<audio src=\"/etc/passwd\"/></speak>", kRefused},
        {"audio with a shell", "<speak><audio src=\"y$(touch INJECTED)\">alt</audio></speak>", kRefused},
        {"audio in a namespace", "<speak xmlns:s=\"x\"><s:audio/></speak>", kRefused},
        {"lexicon", "<speak><lexicon uri=\"file:///etc/passwd\"/>x</speak>", kRefused},
        {"xml:base", "<speak xml:base=\"/etc/\">x</speak>", kRefused},
        {"src anywhere", "<speak><mark name=\"a\" src=\"/etc/passwd\"/></speak>", kRefused},
        {"voice variant as a path", "<speak><voice name=\"en+../../../../etc/passwd\">x</voice></speak>", kRefused},
        {"unknown voice", "<speak><voice name=\"xx\">x</voice></speak>", kRefused},
        {"language tag as a path", "<speak xml:lang=\"../../etc/passwd\">x</speak>", kRefused},
        {"attribute flood", flood, kRefused},
        {"nesting too deep", deep, kRefused},
        {"known voice", "<speak><voice name=\"en\">x</voice><voice name=\"en+f2\">y</voice></speak>", S_OK},
        {"voice by gender", "<speak><voice gender=\"female\" variant=\"2\">x</voice></speak>", S_OK},
        {"language tag", "<speak xml:lang=\"zh-CN\">你好</speak>", S_OK},
        {"ordinary elements", "<speak><s>a</s><prosody rate=\"slow\">b</prosody><break time=\"1s\"/></speak>", S_OK},
    };
    for (const auto& c : cases) EXPECT_EQ(ValidateMarkup(c.markup, knows), c.expected) << c.name;
    // Without an engine to ask, voice names pass; everything else is still refused.
    EXPECT_EQ(ValidateMarkup("<speak><voice name=\"xx\">x</voice></speak>"), S_OK);
    EXPECT_EQ(ValidateMarkup("<speak><audio src=\"a.wav\"/></speak>"), kRefused);
}

}  // namespace
}  // namespace lexavo::sp
