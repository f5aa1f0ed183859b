#include "help_windows.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "desktop.h"
#include "hhctrl_client.h"
#include "sim_client.h"

namespace hhsim {

namespace {

using simclient::kHelpPopupClass;
using simclient::kHelpViewerClass;

// The live-object kinds of the two windows.
const wchar_t kViewerKind[] = L"HelpWindow";
const wchar_t kPopupKind[] = L"HelpPopup";

HINSTANCE g_module = nullptr;

void Count(const wchar_t* kind, long delta) {
    try {
        simclient::CountObject(kind, delta);
    } catch (...) {
        // Without the stand-ins' server there is nothing to count in.
    }
}

const wchar_t* KindOf(HWND w) { return desktop::IsClass(w, kHelpPopupClass) ? kPopupKind : kViewerKind; }

LRESULT CALLBACK HelpProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_NCCREATE: Count(KindOf(w), 1); break;
        case WM_CLOSE: DestroyWindow(w); return 0;
        case WM_NCDESTROY: Count(KindOf(w), -1); break;
        default: break;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

void RegisterClasses() {
    for (const wchar_t* name : {kHelpViewerClass, kHelpPopupClass}) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &HelpProc;
        wc.hInstance = g_module;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_INFOBK + 1);
        wc.lpszClassName = name;
        RegisterClassExW(&wc);  // already there from an earlier call: fine
    }
}

// The windows of this module (not another's of the same class), of one class or of both.
bool IsOurs(HWND w, const wchar_t* onlyClass) {
    bool known = onlyClass ? desktop::IsClass(w, onlyClass)
                           : desktop::IsClass(w, kHelpViewerClass) || desktop::IsClass(w, kHelpPopupClass);
    return known && reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(w, GWLP_HINSTANCE)) == g_module;
}

bool OnThisThread(HWND w) { return GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId(); }

std::vector<HWND> ThreadWindows(const wchar_t* onlyClass) {
    return desktop::TopLevelWindows(GetCurrentProcessId(), [&](HWND w) { return OnThisThread(w) && IsOurs(w, onlyClass); });
}

std::vector<HWND> ProcessWindows() {
    return desktop::TopLevelWindows(GetCurrentProcessId(), [](HWND w) { return IsOurs(w, nullptr); });
}

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return s;
}

// A viewer per help file and window type, as the help system keeps them.
std::wstring ViewerKey(const std::wstring& file) {
    size_t gt = file.find(L'>');
    return Lower(HelpFileOf(file)) + L">" + (gt == std::wstring::npos ? L"" : Lower(file.substr(gt + 1)));
}

HWND OwnerFor(HWND owner) { return owner && IsWindow(owner) ? owner : nullptr; }

// A margin the caller left to the system (-1).
LONG Margin(LONG m) { return m < 0 ? 8 : m; }

}  // namespace

void SetModule(HINSTANCE module) { g_module = module; }

std::wstring HelpFileOf(const std::wstring& file) {
    size_t end = std::min(file.find(L"::"), file.find(L'>'));
    return end == std::wstring::npos ? file : file.substr(0, end);
}

HWND ShowViewer(HWND owner, const std::wstring& file) {
    const std::wstring key = ViewerKey(file);
    for (HWND w : ThreadWindows(kHelpViewerClass)) {
        if (ViewerKey(desktop::WindowText(w)) != key) continue;
        SetWindowTextW(w, file.c_str());
        return w;
    }
    RegisterClasses();
    return CreateWindowExW(0, kHelpViewerClass, file.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480,
                           OwnerFor(owner), nullptr, g_module, nullptr);
}

HWND ShowPopup(HWND owner, const std::wstring& text, POINT pt, const RECT& margins) {
    for (HWND w : ThreadWindows(kHelpPopupClass)) DestroyWindow(w);
    RegisterClasses();
    HWND w = CreateWindowExW(WS_EX_TOOLWINDOW, kHelpPopupClass, text.c_str(), WS_POPUP | WS_BORDER, 0, 0, 0, 0,
                             OwnerFor(owner), nullptr, g_module, nullptr);
    if (!w) return nullptr;
    // As large as the text needs, at most 400 pixels wide, its top centre where it was asked for.
    RECT r{0, 0, 400, 0};
    if (HDC dc = GetDC(w)) {
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(w, dc);
    }
    const int width = r.right - r.left + Margin(margins.left) + Margin(margins.right);
    const int height = r.bottom - r.top + Margin(margins.top) + Margin(margins.bottom);
    SetWindowPos(w, nullptr, pt.x - width / 2, pt.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return w;
}

void CloseAll() {
    for (HWND w : ProcessWindows()) {
        if (OnThisThread(w)) {
            DestroyWindow(w);
        } else {
            // Another thread's window closes on that thread; a thread that doesn't answer
            // doesn't hold this one up for long.
            SendMessageTimeoutW(w, WM_CLOSE, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 2000, nullptr);
        }
    }
}

size_t Abandon() {
    std::vector<HWND> open = ProcessWindows();
    for (HWND w : open) {
        if (OnThisThread(w)) {
            DestroyWindow(w);
        } else {
            Count(KindOf(w), -1);
            SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
        }
    }
    for (const wchar_t* name : {kHelpViewerClass, kHelpPopupClass}) UnregisterClassW(name, g_module);
    return open.size();
}

}  // namespace hhsim
