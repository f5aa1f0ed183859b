#include "help.h"

#include <htmlhelp.h>

#include <new>

#include "error.h"
#include "handles.h"
#include "messages.h"
#include "module.h"
#include "paths.h"
#include "report.h"
#include "startup_note.h"

namespace orvalis {

namespace {

constexpr DWORD kStartupHelpContext = IDH_STARTUP_NOTE;
// Passed on as the help button has always passed it, although WinHelp defines no command 15:
// the viewer decides what it shows.
constexpr int16_t kHelpCommand = 15;
constexpr wchar_t kCompiledHelp[] = L"" ORVALIS_COMPILED_HELP_FILE;

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// hhctrl.ocx from the system folder, from the first help call that needs it until CloseHelp.
// Plain values: nothing here is released at process exit, where the library may be gone.
struct HtmlHelpLibrary {
    HMODULE module = nullptr;
    HtmlHelpFunction htmlHelpW = nullptr;
};
HtmlHelpLibrary g_htmlHelp;

// The compiled help beside the add-in's library, or "" when it isn't there.
std::wstring CompiledHelpPath() {
    const std::wstring library = orv::ModulePath(orv::ThisModule());
    const std::wstring folder = orv::FolderOf(library);
    if (folder.empty()) return std::wstring();
    const std::wstring path = orv::PathIn(folder, kCompiledHelp);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::wstring();
    return path;
}

// The HtmlHelpW entry of the system folder's hhctrl.ocx, loaded by its full path (never from the
// current folder or the search path, where another file of that name could be); null where
// it can't be loaded.
HtmlHelpFunction LoadHtmlHelp() {
    if (g_htmlHelp.htmlHelpW) return g_htmlHelp.htmlHelpW;
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(system, n) + L"\\hhctrl.ocx";
    orv::UniqueModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) return nullptr;
    auto entry = reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void (*)()>(GetProcAddress(module.get(), "HtmlHelpW")));
    if (!entry) return nullptr;
    g_htmlHelp = {module.release(), entry};
    return entry;
}

// HTML Help serves where the compiled help and hhctrl.ocx are both there: then its entry and
// the help's full path.
HtmlHelpFunction HtmlHelpServes(std::wstring& compiledHelp) {
    compiledHelp = CompiledHelpPath();
    return compiledHelp.empty() ? nullptr : LoadHtmlHelp();
}

// Where the start-up pop-up stands: its top centre at the middle of the (hidden) window it is
// shown over, which the window keeps in the middle of the work area.
POINT PopupPoint(HWND owner) {
    RECT r{};
    if (!owner || !GetWindowRect(owner, &r)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return {r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 3};
}

}  // namespace

std::wstring ControlsHelpFile() {
    std::wstring compiledHelp;
    if (HtmlHelpServes(compiledHelp)) return compiledHelp;
    return L"" ORVALIS_HELP_FILE;
}

void ShowStartupHelp(HWND owner) noexcept {
    try {
        std::wstring compiledHelp;
        if (HtmlHelpFunction htmlHelp = HtmlHelpServes(compiledHelp)) {
            // hhctrl.ocx compiles no text pop-ups into the help file: the text is the library's own.
            HH_POPUP popup{};
            popup.cbStruct = sizeof popup;
            popup.hinst = orv::ThisModule();
            popup.idString = IDS_STARTUP_NOTE;
            popup.pt = PopupPoint(owner);
            popup.clrForeground = popup.clrBackground = static_cast<COLORREF>(-1);
            popup.rcMargins = {-1, -1, -1, -1};
            htmlHelp(owner, nullptr, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup));
            return;
        }
    } catch (const std::bad_alloc&) {
        return;  // no memory for the help's path: no help, as a help that fails
    }
    // The ANSI entry on purpose, as the start-up pop-up has always been asked for; the window's
    // Help button goes through CommonDialog1, which is Unicode.
    WinHelpA(owner, ORVALIS_HELP_FILE, HELP_CONTEXTPOPUP, kStartupHelpContext);
}

void ShowHelpFile(HWND owner, CommonDialog& dlg) {
    try {
        std::wstring compiledHelp;
        if (HtmlHelpFunction htmlHelp = HtmlHelpServes(compiledHelp)) {
            htmlHelp(owner, compiledHelp.c_str(), HH_DISPLAY_TOC, 0);
            return;
        }
        dlg.HelpFile = L"" ORVALIS_HELP_FILE;
        dlg.HelpCommand = kHelpCommand;
        dlg.ShowHelp();
    } catch (...) {
        ShowCurrentFailure(owner, messages::kHelpFailed);
    }
}

void CloseHelp() noexcept {
    if (!g_htmlHelp.module) return;
    // Its windows run on code of hhctrl.ocx: they go before the library does.
    g_htmlHelp.htmlHelpW(nullptr, nullptr, HH_CLOSE_ALL, 0);
    FreeLibrary(g_htmlHelp.module);
    g_htmlHelp = {};
}

}  // namespace orvalis
