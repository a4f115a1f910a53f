#include "platform/speech/frontend/chinese_text.h"

#include <gtest/gtest.h>

namespace lexavo::sp {
namespace {

struct Case {
    const char* name;
    const char* in;
    const char* out;
};

TEST(ChineseText, NumbersAreWrittenOutAsTheyAreReadInContext) {
    const Case cases[] = {
        {"year", "2024年", "二零二四年"},
        {"years counted", "10年", "十年"},
        {"date", "2024年5月1日", "二零二四年五月一日"},
        {"ISO date", "2024-05-01", "二零二四年五月一日"},
        {"slashed date", "2024/5/1", "二零二四年五月一日"},
        {"amount", "12.5元", "十二点五元"},
        {"separators", "1,000,000人", "一百万人"},
        {"zeros inside", "10050", "一万零五十"},
        {"zero group", "100000010", "一零零零零零零一零"},
        {"eight digits", "20000010", "两千万零一十"},
        {"teens", "15", "十五"},
        {"a hundred million and one", "100,000,001", "一亿零一"},
        {"billions", "10,000,000,000", "一百亿"},
        {"a skipped section", "100,001,000", "一亿零一千"},
        {"hundred and one", "101", "一百零一"},
        {"hundreds", "110", "一百一十"},
        {"two thousand", "2000", "两千"},
        {"percentage", "35%", "百分之三十五"},
        {"full-width", "３５％", "百分之三十五"},
        {"decimal percentage", "12.5%", "百分之十二点五"},
        {"fraction", "3/4", "四分之三"},
        {"negative", "-5", "负五"},
        {"below zero", "-5℃", "零下五摄氏度"},
        {"temperature", "25°C", "二十五摄氏度"},
        {"ordinal", "第3名", "第三名"},
        {"two of something", "2个", "两个"},
        {"two o'clock", "2点", "两点"},
        {"February stays", "2月", "二月"},
        {"phone number", "13800138000", "一三八零零一三八零零零"},
        {"leading zero", "007", "零零七"},
        {"clock", "10:30", "十点三十分"},
        {"clock with seconds", "8:05:09", "八点零五分九秒"},
        {"on the hour", "9:00", "九点整"},
        {"minus between numbers", "5-3", "五-三"},
        {"no digits", "今天天气很好", "今天天气很好"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormaliseChineseText(c.in), c.out) << c.name;
}

TEST(ChineseText, MarksAndLineBreaksPauseAndCharactersWithoutAReadingAreLeftOut) {
    const Case cases[] = {
        {"ASCII marks next to Chinese", "你好,世界!再见.", "你好，世界！再见。"},
        {"spaces around", "你好 , 世界", "你好 ， 世界"},
        {"English keeps its marks", "Hello, world. 你好", "Hello, world. 你好"},
        {"a line break ends the line", "第一行\n第二行\n", "第一行。\n第二行。\n"},
        {"a marked line stays", "第一行，\n第二行。\n", "第一行，\n第二行。\n"},
        {"empty lines", "\n\n", "\n\n"},
        {"no reading: left out", "吉𠮷家𪚥", "吉家"},
        {"Extension A stays", "㐀", "㐀"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormaliseChineseText(c.in), c.out) << c.name;
}

}  // namespace
}  // namespace lexavo::sp
