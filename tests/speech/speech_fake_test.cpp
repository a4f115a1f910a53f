// The speech object's calls, their order and their values, against a recording platform.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "speech/command_table.h"
#include "speech/host.h"
#include "speech/speech_state.h"
#include "tests/speech/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace lexavo::speech {
namespace {

using test::FakePlatform;
using test::FakeToken;
using Log = std::vector<std::string>;

const std::string kVoiceClsid = "{96749377-3391-11D2-9EE3-00C04F797396}";
const std::string kVoiceIid = "{6C44DF74-72B9-4992-A1EC-EF996E0422D4}";
const std::string kCategoryClsid = "{A910187F-0C7A-45AC-92CC-59EDAFB77B53}";
const std::string kCategoryIid = "{2D3D3845-39AF-4850-BBF9-40B49780011D}";
const std::string kStreamClsid = "{715D9C59-4442-11D2-9605-00C04F8EE628}";
const std::string kStreamIid = "{12E3CCA9-7518-44C5-A5E7-BA5A79CB929E}";

// Windows the host knows, by window id and control id.
struct TestWindow final : sp::WindowObject {
    sp::HWND handle;
    explicit TestWindow(sp::HWND h) : handle(h) {}
    sp::HWND Handle() const override { return handle; }
};
std::map<std::pair<std::int32_t, std::int32_t>, TestWindow*> g_windows;

std::intptr_t TestHost(std::int32_t code, std::intptr_t p1, std::intptr_t p2) {
    if (code == kHostAllocate) return reinterpret_cast<std::intptr_t>(std::malloc(static_cast<std::size_t>(p1)));
    if (code == kHostFindWindow) {
        auto it = g_windows.find({static_cast<std::int32_t>(p1), static_cast<std::int32_t>(p2)});
        return it == g_windows.end() ? 0 : reinterpret_cast<std::intptr_t>(it->second);
    }
    return 0;
}

void FreeList(VoiceList* list) {
    for (int i = 0; i < list->count; ++i) std::free(list->items[i]);
    std::free(list);
}

FakeToken Token(std::u16string fallback, std::u16string chinese = {}, std::u16string english = {}) {
    FakeToken t;
    if (!fallback.empty() || chinese.empty()) t.values[u""] = fallback;
    if (!chinese.empty()) t.values[u"804"] = chinese;
    if (!english.empty()) t.values[u"409"] = english;
    return t;
}

class SpeechFake : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SpeechLibraryNotify(kLibraryStart, reinterpret_cast<std::intptr_t>(&TestHost), 0), 0);
        g_windows.clear();
    }
    void ConstructReady() {
        Construct(&object);
        ASSERT_TRUE(IsInitialized(&object));
        fake.Clear();
    }
    void TearDown() override {
        Destruct(&object);
        EXPECT_EQ(fake.liveObjects, 0) << "every platform object is released";
    }

    FakePlatform fake;
    ETextToSpeech object{nullptr, 0};
};

TEST_F(SpeechFake, ConstructCreatesTheVoiceAndAppliesTheStartUpPreference) {
    fake.tokens = {Token(u"English"), Token(u"", u"微软 中文 女声"), Token(u"Chinese Too")};
    Construct(&object);
    ASSERT_TRUE(IsInitialized(&object));
    const Log expected = {
        "CoInitialize",
        "CoCreateInstance " + kVoiceClsid + " outer=null ctx=7 iid=" + kVoiceIid,
        "Voice.SetInterest 0x240000006 0x240000006",
        "Voice.SetNotifyCallbackFunction set l=0",
        "CoCreateInstance " + kCategoryClsid + " outer=null ctx=7 iid=" + kCategoryIid,
        "Category.SetId \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices\" 0",
        "Category.EnumTokens \"\" \"\"",
        "Category.Release",
        "Enum.Next 1 null",
        "Token0.GetStringValue \"804\"",
        "Token0.GetStringValue null",
        "Token0.Release",
        "CoTaskMemFree",
        "Enum.Next 1 null",
        "Token1.GetStringValue \"804\"",
        "Voice.SetVoice Token1",
        "Token1.Release",
        "CoTaskMemFree",
        "Enum.Release",
    };
    EXPECT_EQ(fake.log, expected);
    EXPECT_EQ(fake.callbackWParam, reinterpret_cast<sp::WPARAM>(object.state));
    EXPECT_EQ(object.state->eventTarget, nullptr);
}

