#include "help_viewer.h"

#include <cstring>

namespace desktop {

namespace {

constexpr ULONG_PTR kWinHelpMagic = 0xA1DE505;
constexpr wchar_t kClass[] = L"MS_WINHELP";

// The header that precedes the file name in a request.
#pragma pack(push, 2)
struct RequestHeader {
    WORD size;
    WORD command;
    LONG data;
    LONG reserved;
    WORD ofsFilename;
    WORD ofsData;
};
#pragma pack(pop)

}  // namespace

WinHelpCatcher::WinHelpCatcher() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &WinHelpCatcher::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, kClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, this);
}

WinHelpCatcher::~WinHelpCatcher() {
    if (window_) DestroyWindow(window_);
    UnregisterClassW(kClass, GetModuleHandleW(nullptr));
}

LRESULT CALLBACK WinHelpCatcher::Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    } else if (msg == WM_COPYDATA) {
        auto* self = reinterpret_cast<WinHelpCatcher*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        if (self && cds->dwData == kWinHelpMagic && cds->cbData >= sizeof(RequestHeader)) {
            const auto* bytes = static_cast<const char*>(cds->lpData);
            RequestHeader head;
            memcpy(&head, bytes, sizeof head);
            HelpRequest r;
            r.command = head.command;
            r.data = head.data;
            if (head.ofsFilename && head.ofsFilename < cds->cbData)
                r.file.assign(bytes + head.ofsFilename, strnlen(bytes + head.ofsFilename, cds->cbData - head.ofsFilename));
            self->requests_.push_back(r);
            return TRUE;
        }
    }
    return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace desktop
