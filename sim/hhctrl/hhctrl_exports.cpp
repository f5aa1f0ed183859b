// hhctrl.ocx for the test bench: HtmlHelpA and HtmlHelpW as the HTML Help API documents them,
// with every call in the stand-ins' log (sim/hhctrl/README.md) and the scenario's fault rules
// applied to it. The viewer and the pop-ups are hidden windows of this module.
#include <windows.h>
#include <htmlhelp.h>

#include "call_text.h"
#include "help_windows.h"
#include "sim_client.h"

namespace {

using hhsim::Popup;
using hhsim::Request;

std::wstring Wide(const wchar_t* s) { return s; }
std::wstring Wide(const char* s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
    w.resize(static_cast<size_t>(n - 1));
    return w;
}

template <class Char>
std::optional<std::wstring> Text(const Char* s) {
    if (!s) return std::nullopt;
    return Wide(s);
}

// HH_POPUP with the strings of HtmlHelpA or of HtmlHelpW.
template <class Char>
struct PopupOf {
    int cbStruct;
    HINSTANCE hinst;
    UINT idString;
    const Char* pszText;
    POINT pt;
    COLORREF clrForeground;
    COLORREF clrBackground;
    RECT rcMargins;
    const Char* pszFont;
};
static_assert(sizeof(PopupOf<char>) == sizeof(HH_POPUP) && sizeof(PopupOf<wchar_t>) == sizeof(HH_POPUP));

// The string resource idString of hinst (of the program for NULL), as LoadString finds it.
std::optional<std::wstring> StringResource(HINSTANCE hinst, UINT id) {
    HINSTANCE module = hinst ? hinst : GetModuleHandleW(nullptr);
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(module, path, MAX_PATH)) return std::nullopt;  // no module: nothing to read
    const wchar_t* text = nullptr;
    int n = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text) return std::nullopt;
    return std::wstring(text, static_cast<size_t>(n));
}

template <class Char>
Popup ReadPopup(const PopupOf<Char>* in, bool hasFile) {
    Popup p;
    p.cbStruct = in->cbStruct;
    if (!p.complete()) return p;  // the rest may not be there: read no further
    p.hinst = in->hinst;
    p.idString = in->idString;
    p.text = Text(in->pszText);
    p.pt = in->pt;
    p.foreground = in->clrForeground;
    p.background = in->clrBackground;
    p.margins = in->rcMargins;
    p.font = Text(in->pszFont);
    if (p.idString == 0) p.shown = p.text;
    else if (!hasFile) p.shown = StringResource(p.hinst, p.idString);
    return p;
}

template <class Char>
Request Read(const wchar_t* api, HWND owner, const Char* file, UINT command, DWORD_PTR data) {
    Request r;
    r.api = api;
    r.owner = owner;
    r.file = Text(file);
    r.command = command;
    r.data = data;
    if (hhsim::TakesString(command)) r.topic = Text(reinterpret_cast<const Char*>(data));
    if (command == HH_DISPLAY_TEXT_POPUP && data)
        r.popup = ReadPopup(reinterpret_cast<const PopupOf<Char>*>(data), r.file.has_value());
    return r;
}

bool IsFile(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

LONG g_cookies = 0;
// Set once the stand-ins' server has taken a call: only then is it loaded for the last word.
bool g_logging = false;

// What the help system does for a call that no fault rule stops.
HWND Perform(const Request& r) {
    switch (r.command) {
        case HH_DISPLAY_TOPIC:
        case HH_DISPLAY_TOC:
        case HH_DISPLAY_INDEX:
        case HH_HELP_CONTEXT:
            // A help file that isn't there opens nothing.
            if (!r.file || !IsFile(hhsim::HelpFileOf(*r.file))) return nullptr;
            return hhsim::ShowViewer(r.owner, *r.file);
        case HH_DISPLAY_TEXT_POPUP:
            if (!r.popup || !r.popup->complete() || !r.popup->shown) return nullptr;
            return hhsim::ShowPopup(r.owner, *r.popup->shown, r.popup->pt, r.popup->margins);
        case HH_CLOSE_ALL:
            hhsim::CloseAll();
            return nullptr;
        case HH_INITIALIZE:
            if (r.data) *reinterpret_cast<DWORD*>(r.data) = static_cast<DWORD>(InterlockedIncrement(&g_cookies));
            return nullptr;
        default:
            return nullptr;
    }
}

HWND Answer(const Request& r) {
    simclient::Fault fault = simclient::Fault::None;
    try {
        fault = simclient::RecordCall(L"HtmlHelp", hhsim::CommandName(r.command), r.api, hhsim::CallLine(r));
        g_logging = true;
    } catch (...) {
        // Without the stand-ins' server: no log and no faults, the help works all the same.
    }
    HWND answer = fault == simclient::Fault::None ? Perform(r) : nullptr;
    try {
        simclient::RecordAnswer(L"<- HtmlHelp." + r.api + (answer ? L" HWND" : L" NULL"));
    } catch (...) {
    }
    return answer;
}

template <class Char>
HWND Guarded(const wchar_t* api, HWND owner, const Char* file, UINT command, DWORD_PTR data) noexcept {
    try {
        return Answer(Read(api, owner, file, command, data));
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        hhsim::SetModule(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // A FreeLibrary (not the process's end) while help windows are open would leave them
        // calling into a module that is gone: say so in the log, and don't let it crash.
        try {
            size_t open = hhsim::Abandon();
            if (open && g_logging)
                simclient::RecordCall(L"HtmlHelp", L"", L"", L"HtmlHelp unloaded with " + std::to_wstring(open) +
                                                                 (open == 1 ? L" help window open" : L" help windows open"));
        } catch (...) {
        }
    }
    return TRUE;
}

extern "C" HWND WINAPI HtmlHelpW(HWND hwndCaller, LPCWSTR pszFile, UINT uCommand, DWORD_PTR dwData) {
    return Guarded(L"HtmlHelpW", hwndCaller, pszFile, uCommand, dwData);
}

extern "C" HWND WINAPI HtmlHelpA(HWND hwndCaller, LPCSTR pszFile, UINT uCommand, DWORD_PTR dwData) {
    return Guarded(L"HtmlHelpA", hwndCaller, pszFile, uCommand, dwData);
}
