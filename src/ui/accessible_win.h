#pragma once
// What a screen reader is told of a control the system cannot describe: its
// name, role and action, answered to WM_GETOBJECT. Place, parent, focus and
// the rest come from the system's own object for the window.
#include <windows.h>

#include <string>
#include <vector>

namespace kv::ui {

struct AccessibleFace {
    std::wstring name;
    long role = 0;               // ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_LINK ...
    long extraState = 0;         // STATE_SYSTEM_ flags added to the system's (STATE_SYSTEM_LINKED ...)
    std::wstring description;    // empty: the system's
    std::wstring defaultAction;  // "Press", "Jump"; empty: the system's
    // Posted to the control for the default action: the reader's call
    // returns at once, and a control gone by then receives nothing. 0: the
    // system's action.
    UINT actionMessage = 0;
};

// The answer to WM_GETOBJECT: the face for the client object, 0 for every
// other object (the system answers those).
LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, const AccessibleFace& face);

// A part a window paints itself (a link label): shown to a reader as a simple
// child, after the window's own child windows.
struct AccessiblePart {
    std::wstring name;
    long role = 0;
    long state = 0;
    RECT rect{};  // client coordinates
    std::wstring defaultAction;
    UINT actionMessage = 0;  // posted with the part's index as WPARAM
};

// The answer to WM_GETOBJECT for a window with painted parts: the system's
// object for it, and the parts as further children.
LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, std::vector<AccessiblePart> parts);

}  // namespace kv::ui
