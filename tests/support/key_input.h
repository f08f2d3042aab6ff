#pragma once
// Key strokes for SendInput: each key pressed in order, then let go in reverse
// ({VK_SHIFT, VK_TAB} is Shift+Tab).
#include <windows.h>

#include <vector>

namespace kvtest {

inline std::vector<INPUT> KeyStrokes(const std::vector<WORD>& keys) {
    std::vector<INPUT> in;
    for (WORD k : keys) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        in.push_back(i);
    }
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = *it;
        i.ki.dwFlags = KEYEVENTF_KEYUP;
        in.push_back(i);
    }
    return in;
}

}  // namespace kvtest
