// The text a wave file is named by: the local date, then the time down to its last non-zero
// field, such as 2021年10月25日13时46分53秒 or 2021年10月25日13时.
#pragma once

#include <ctime>
#include <string>

namespace lexavo::app {

std::string DateTimeText(const std::tm& local);

}  // namespace lexavo::app
