#include "hhctrl_client.h"

#include "desktop.h"
#include "error.h"
#include "sim_client.h"

namespace simclient {

namespace {

std::wstring AsidePath() { return HtmlHelpPath() + L".orvalis-aside"; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Moves the stand-in aside (after putting back what an earlier call left there); fails when
// this process has it loaded.
void MoveAside() {
    RestoreHtmlHelp();
    const std::wstring path = HtmlHelpPath();
    if (GetModuleHandleW(path.c_str()))
        orv::Raise(E_UNEXPECTED, L"hhctrl.ocx is loaded in this process: free it before it goes missing");
    if (!MoveFileExW(path.c_str(), AsidePath().c_str(), MOVEFILE_REPLACE_EXISTING))
        orv::Raise(HRESULT_FROM_WIN32(GetLastError()), L"hhctrl.ocx can't be moved aside");
}

}  // namespace

std::wstring HtmlHelpPath() {
    wchar_t dir[MAX_PATH];
    UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    return std::wstring(dir, n < MAX_PATH ? n : 0) + L"\\hhctrl.ocx";
}

std::vector<std::wstring> HtmlHelpCalls() {
    std::vector<std::wstring> lines;
    for (const std::wstring& line : SplitLines(Log()))
        if (line.compare(0, 9, L"HtmlHelp.") == 0 || line.compare(0, 9, L"HtmlHelp ") == 0) lines.push_back(line);
    return lines;
}

std::vector<HelpWindow> HelpWindows() {
    std::vector<HelpWindow> found;
    auto help = [](HWND w) { return desktop::IsClass(w, kHelpViewerClass) || desktop::IsClass(w, kHelpPopupClass); };
    for (HWND w : desktop::TopLevelWindows(GetCurrentProcessId(), help)) {
        HelpWindow h;
        h.hwnd = w;
        h.popup = desktop::IsClass(w, kHelpPopupClass);
        h.owner = GetWindow(w, GW_OWNER);
        h.text = desktop::WindowText(w);
        h.visible = IsWindowVisible(w) != FALSE;
        GetWindowRect(w, &h.rect);
        found.push_back(h);
    }
    return found;
}

void RemoveHtmlHelp() { MoveAside(); }

void DamageHtmlHelp() {
    MoveAside();
    // The first bytes of a program and nothing after them: a file cut short on its way here.
    HANDLE f = CreateFileW(HtmlHelpPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) orv::Raise(HRESULT_FROM_WIN32(GetLastError()), L"no damaged hhctrl.ocx can be written");
    const char bytes[] = "MZ this file was cut short";
    DWORD written = 0;
    WriteFile(f, bytes, sizeof bytes - 1, &written, nullptr);
    CloseHandle(f);
}

void RestoreHtmlHelp() {
    const std::wstring aside = AsidePath();
    if (!Exists(aside)) return;
    MoveFileExW(aside.c_str(), HtmlHelpPath().c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace simclient
