// The ids of MainWindow and its controls, and the property numbers the handlers use.
#pragma once

#include <cstdint>

namespace lexavo::app {

inline constexpr std::int32_t kMainWindow = 0x52010001;

inline constexpr std::int32_t kSkin = 0x16010007;            // 窗口EX1
inline constexpr std::int32_t kVoiceLabel = 0x16010015;      // 标签EX1
inline constexpr std::int32_t kVoiceCombo = 0x16010009;      // 组合框EX_语音库
inline constexpr std::int32_t kRateLabel = 0x16010017;       // 标签EX_语速
inline constexpr std::int32_t kRateSlider = 0x16010016;      // 滑块条EX_语速
inline constexpr std::int32_t kPlayButton = 0x1601000B;      // 按钮EX_播放
inline constexpr std::int32_t kGenerateButton = 0x16010019;  // 按钮EX_生成音频
inline constexpr std::int32_t kUsageNotesButton = 0x160100E5;  // 按钮EX1
inline constexpr std::int32_t kTextBox = 0x1601000D;         // 编辑框EX_文字
inline constexpr std::int32_t kStatusLine = 0x1601002E;      // 标签EX_信息

// Control property numbers.
inline constexpr int kDisabledState = 9;
inline constexpr int kPosition = 16;
inline constexpr int kCaption = 20;
inline constexpr int kSelectedIndex = 37;
inline constexpr int kText = 38;
inline constexpr int kCurrentText = 45;

}  // namespace lexavo::app
