#include "platform/speech/window_messages.h"

#include <mutex>

namespace lexavo::sp {
namespace {
std::mutex g_mutex;
MessageSender g_sender;
}  // namespace

void SetMessageSender(MessageSender sender) {
    std::lock_guard lock(g_mutex);
    g_sender = std::move(sender);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageSender sender;
    {
        std::lock_guard lock(g_mutex);
        sender = g_sender;
    }
    if (!window || !sender) return 0;
    return sender(window, message, wParam, lParam);
}

}  // namespace lexavo::sp
