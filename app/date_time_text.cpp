#include "app/date_time_text.h"

#include <cstdio>

namespace lexavo::app {

std::string DateTimeText(const std::tm& t) {
    char text[96];
    int n = std::snprintf(text, sizeof text, "%d年%d月%d日", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    const std::size_t room = sizeof text - static_cast<std::size_t>(n);
    if (t.tm_sec != 0)
        std::snprintf(text + n, room, "%d时%d分%d秒", t.tm_hour, t.tm_min, t.tm_sec);
    else if (t.tm_min != 0)
        std::snprintf(text + n, room, "%d时%d分", t.tm_hour, t.tm_min);
    else if (t.tm_hour != 0)
        std::snprintf(text + n, room, "%d时", t.tm_hour);
    return text;
}

}  // namespace lexavo::app
