#include "platform/speech/ui_language.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace lexavo::sp {
namespace {

TEST(UiLanguage, LocaleNamesMapToLanguageIds) {
    const struct {
        const char* locale;
        LANGID id;
    } cases[] = {
        {"zh_CN.UTF-8", 0x0804}, {"zh_TW.UTF-8", 0x0404}, {"zh_HK", 0x0C04}, {"zh_SG.UTF-8", 0x1004},
        {"en_US.UTF-8", 0x0409}, {"en_GB@euro", 0x0809}, {"ja_JP.UTF-8", 0x0411}, {"zh", 0x0804},
        {"C", 0x0409}, {"POSIX", 0x0409}, {"C.UTF-8", 0x0409}, {"xx_YY", 0x0409}, {"", 0x0409},
    };
    for (const auto& c : cases) EXPECT_EQ(LangIdFromLocaleName(c.locale), c.id) << c.locale;
}

TEST(UiLanguage, FirstNonEmptyVariableWins) {
    ::setenv("LC_ALL", "", 1);
    ::setenv("LC_MESSAGES", "zh_CN.UTF-8", 1);
    ::setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0804);
    ::setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0411);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::unsetenv("LANG");
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409);
}

}  // namespace
}  // namespace lexavo::sp
