#include "desktop.h"

namespace desktop {

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount() >= end) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD end = GetTickCount() + timeoutMs;
    while (!done()) {
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return done();
        Pump(10);
    }
    return true;
}

std::wstring WindowText(HWND w) {
    int n = GetWindowTextLengthW(w);
    std::wstring s(n + 1, L'\0');
    GetWindowTextW(w, s.data(), n + 1);
    s.resize(wcslen(s.c_str()));
    return s;
}

bool IsClass(HWND w, const wchar_t* name) {
    wchar_t cls[64];
    return GetClassNameW(w, cls, 64) && _wcsicmp(cls, name) == 0;
}

namespace {

struct Search {
    DWORD processId;
    const std::function<bool(HWND)>& keep;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindows(HWND w, LPARAM p) {
    auto* search = reinterpret_cast<Search*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == search->processId && search->keep(w)) search->found.push_back(w);
    return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND w, LPARAM p) {
    if (!IsClass(w, L"Static")) return TRUE;
    std::wstring t = WindowText(w);
    auto* text = reinterpret_cast<std::wstring*>(p);
    if (!t.empty()) *text += (text->back() == L'|' ? L"" : L" ") + t;
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId, const std::function<bool(HWND)>& keep) {
    Search search{processId, keep, {}};
    EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> DialogBoxes(DWORD processId) {
    return TopLevelWindows(processId, [](HWND w) { return IsWindowVisible(w) && IsClass(w, L"#32770"); });
}

std::wstring BoxText(HWND box) {
    std::wstring text = WindowText(box) + L"|";
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

void PressButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace desktop