TEST_F(SpeechFake, ConstructTwiceAndDestructTwiceDoNothingMore) {
    ConstructReady();
    SpeechState* state = object.state;
    Construct(&object);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(object.state, state);
    Destruct(&object);
    // (The fake voice gives up its own output as it goes.)
    const Log expected = {"Voice.SetNotifyCallbackFunction null l=0", "Voice.Release", "Output.Release", "CoUninitialize"};
    EXPECT_EQ(fake.log, expected);
    EXPECT_EQ(object.state, nullptr);
    EXPECT_EQ(fake.coInitCount, 0);
    fake.Clear();
    Destruct(&object);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(SpeechFake, FailedConstructionLeavesTheObjectEmptyAndComInitialised) {
    fake.createVoiceResult = sp::REGDB_E_CLASSNOTREG;
    Construct(&object);
    EXPECT_FALSE(IsInitialized(&object));
    EXPECT_EQ(object.state, nullptr);
    EXPECT_EQ(fake.log, (Log{"CoInitialize", "CoCreateInstance " + kVoiceClsid + " outer=null ctx=7 iid=" + kVoiceIid}));
    EXPECT_EQ(fake.coInitCount, 1);
    fake.Clear();
    Destruct(&object);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(fake.coInitCount, 1);
}

TEST_F(SpeechFake, EveryOperationOfAnEmptyObjectIsRefusedWithoutPlatformCalls) {
    VoiceList* list = GetVoiceNames(&object);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->dimensions, 1);
    EXPECT_EQ(list->count, 0);
    FreeList(list);
    EXPECT_FALSE(SelectVoice(&object, "x"));
    EXPECT_FALSE(Speak(&object, 0, "x", -1, EventTarget{1, 2}));
    EXPECT_FALSE(Stop(&object));
    EXPECT_FALSE(SetRate(&object, 0));
    EXPECT_FALSE(SpeakToFile(&object, 0, "x", "/tmp/never.wav"));
    EXPECT_FALSE(IsInitialized(&object));
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(SpeechFake, SpeakHandsEachModeToThePlatformWithItsFlagsAndWaits) {
    ConstructReady();
    const struct {
        std::int32_t mode;
        std::optional<std::int32_t> waitMs;
        bool result;
        Log calls;
    } cases[] = {
        {0, std::nullopt, true, {"Voice.Speak \"文字\" flags=1 null"}},
        {1, 0, true, {"Voice.Speak \"文字\" flags=5 null"}},
        {2, -1, true, {"Voice.Speak \"文字\" flags=9 null", "Voice.WaitUntilDone 0xFFFFFFFF"}},
        {3, std::nullopt, true, {}},
        {3, 500, true, {"Voice.WaitUntilDone 0x1F4"}},
        {-1, -1, false, {}},
        {4, 500, false, {}},
    };
    for (const auto& c : cases) {
        fake.Clear();
        EXPECT_EQ(Speak(&object, c.mode, "文字", c.waitMs), c.result) << "mode " << c.mode;
        EXPECT_EQ(fake.log, c.calls) << "mode " << c.mode;
    }
    fake.Clear();
    fake.speakResult = sp::E_FAIL;
    EXPECT_FALSE(Speak(&object, 0, "x", 100));
    EXPECT_EQ(fake.log, (Log{"Voice.Speak \"x\" flags=1 null", "Voice.WaitUntilDone 0x64"}));
    fake.Clear();
    fake.speakResult = sp::S_OK;
    EXPECT_TRUE(Speak(&object, 0, nullptr));
    EXPECT_TRUE(Speak(&object, 0, ""));
    EXPECT_EQ(fake.log, (Log{"Voice.Speak null flags=1 null", "Voice.Speak \"\" flags=1 null"}));
}

TEST_F(SpeechFake, StopPurgesAndSetRateChecksItsRange) {
    ConstructReady();
    EXPECT_TRUE(Stop(&object));
    EXPECT_TRUE(SetRate(&object, -10));
    EXPECT_TRUE(SetRate(&object, 10));
    EXPECT_FALSE(SetRate(&object, -11));
    EXPECT_FALSE(SetRate(&object, 11));
    EXPECT_EQ(fake.log, (Log{"Voice.Speak null flags=2 null", "Voice.SetRate -10", "Voice.SetRate 10"}));
}

TEST_F(SpeechFake, EventsAreRelayedOnlyToAResolvedTargetWithAHandle) {
    ConstructReady();
    TestWindow window(reinterpret_cast<sp::HWND>(0x1234));
    g_windows[{7, 9}] = &window;
    fake.queuedEvents = {1, 2};
    // No target yet: nothing is fetched, the events stay queued.
    fake.callback(fake.callbackWParam, 0);
    EXPECT_TRUE(fake.Calls("Voice.GetEvents").empty());
    // A target the host does not know leaves the target empty.
    EXPECT_TRUE(Speak(&object, 3, nullptr, std::nullopt, EventTarget{7, 8}));
    EXPECT_EQ(object.state->eventTarget, nullptr);
    EXPECT_TRUE(Speak(&object, 3, nullptr, std::nullopt, EventTarget{7, 9}));
    EXPECT_EQ(object.state->eventTarget, &window);
    EXPECT_TRUE(Speak(&object, 3, nullptr, std::nullopt, EventTarget{7, 8}));
    EXPECT_TRUE(Speak(&object, 3, nullptr));
    EXPECT_EQ(object.state->eventTarget, &window);
    // A target whose window is gone: nothing fetched.
    window.handle = nullptr;
    fake.callback(fake.callbackWParam, 0);
    EXPECT_TRUE(fake.Calls("Voice.GetEvents").empty());
    window.handle = reinterpret_cast<sp::HWND>(0x1234);
    fake.callback(fake.callbackWParam, 0);
    EXPECT_EQ(fake.sentMessages, (Log{"0x1234 0x8075 1 0", "0x1234 0x8075 2 0"}));
    EXPECT_EQ(fake.Calls("Voice.GetEvents"), (Log(3, "Voice.GetEvents 1 null")));
    // Event ids are sign-extended 16-bit values.
    fake.queuedEvents = {0xFFFF};
    fake.sentMessages.clear();
    fake.callback(fake.callbackWParam, 0);
    EXPECT_EQ(fake.sentMessages, (Log{"0x1234 0x8075 -1 0"}));
}

TEST_F(SpeechFake, SpeakToFileRedirectsSpeaksAndGivesTheOutputBackInOrder) {
    ConstructReady();
    const struct {
        std::int32_t mode;
        std::string speak;
    } cases[] = {{0, "Voice.Speak \"文字\" flags=0 null"}, {1, "Voice.Speak \"文字\" flags=4 null"},
                 {2, "Voice.Speak \"文字\" flags=8 null"}, {3, ""}};
    for (const auto& c : cases) {
        fake.Clear();
        EXPECT_TRUE(SpeakToFile(&object, c.mode, "文字", "/tmp/声音.WAV")) << c.mode;
        Log expected = {
            "Voice.GetOutputStream",
            "Output.GetFormat",
            "CoCreateInstance " + kStreamClsid + " outer=null ctx=7 iid=" + kStreamIid,
            "Stream.BindToFile \"/tmp/声音.WAV\" mode=3 format={C31ADBAE-527F-4FF5-A230-F62BB61FF70C} rate=22050 "
            "interest=0xEFFFFFFFFFFFFFFF",
            "Voice.SetOutput stream 1",
        };
        if (!c.speak.empty()) expected.push_back(c.speak);
        for (const char* tail :
             {"Voice.SetOutput previous 1", "Stream.Close", "CoTaskMemFree", "Output.Release", "Stream.Release"})
            expected.push_back(tail);
        EXPECT_EQ(fake.log, expected) << c.mode;
    }
    fake.Clear();
    EXPECT_FALSE(SpeakToFile(&object, 4, "x", "/tmp/x.wav"));
    EXPECT_FALSE(SpeakToFile(&object, -1, "x", "/tmp/x.wav"));
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(SpeechFake, SpeakToFileThatCannotBindTouchesNoOutput) {
    ConstructReady();
    fake.bindResult = sp::E_ACCESSDENIED;
    EXPECT_FALSE(SpeakToFile(&object, 0, "x", "/tmp/x.wav"));
    EXPECT_TRUE(fake.Calls("Voice.SetOutput").empty());
    EXPECT_TRUE(fake.Calls("Voice.Speak").empty());
    const Log tail(fake.log.end() - 4, fake.log.end());
    EXPECT_EQ(tail, (Log{fake.log[fake.log.size() - 4], "Stream.Release", "CoTaskMemFree", "Output.Release"}));
    fake.bindResult = sp::S_OK;
    fake.createStreamResult = sp::E_OUTOFMEMORY;
    fake.Clear();
    EXPECT_FALSE(SpeakToFile(&object, 0, "x", "/tmp/x.wav"));
    EXPECT_TRUE(fake.Calls("Voice.SetOutput").empty());
}

TEST_F(SpeechFake, SpeakToFileMakesTheFileOnlyWhenEverythingSucceeded) {
    ConstructReady();
    const sp::HRESULT kMarkup = ToHresult(sp::Status::MalformedMarkup), kFull = ToHresult(sp::Status::DiskFull),
                      kName = ToHresult(sp::Status::InvalidName);
    const struct {
        const char* name;
        sp::HRESULT speak;
        sp::HRESULT close;
        const char* path;
        bool result;
        sp::HRESULT lastResult;
        bool bound, closed;
    } cases[] = {
        {"success", sp::S_OK, sp::S_OK, "/tmp/x.wav", true, sp::S_OK, true, true},
        // The stream is released unclosed: it drops its file and the path stays as it was.
        {"failed speak", kMarkup, sp::S_OK, "/tmp/x.wav", false, kMarkup, true, false},
        {"file not completed", sp::S_OK, kFull, "/tmp/x.wav", false, kFull, true, true},
        {"path not UTF-8", sp::S_OK, sp::S_OK, "/tmp/a\xff.wav", false, kName, false, false},
    };
    for (const auto& c : cases) {
        fake.Clear();
        fake.speakResult = c.speak;
        fake.closeResult = c.close;
        EXPECT_EQ(SpeakToFile(&object, 2, "<speak/>", c.path), c.result) << c.name;
        EXPECT_EQ(LastResult(&object), c.lastResult) << c.name;
        EXPECT_EQ(fake.Calls("Stream.BindToFile").size(), c.bound ? 1u : 0u) << c.name;
        EXPECT_EQ(fake.Has("Stream.Close"), c.closed) << c.name;
        if (c.bound) {
            EXPECT_TRUE(fake.Has("Voice.SetOutput previous 1")) << c.name;
        }
        EXPECT_EQ(fake.log.back(), c.bound ? "Stream.Release" : "Output.Release") << c.name;
    }
    // Mode 3 speaks nothing and stays a success.
    fake.Clear();
    fake.speakResult = kMarkup;
    fake.closeResult = sp::S_OK;
    EXPECT_TRUE(SpeakToFile(&object, 3, "<speak>", "/tmp/x.wav"));
}

TEST_F(SpeechFake, OutOfMemoryIsRaisedAfterTheOutputIsGivenBackAndAllIsReleased) {
    ConstructReady();
    fake.failNextAlloc = true;
    try {
        SpeakToFile(&object, 0, "文字", "/tmp/x.wav");
        FAIL() << "no error raised";
    } catch (const SpeechError& e) {
        EXPECT_EQ(e.Result(), sp::E_OUTOFMEMORY);
    }
    const Log tail(fake.log.end() - 5, fake.log.end());
    EXPECT_EQ(tail, (Log{"SysAllocString failed", "Voice.SetOutput previous 1", "CoTaskMemFree", "Output.Release",
                         "Stream.Release"}));
    // Speak raises too, after storing the event target it was given.
    TestWindow window(reinterpret_cast<sp::HWND>(0x99));
    g_windows[{1, 2}] = &window;
    fake.failNextAlloc = true;
    EXPECT_THROW(Speak(&object, 0, "x", std::nullopt, EventTarget{1, 2}), SpeechError);
    EXPECT_EQ(object.state->eventTarget, &window);
    EXPECT_TRUE(fake.Calls("Voice.Speak").empty());
}

TEST_F(SpeechFake, VoiceChoiceByNameIsByteExactAndStopsAtTheFirstMatch) {
    fake.tokens = {Token(u"Alpha"), Token(u"Beta"), Token(u"Beta"), Token(u"", u"中文"), {}};
    ConstructReady();
    const struct {
        const char* name;
        bool result;
        int selected;
    } cases[] = {
        {"Beta", true, 1}, {"beta", false, -1}, {"Alpha ", false, -1}, {"中文", true, 3}, {"", false, -1},
    };
    for (const auto& c : cases) {
        fake.selectedToken = -1;
        EXPECT_EQ(SelectVoice(&object, c.name), c.result) << c.name;
        EXPECT_EQ(fake.selectedToken, c.selected) << c.name;
    }
    fake.setVoiceResults[1] = sp::E_FAIL;
    fake.Clear();
    EXPECT_FALSE(SelectVoice(&object, "Beta"));
    EXPECT_EQ(fake.Calls("Voice.SetVoice"), (Log{"Voice.SetVoice Token1"}));
}

TEST_F(SpeechFake, StartUpPreferenceTakesTheFirstChineseVoice) {
    const struct {
        const char* name;
        std::vector<FakeToken> tokens;
        int chosen;
    } cases[] = {
        {"none qualifies", {Token(u"English"), Token(u"Japanese")}, -1},
        {"upper case", {Token(u"English"), Token(u"MS CHINESE Voice")}, 1},
        {"full-width letters are not the word", {Token(u"Ｃｈｉｎｅｓｅ")}, -1},
        {"chinese characters", {Token(u"English"), Token(u"", u"普通话 中文")}, 1},
        {"earliest wins", {Token(u"", u"中文 一"), Token(u"Chinese two")}, 0},
        {"no voices", {}, -1},
    };
    for (const auto& c : cases) {
        FakePlatform local;
        local.tokens = c.tokens;
        ETextToSpeech o{nullptr, 0};
        Construct(&o);
        EXPECT_EQ(local.selectedToken, c.chosen) << c.name;
        Destruct(&o);
    }
    SetPlatformForTesting(&fake);
}

TEST_F(SpeechFake, VoiceNamesListDescriptionsInTheInterfaceLanguage) {
    fake.tokens = {Token(u"Default A", u"中文甲", u"English A"), Token(u"Only default"), Token(u""), {}};
    ConstructReady();
    const struct {
        sp::LANGID ui;
        sp::LANGID fallback;
        std::vector<const char*> names;
    } cases[] = {
        {0x0804, 0, {"中文甲", "Only default", nullptr, nullptr}},
        {0x0409, 0, {"English A", "Only default", nullptr, nullptr}},
        {0x0411, 0, {"Default A", "Only default", nullptr, nullptr}},
        {0, 0x0409, {"English A", "Only default", nullptr, nullptr}},
    };
    for (const auto& c : cases) {
        fake.uiLanguage = c.ui;
        fake.defaultLangId = c.fallback;
        VoiceList* list = GetVoiceNames(&object);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->dimensions, 1);
        ASSERT_EQ(list->count, 4);
        for (int i = 0; i < 4; ++i) {
            if (c.names[i]) {
                EXPECT_STREQ(list->items[i], c.names[i]);
            } else {
                EXPECT_EQ(list->items[i], nullptr);
            }
        }
        FreeList(list);
    }
}

TEST_F(SpeechFake, VoiceNamesAreEmptyWhenTheCategoryFails) {
    fake.tokens = {Token(u"A")};
    ConstructReady();
    // Choosing a voice does not ask for the count, so only the first two stop it.
    const struct {
        void (*setup)(FakePlatform&);
        bool canSelect;
    } cases[] = {{+[](FakePlatform& f) { f.setIdResult = sp::SPERR_NOT_FOUND; }, false},
                 {+[](FakePlatform& f) { f.enumTokensResult = sp::S_FALSE; }, false},
                 {+[](FakePlatform& f) { f.getCountResult = sp::E_FAIL; }, true}};
    for (const auto& [setup, canSelect] : cases) {
        FakePlatform& f = fake;
        f.setIdResult = sp::S_OK;
        f.enumTokensResult = sp::S_OK;
        f.getCountResult = sp::S_OK;
        setup(f);
        VoiceList* list = GetVoiceNames(&object);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count, 0);
        FreeList(list);
        EXPECT_EQ(SelectVoice(&object, "A"), canSelect);
    }
}

