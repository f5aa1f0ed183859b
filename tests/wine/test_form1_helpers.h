#pragma once
// What the window's tests share: real key presses, and a look at each message box as it
// opens (before the dialog watcher dismisses it).
#include <windows.h>

#include <string>
#include <vector>

#include "wine_test.h"

namespace form1test {

// One key press (with Shift held when asked) through the system's input queue, then the
// messages it caused.
inline void Press(WORD key, bool shift = false) {
    std::vector<INPUT> input;
    auto add = [&](WORD k, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        input.push_back(i);
    };
    if (shift) add(VK_SHIFT, false);
    add(key, false);
    add(key, true);
    if (shift) add(VK_SHIFT, true);
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    orvtest::Pump(150);
}

// Runs look() on this thread each time a message box (#32770) is activated, while it is up.
class BoxSpy {
public:
    using Look = void (*)(HWND box, void* context);
    BoxSpy(Look look, void* context) {
        current() = this;
        look_ = look;
        context_ = context;
        hook_ = SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
    }
    ~BoxSpy() {
        UnhookWindowsHookEx(hook_);
        current() = nullptr;
    }
    BoxSpy(const BoxSpy&) = delete;
    BoxSpy& operator=(const BoxSpy&) = delete;

private:
    static BoxSpy*& current() {
        static BoxSpy* spy = nullptr;
        return spy;
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        BoxSpy* spy = current();
        if (code == HCBT_ACTIVATE && spy) {
            wchar_t cls[16] = L"";
            GetClassNameW(reinterpret_cast<HWND>(wp), cls, 16);
            if (wcscmp(cls, L"#32770") == 0) spy->look_(reinterpret_cast<HWND>(wp), spy->context_);
        }
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    HHOOK hook_ = nullptr;
    Look look_ = nullptr;
    void* context_ = nullptr;
};

using orvtest::Count;

}  // namespace form1test
