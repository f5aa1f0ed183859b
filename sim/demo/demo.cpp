// The demo: plays the mail client through one whole run of the add-in, the way a person
// would use it, and prints what came out.
//
//   OrvalisDemo.exe <save-path> <screenshot.bmp>
//
// Start-up (the add-in installs its button and menu item, then disconnects itself), a
// click on the button (the add-in is loaded on demand and opens its window), "Create
// List" on the address-book picks of the scenario (ORVALIS_SIM_SCENARIO), a screenshot
// of the window, "Copy to Clipboard", "Save List" to <save-path>, closing the window, and
// the host's shutdown.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>

#include "clipboard.h"
#include "desktop.h"
#include "error.h"
#include "help_viewer.h"
#include "save_as.h"
#include "screenshot.h"
#include "sim_client.h"
#include "utf8.h"

namespace {

// The window's class and its buttons, as a person sees them.
const wchar_t kWindowClass[] = L"OrvalisForm1";

void Say(const std::wstring& text) {
    fputs(sim::Narrow(text).c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

HWND FindForm1() {
    HWND found = nullptr;
    desktop::WaitFor([&] {
        found = FindWindowW(kWindowClass, nullptr);
        return found && IsWindowVisible(found);
    }, 2000);
    return found && IsWindowVisible(found) ? found : nullptr;
}

HWND Button(HWND form, const wchar_t* caption) {
    return FindWindowExW(form, nullptr, L"Button", caption);
}

// WinHelp hands its requests to the stand-in viewer, so the demo shows what was asked instead
// of starting a viewer for a help file it doesn't have.
void ShowHelpRequests(const desktop::WinHelpCatcher& viewer, size_t* shown) {
    for (; *shown < viewer.Requests().size(); ++*shown) {
        const auto& r = viewer.Requests()[*shown];
        Say(L"  help: " + sim::Widen(r.file) + L", command " + std::to_wstring(r.command) + L", topic " +
            std::to_wstring(r.data));
    }
}

void ShowControls() {
    for (const wchar_t* path : {L"Standard/Orvalis", L"Menu Bar/&Tools/&Orvalis Utility"}) {
        auto props = simclient::HostControl(path);
        Say(std::wstring(L"  ") + path + (props.empty() ? L": missing" : L": installed, OnAction " + props[L"OnAction"]));
    }
}

void ShowAddIns() {
    for (const auto& a : simclient::HostAddIns())
        Say(L"  add-in \"" + a.description + L"\" (" + a.progId + L"): " + (a.connected ? L"connected" : L"disconnected"));
}

// "MAPI.Session" is created by its ProgID: a machine that has it says so.
bool CdoRegistered() {
    CLSID clsid;
    return SUCCEEDED(CLSIDFromProgID(L"MAPI.Session", &clsid));
}

int Run(const std::wstring& savePath, const std::wstring& screenshot, bool withoutCdo) {
    desktop::WinHelpCatcher viewer;
    size_t helpShown = 0;
    if (withoutCdo) simclient::HideCdoRegistration();
    Say(CdoRegistered() ? L"CDO is installed: the add-in uses its address book."
                        : L"CDO is not installed: the add-in uses the mail client's own address book.");
    Say(L"1. The mail client starts.");
    simclient::HostStartup();
    ShowHelpRequests(viewer, &helpShown);
    ShowControls();
    ShowAddIns();

    Say(L"2. A click on the toolbar button \"Orvalis\".");
    simclient::HostClick(L"Standard/Orvalis");
    HWND form = FindForm1();
    if (!form) orv::Raise(E_FAIL, L"The builder window did not open");
    Say(L"  window \"" + desktop::WindowText(form) + L"\" open");
    ShowAddIns();

    Say(L"3. \"Create List\" on the address-book picks.");
    SendMessageW(Button(form, L"Create List"), BM_CLICK, 0, 0);
    desktop::Pump(300);
    HWND list = FindWindowExW(form, nullptr, L"ListBox", nullptr);
    LRESULT lines = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < lines; ++i) {
        std::wstring line(SendMessageW(list, LB_GETTEXTLEN, i, 0) + 1, L'\0');
        line.resize(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data())));
        Say(L"  | " + line);
    }
    if (!screenshot.empty() && desktop::SaveBitmap(desktop::Screenshot(form), screenshot)) Say(L"  screenshot: " + screenshot);

    Say(L"4. \"Copy to Clipboard\". The clipboard now holds the subscriber list:");
    SendMessageW(Button(form, L"Copy to Clipboard"), BM_CLICK, 0, 0);
    std::wstring clip = desktop::ClipboardText();
    Say(L"----");
    Say(clip.substr(0, clip.size() >= 2 ? clip.size() - 2 : 0));
    Say(L"----");

    Say(L"5. \"Save List\" to " + savePath);
    DeleteFileW(savePath.c_str());
    {
        desktop::SaveAsDriver answer({{true, savePath}});
        SendMessageW(Button(form, L"Save List"), BM_CLICK, 0, 0);
    }
    if (GetFileAttributesW(savePath.c_str()) == INVALID_FILE_ATTRIBUTES) orv::Raise(E_FAIL, L"The list was not saved");
    Say(L"  saved: " + savePath);

    Say(L"6. The user closes the window.");
    SendMessageW(form, WM_CLOSE, 0, 0);
    desktop::Pump(100);
    ShowAddIns();

    Say(L"7. The mail client shuts down.");
    simclient::HostShutdown();
    ShowHelpRequests(viewer, &helpShown);
    if (withoutCdo) simclient::RestoreCdoRegistration();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // --without-cdo first: the run then plays a machine where CDO isn't installed.
    const bool withoutCdo = argc > 1 && std::wstring(argv[1]) == L"--without-cdo";
    if (withoutCdo) --argc, ++argv;
    if (argc < 2) {
        fputs("usage: OrvalisDemo [--without-cdo] <save-path> [screenshot.bmp]\n", stderr);
        return 2;
    }
    OleInitialize(nullptr);
    int rc = 1;
    try {
        rc = Run(argv[1], argc > 2 ? argv[2] : L"", withoutCdo);
    } catch (const orv::Error& e) {
        Say(L"demo failed: " + e.description());
    } catch (...) {
        Say(L"demo failed");
    }
    OleUninitialize();
    return rc;
}