TEST(SpeechHelpers, LanguageIdsAsHexadecimalText) {
    const struct {
        sp::LANGID id;
        std::u16string text;
    } hex[] = {{0x0804, u"804"}, {0x0409, u"409"}, {0, u"0"}, {0x0C04, u"C04"}, {0xFFFF, u"FFFF"}};
    for (const auto& c : hex) EXPECT_EQ(LangIdHex(c.id), c.text);
    const struct {
        const char* text;
        sp::LANGID id;
    } parse[] = {{"0804", 0x0804}, {"  0x409", 0x0409}, {"0XC04", 0x0C04}, {"+1f", 0x1F},
                 {"-1", 0xFFFF},   {"zz", 0},           {"", 0},          {"12345", 0x2345}, {"80Aq", 0x80A}};
    for (const auto& c : parse) EXPECT_EQ(ParseHexLangId(c.text), c.id) << c.text;
}

TEST(SpeechHost, EntryPointKeepsTheHostOnlyForCodeOne) {
    EXPECT_EQ(SpeechLibraryNotify(kLibraryStart, reinterpret_cast<std::intptr_t>(&TestHost), 0), 0);
    EXPECT_EQ(CurrentHost(), &TestHost);
    for (std::int32_t code : {0, 2, 6, 2024, -1}) EXPECT_EQ(SpeechLibraryNotify(code, 0, 0), -1) << code;
    EXPECT_EQ(CurrentHost(), &TestHost);
}

