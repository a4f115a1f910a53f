// Window messages between the speech layer and the host's windows. The host's run time
// installs the sender; without one, messages go nowhere.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/speech/com_types.h"

namespace lexavo::sp {

using HWND = void*;
using UINT = std::uint32_t;
using LRESULT = std::intptr_t;

inline constexpr UINT WM_APP = 0x8000;

// The host's object for one window or control. Its handle may become null while the object
// lives on (a closed window); the handle is read afresh for every message.
class WindowObject {
public:
    virtual ~WindowObject() = default;
    virtual HWND Handle() const = 0;
};

using MessageSender = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
void SetMessageSender(MessageSender sender);
// Delivers the message synchronously to the window; 0 when there is no sender or window.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace lexavo::sp
