// Chinese text made ready for a Chinese voice: numbers, dates, times, amounts and symbols
// written out as they are read, and every clause mark made one that the engine pauses at.
//
//   2024年5月1日 → 二零二四年五月一日     12.5元 → 十二点五元      35% → 百分之三十五
//   1,000,000人 → 一百万人               -5℃ → 零下五摄氏度       3/4 → 四分之三
//   2个 → 两个    10:30 → 十点三十分    13800138000 → 一三八零零一三八零零零
//   你好,世界 → 你好，世界               a line break → a sentence end
//   吉𠮷 → 吉 (characters beyond the engine's table are left out, not spelled as digits)
#pragma once

#include <string>
#include <string_view>

namespace lexavo::sp {

// UTF-8 in, UTF-8 out. Text without digits or ASCII marks next to Chinese comes back as it was.
std::string NormaliseChineseText(std::string_view utf8);

// The Chinese reading of a whole number (up to 10^16 - 1): 10050 → 一万零五十.
std::string ChineseNumber(unsigned long long n);

}  // namespace lexavo::sp