TEST(SpeechCommands, TheTableEntersTheOperationsInTheirOrder) {
    FakePlatform fake;
    SpeechLibraryNotify(kLibraryStart, reinterpret_cast<std::intptr_t>(&TestHost), 0);
    const CommandTable& table = SpeechCommandTable();
    ASSERT_EQ(table.count, 9);
    ETextToSpeech o{nullptr, 0};
    ArgRecord result{};
    const ArgRecord obj = ObjectArg(&o);
    table.commands[kConstruct](&result, 1, &obj);
    EXPECT_TRUE(IsInitialized(&o));
    table.commands[kIsInitialized](&result, 1, &obj);
    EXPECT_EQ(result.value, 1);
    fake.Clear();
    const ArgRecord rate[] = {obj, IntArg(-3)};
    table.commands[kSetRate](&result, 2, rate);
    const ArgRecord speak[] = {obj, IntArg(0), TextArg("hi"), OmittedArg(), OmittedArg()};
    table.commands[kSpeak](&result, 5, speak);
    EXPECT_EQ(result.value, 1);
    const ArgRecord speakWait[] = {obj, IntArg(3), TextArg(nullptr), IntArg(-5)};
    table.commands[kSpeak](&result, 4, speakWait);
    table.commands[kStop](&result, 1, &obj);
    const ArgRecord file[] = {obj, IntArg(3), TextArg("x"), TextArg("/tmp/lexavo-cmd.wav")};
    table.commands[kSpeakToFile](&result, 4, file);
    EXPECT_EQ(result.value, 1);
    const ArgRecord select[] = {obj, TextArg("none")};
    table.commands[kSelectVoice](&result, 2, select);
    EXPECT_EQ(result.value, 0);
    table.commands[kGetVoiceNames](&result, 1, &obj);
    EXPECT_EQ(result.type, kArgAddress);
    FreeList(reinterpret_cast<VoiceList*>(static_cast<std::intptr_t>(result.value)));
    EXPECT_EQ(fake.Calls("Voice.SetRate"), (Log{"Voice.SetRate -3"}));
    EXPECT_EQ(fake.Calls("Voice.Speak"), (Log{"Voice.Speak \"hi\" flags=1 null", "Voice.Speak null flags=2 null"}));
    EXPECT_EQ(fake.Calls("Voice.WaitUntilDone"), (Log{"Voice.WaitUntilDone 0xFFFFFFFF"}));
    EXPECT_EQ(fake.Calls("Stream.BindToFile").size(), 1u);
    table.commands[kDestruct](&result, 1, &obj);
    EXPECT_FALSE(IsInitialized(&o));
    EXPECT_EQ(fake.liveObjects, 0);
}

}  // namespace
}  // namespace lexavo::speech
