#include "platform/speech/voice_tokens.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/speech/settings.h"
#include "platform/speech/text_codec.h"
#include "tests/support/temp_dir.h"

namespace lexavo::sp {
namespace {

using test::TempDir;

class VoiceCategory : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override {
        SetPlatformSettings(std::nullopt);
        CoUninitialize();
    }

    void UseVoicesFolder(const std::string& folder) { SetPlatformSettings(PlatformSettings{"", folder}); }

    ComPtr<IEnumSpObjectTokens> Enumerate() {
        ComPtr<ISpObjectTokenCategory> category;
        EXPECT_EQ(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, 7, IID_ISpObjectTokenCategory,
                                   reinterpret_cast<void**>(category.Put())),
                  S_OK);
        EXPECT_EQ(category->SetId(SPCAT_VOICES, FALSE), S_OK);
        ComPtr<IEnumSpObjectTokens> tokens;
        EXPECT_EQ(category->EnumTokens(u"", u"", tokens.Put()), S_OK);
        return tokens;
    }

    static std::string Value(ISpObjectToken* token, const WCHAR* name, HRESULT* hr = nullptr) {
        WCHAR* value = nullptr;
        const HRESULT result = token->GetStringValue(name, &value);
        if (hr) *hr = result;
        std::string out = value ? Utf16ToUtf8(value) : "<none>";
        CoTaskMemFree(value);
        return out;
    }
};

TEST_F(VoiceCategory, TokensComeInFileNameOrderWithValuesByName) {
    TempDir dir;
    dir.Write("b.voice", "@ = Second\n804 = 第二\n[Attributes]\nVoice = yue\n");
    dir.Write("a.voice", "\xEF\xBB\xBF; first\r\n@ = First\r\n409 = First (English)\r\n");
    dir.Write("c.voice", "[Attributes]\nVoice = en\n");
    dir.Write("notes.txt", "@ = not a voice\n");
    UseVoicesFolder(dir.Path());

    auto tokens = Enumerate();
    ULONG count = 0;
    ASSERT_EQ(tokens->GetCount(&count), S_OK);
    ASSERT_EQ(count, 3u);

    ComPtr<ISpObjectToken> a, b, c, none;
    ASSERT_EQ(tokens->Next(1, a.Put(), nullptr), S_OK);
    ASSERT_EQ(tokens->Next(1, b.Put(), nullptr), S_OK);
    ASSERT_EQ(tokens->Next(1, c.Put(), nullptr), S_OK);
    EXPECT_EQ(tokens->Next(1, none.Put(), nullptr), S_FALSE);

    HRESULT hr;
    EXPECT_EQ(Value(a.Get(), nullptr), "First");
    EXPECT_EQ(Value(a.Get(), u"409"), "First (English)");
    EXPECT_EQ(Value(a.Get(), u"804", &hr), "<none>");
    EXPECT_EQ(hr, SPERR_NOT_FOUND);
    EXPECT_EQ(Value(b.Get(), u"804"), "第二");
    EXPECT_EQ(Value(c.Get(), nullptr, &hr), "<none>");
    EXPECT_EQ(hr, SPERR_NOT_FOUND);

    ComPtr<IVoiceTokenData> data = b.As<IVoiceTokenData>(IID_IVoiceTokenData);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->Data().Attributes().voice, "yue");
}

TEST_F(VoiceCategory, UnknownCategoryOrMissingFolderIsNotFound) {
    ComPtr<ISpObjectTokenCategory> category;
    ASSERT_EQ(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, 7, IID_ISpObjectTokenCategory,
                               reinterpret_cast<void**>(category.Put())),
              S_OK);
    ComPtr<IEnumSpObjectTokens> tokens;
    EXPECT_EQ(category->EnumTokens(u"", u"", tokens.Put()), SPERR_UNINITIALIZED);
    EXPECT_EQ(category->SetId(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Recognizers", FALSE), SPERR_NOT_FOUND);
    UseVoicesFolder("/nonexistent/voices");
    EXPECT_EQ(category->SetId(SPCAT_VOICES, FALSE), SPERR_NOT_FOUND);
}

TEST_F(VoiceCategory, EmptyFolderEnumeratesNothing) {
    TempDir dir;
    UseVoicesFolder(dir.Path());
    auto tokens = Enumerate();
    ULONG count = 99;
    EXPECT_EQ(tokens->GetCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(VoiceCategory, ShippedVoicesPutMandarinFirstAndDescribeChineseInBothLanguages) {
    UseVoicesFolder(LEXAVO_BIN_DIR "/voices");
    auto tokens = Enumerate();
    ULONG count = 0;
    tokens->GetCount(&count);
    ASSERT_GE(count, 4u);
    bool first = true;
    int chineseVoices = 0;
    for (ComPtr<ISpObjectToken> token; tokens->Next(1, token.Put(), nullptr) == S_OK; first = false) {
        const std::string english = Value(token.Get(), u"409");
        const std::string chinese = Value(token.Get(), u"804");
        const std::string fallback = Value(token.Get(), nullptr);
        EXPECT_NE(english, "<none>");
        EXPECT_NE(chinese, "<none>");
        EXPECT_NE(fallback, "<none>");
        const auto attributes = token.As<IVoiceTokenData>(IID_IVoiceTokenData)->Data().Attributes();
        const bool isChinese = attributes.voice == "cmn-latn-pinyin" || attributes.voice == "yue";
        if (first) {
            EXPECT_EQ(attributes.voice, "cmn-latn-pinyin");
        }
        if (isChinese) {
            ++chineseVoices;
            EXPECT_NE(english.find("Chinese"), std::string::npos) << english;
            EXPECT_NE(chinese.find("中文"), std::string::npos) << chinese;
        }
    }
    EXPECT_GE(chineseVoices, 3);
}

TEST(VoiceTokenParse, RequiredAttributesFilterTheEnumeration) {
    TempDir dir;
    dir.Write("1.voice", "@ = A\n[Attributes]\nGender = Male\nLanguage = 804\n");
    dir.Write("2.voice", "@ = B\n[Attributes]\nGender = Female\nLanguage = 804\n");
    CoInitialize(nullptr);
    SetPlatformSettings(PlatformSettings{"", dir.Path()});
    ComPtr<ISpObjectTokenCategory> category;
    ASSERT_EQ(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, 7, IID_ISpObjectTokenCategory,
                               reinterpret_cast<void**>(category.Put())),
              S_OK);
    ASSERT_EQ(category->SetId(SPCAT_VOICES, FALSE), S_OK);
    ComPtr<IEnumSpObjectTokens> tokens;
    ASSERT_EQ(category->EnumTokens(u"gender=female", nullptr, tokens.Put()), S_OK);
    ULONG count = 0;
    tokens->GetCount(&count);
    EXPECT_EQ(count, 1u);
    SetPlatformSettings(std::nullopt);
    CoUninitialize();
}

// Voice files are copied between users: what is taken from one, and what makes it skipped.
TEST(VoiceTokenParse, EveryValueIsCheckedAndCommentsMayFollowValues) {
    const std::string readmeExample =
        "@ = Lexavo Mandarin Chinese (Male)      ; default description\n"
        "804 = Lexavo 中文普通话（男声）          ; description for language id 0x0804\n"
        "[Attributes]\n"
        "Engine = espeak-ng\n"
        "Voice = cmn-latn-pinyin\n"
        "Variant = f2                            ; optional eSpeak NG variant\n"
        "Language = 804\n"
        "Gender = Male\n";
    const VoiceTokenData example = ParseVoiceToken(readmeExample, u"x");
    EXPECT_EQ(example.fault, "");
    EXPECT_EQ(Utf16ToUtf8(example.values.at(u"")), "Lexavo Mandarin Chinese (Male)");
    EXPECT_EQ(Utf16ToUtf8(example.values.at(u"804")), "Lexavo 中文普通话（男声）");
    EXPECT_EQ(example.Attributes().variant, "f2");
    EXPECT_EQ(example.Attributes().voice, "cmn-latn-pinyin");
    EXPECT_EQ(ParseVoiceToken("@ = Tom;Jerry\n", u"x").values.at(u""), u"Tom;Jerry") << "no blank before ;";

    const struct {
        const char* name;
        std::string text;
        const char* fault;  // a part of the reason
    } bad[] = {
        {"long variant", "[Attributes]\nVoice = en\nVariant = " + std::string(40, 'a') + "\n", "line 3: Variant"},
        {"variant as a path", "[Attributes]\nVariant = ../../../../etc/passwd\n", "Variant"},
        {"voice as a path", "[Attributes]\nVoice = ../en\n", "Voice"},
        {"voice from the root", "[Attributes]\nVoice = /etc/passwd\n", "Voice"},
        {"language not hexadecimal", "[Attributes]\nLanguage = zh\n", "Language"},
        {"gender", "[Attributes]\nGender = robot\n", "Gender"},
        {"front end", "[Attributes]\nFrontEnd = klingon\n", "FrontEnd"},
        {"engine", "[Attributes]\nEngine = ../x\n", "Engine"},
        {"control character", "@ = bell\a\n", "description"},
        {"description name", "Chinese = 中文\n", "description"},
        {"no equals sign", "@ = ok\njust words\n", "line 2: not NAME = VALUE"},
        {"empty name", "[Attributes]\n= x\n", "no name"},
    };
    for (const auto& c : bad) EXPECT_NE(ParseVoiceToken(c.text, u"x").fault.find(c.fault), std::string::npos) << c.name;
}

TEST(VoiceTokenParse, FilesThatCannotBeReadOrHoldAFaultAreSkippedAndTheRestListed) {
    TempDir dir;
    dir.Write("1-good.voice", "@ = Good\n[Attributes]\nVoice = en\n");
    dir.Write("2-bad.voice", "@ = Bad\n[Attributes]\nVariant = ../../x\n");
    ::symlink("/proc/self/mem", dir.File("3-mem.voice").c_str());
    ::mkfifo(dir.File("4-fifo.voice").c_str(), 0644);  // would block a plain open
    dir.Write("5-huge.voice", std::string(kMaxVoiceFileBytes + 1, ';'));
    dir.Write("6-also-good.voice", "@ = Also good\n");
    const auto tokens = LoadVoiceTokens(dir.Path());
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].values.at(u""), u"Good");
    EXPECT_EQ(tokens[1].values.at(u""), u"Also good");
}

}  // namespace
}  // namespace lexavo::sp
