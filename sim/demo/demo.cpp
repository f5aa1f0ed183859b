// The demo: plays the mail client through one whole run of the add-in, the way a person
// would use it, and prints what came out.
//
//   OrvalisDemo.exe [--without-cdo] [--client <year>] [--nested] [--format <form>] <save-path> <screenshot.bmp>
//
// Start-up (the add-in installs its button and menu item, then disconnects itself), a
// click on the button (the add-in is loaded on demand and opens its window), "Create
// List" on the address-book picks of the scenario (ORVALIS_SIM_SCENARIO), a screenshot
// of the window, "Copy to Clipboard", "Save List" to <save-path>, closing the window, and
// the host's shutdown.
//
// --client plays that version of the mail client (2000, 2002, 2003, 2007; 2010, 2013, 2016).
// From 2010 on the client is a ribbon host and the run takes the add-in's ribbon button
// instead: start-up, a click on the button "Orvalis" of the ribbon's group "Orvalis", Create
// List, copy, save, close, a second click, and the shutdown with the window open. There the
// user may first set the list's options beside the button: --nested ticks "Lists in lists",
// --format chooses the form of the list ("address-name", "mailman" or "csv") in "Format".
//
// A scenario (or host state file) that doesn't load stops it before the mail client starts,
// with one line naming the file, the place and what is wrong, and exit code 2.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <functional>
#include <string>

#include "clipboard.h"
#include "desktop.h"
#include "error.h"
#include "help_viewer.h"
#include "hhctrl_client.h"
#include "save_as.h"
#include "screenshot.h"
#include "sim_client.h"
#include "utf8.h"

namespace {

// The exit code for a data file that doesn't load, as for a wrong command line.
constexpr int kBadDataFile = 2;

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

// The quoted text after marker in a stand-in's log line, or "".
std::wstring QuotedAfter(const std::wstring& line, const std::wstring& marker) {
    size_t at = line.find(marker);
    if (at == std::wstring::npos) return L"";
    at = line.find(L'"', at + marker.size());
    size_t end = at == std::wstring::npos ? at : line.find(L'"', at + 1);
    return end == std::wstring::npos ? L"" : line.substr(at + 1, end - at - 1);
}

// WinHelp hands its requests to the stand-in viewer, and HTML Help its calls to the stand-in
// hhctrl.ocx, so the demo shows what was asked instead of a viewer (Wine's own HTML Help
// viewer needs a web engine that the demo's prefix doesn't have).
void ShowHelpRequests(const desktop::WinHelpCatcher& viewer, size_t* shown, size_t* htmlShown) {
    for (; *shown < viewer.Requests().size(); ++*shown) {
        const auto& r = viewer.Requests()[*shown];
        Say(L"  help: " + sim::Widen(r.file) + L", command " + std::to_wstring(r.command) + L", topic " +
            std::to_wstring(r.data));
    }
    const auto calls = simclient::HtmlHelpCalls();
    for (; *htmlShown < calls.size(); ++*htmlShown) {
        const std::wstring& line = calls[*htmlShown];
        if (line.find(L"HH_DISPLAY_TEXT_POPUP") != std::wstring::npos)
            Say(L"  help: the start-up note pops up (HTML Help): \"" + QuotedAfter(line, L"string=") + L"\"");
        else if (line.find(L"HH_DISPLAY_TOC") != std::wstring::npos)
            Say(L"  help: the help opens at its contents (HTML Help)");
        else if (line.find(L"HH_CLOSE_ALL") != std::wstring::npos)
            Say(L"  help: its windows closed");
    }
}

void ShowControls() {
    for (const wchar_t* path : {L"Standard/Orvalis", L"Menu Bar/&Tools/&Orvalis Utility"}) {
        auto props = simclient::HostControl(path);
        Say(std::wstring(L"  ") + path + (props.empty() ? L": missing" : L": installed, OnAction " + props[L"OnAction"]));
    }
}

// What the client's signing policy made of the add-in at start-up, in the stand-in's words;
// false when it refused it.
bool ShowSignatureChecks() {
    bool refused = false;
    for (const auto& line : simclient::SplitLines(simclient::Log())) {
        const bool refusal = line.find(L".Create refused") != std::wstring::npos;
        if (refusal || line.find(L".Create accepted") != std::wstring::npos) Say(L"  policy: " + line);
        refused = refused || refusal;
    }
    return !refused;
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

// The window after a click, or an error when it doesn't open.
HWND WindowAfterClick() {
    HWND form = FindForm1();
    if (!form) orv::Raise(E_FAIL, L"The builder window did not open");
    Say(L"  window \"" + desktop::WindowText(form) + L"\" open");
    return form;
}

// Steps 3 to 5 of either run: "Create List" and a screenshot, "Copy to Clipboard", "Save List".
void MakeCopyAndSaveList(HWND form, const std::wstring& savePath, const std::wstring& screenshot) {
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
}

// The controls the add-ins put on the explorer's ribbon, as it shows them now.
void ShowRibbon() {
    auto controls = simclient::HostRibbonControls();
    if (controls.empty()) Say(L"  ribbon: no controls from add-ins");
    for (const auto& c : controls) {
        std::wstring text = L"  ribbon: tab " + c.tab + L", group \"" + c.groupLabel + L"\": " + c.kind + L" \"" +
                            c.Attribute(L"label") + L"\" (id " + c.Attribute(L"id");
        if (c.kind == L"button")
            text += L", " + (c.Attribute(L"size").empty() ? std::wstring(L"normal") : c.Attribute(L"size")) + L", onAction " +
                    c.Attribute(L"onAction") + L")";
        else if (c.kind == L"checkBox")
            text += std::wstring(L") ") + (c.pressed ? L"ticked" : L"unticked");
        else
            text += L") showing item " + std::to_wstring(c.selected) + L" (" + c.SelectedItem() + L")";
        Say(text + L" of " + c.progId);
    }
}

// The user sets the list's options on the ribbon, as asked on the command line.
void SetOptions(bool nested, const std::wstring& format) {
    if (nested && !simclient::HostRibbonControl(L"OrvalisExpandNested").pressed) {
        Say(L"   The user ticks \"Lists in lists\".");
        simclient::HostRibbonClick(L"OrvalisExpandNested");
    }
    if (!format.empty()) {
        const wchar_t* item = format == L"mailman" ? L"FormatMailman" : format == L"csv" ? L"FormatCsv" : L"FormatAddressName";
        Say(L"   The user chooses \"Format\": " + std::wstring(item) + L".");
        simclient::HostRibbonSelect(L"OrvalisListFormat", item);
    }
    if (nested || !format.empty()) ShowRibbon();
}

// The id the add-in's document gives its button "Orvalis" in the group "Orvalis"; "" when none.
std::wstring OrvalisButtonId() {
    for (const auto& b : simclient::HostRibbon())
        if (b.groupLabel == L"Orvalis" && b.Attribute(L"label") == L"Orvalis" && !b.Attribute(L"id").empty())
            return b.Attribute(L"id");
    return L"";
}

bool WindowShown() {
    HWND form = FindWindowW(kWindowClass, nullptr);
    return form && IsWindowVisible(form);
}

// One whole run. On a client up to 2007 the toolbar button loads the add-in on demand; from
// 2010 on (ribbon) the add-in stays connected and its ribbon button opens the window, a second
// time after it was closed, and the client shuts down with the window open.
int Run(const std::wstring& savePath, const std::wstring& screenshot, bool withoutCdo, bool ribbon, bool nested,
        const std::wstring& format) {
    desktop::WinHelpCatcher viewer;
    size_t helpShown = 0, htmlHelpShown = 0;
    if (withoutCdo) simclient::HideCdoRegistration();
    Say(CdoRegistered() ? L"CDO is installed: the add-in uses its address book."
                        : L"CDO is not installed: the add-in uses the mail client's own address book.");
    Say(L"1. The mail client starts.");
    simclient::HostStartup();
    if (!ShowSignatureChecks()) {
        ShowAddIns();
        Say(L"As its policy requires, the mail client refused the add-in: it is not loaded, and the run stops here.");
        Say(L"The mail client shuts down.");
        simclient::HostShutdown();
        if (withoutCdo) simclient::RestoreCdoRegistration();
        return 1;
    }
    ShowHelpRequests(viewer, &helpShown, &htmlHelpShown);
    if (ribbon) ShowRibbon();
    ShowControls();
    ShowAddIns();
    if (ribbon) SetOptions(nested, format);

    std::function<void()> click = [] { simclient::HostClick(L"Standard/Orvalis"); };
    if (ribbon) {
        const std::wstring button = OrvalisButtonId();
        if (button.empty()) {
            Say(L"The add-in gave no ribbon button \"Orvalis\" in a group \"Orvalis\": there is nothing to click, so "
                L"the run stops here.");
            Say(L"The mail client shuts down.");
            simclient::HostShutdown();
            if (withoutCdo) simclient::RestoreCdoRegistration();
            return 1;
        }
        click = [button] { simclient::HostRibbonClick(button); };
        Say(L"2. A click on the ribbon button \"Orvalis\" (id " + button + L").");
    } else {
        Say(L"2. A click on the toolbar button \"Orvalis\".");
    }
    click();
    HWND form = WindowAfterClick();
    ShowAddIns();

    MakeCopyAndSaveList(form, savePath, screenshot);

    Say(L"6. The user closes the window.");
    SendMessageW(form, WM_CLOSE, 0, 0);
    desktop::Pump(100);
    ShowAddIns();

    if (ribbon) {
        Say(L"7. A second click on the ribbon button \"Orvalis\".");
        click();
        WindowAfterClick();
        Say(L"8. The mail client shuts down with the window open.");
    } else {
        Say(L"7. The mail client shuts down.");
    }
    simclient::HostShutdown();
    if (ribbon) {
        desktop::Pump(100);
        Say(WindowShown() ? L"  the window is still open" : L"  the window closed");
        ShowAddIns();
    }
    ShowHelpRequests(viewer, &helpShown, &htmlHelpShown);
    if (withoutCdo) simclient::RestoreCdoRegistration();
    return 0;
}

// The client's version for a year of release; "" for a year without one.
std::wstring VersionOf(const std::wstring& year) {
    const std::pair<const wchar_t*, const wchar_t*> kVersions[] = {
        {L"2000", L"9.0.0.0"},  {L"2002", L"10.0.0.0"}, {L"2003", L"11.0.0.0"}, {L"2007", L"12.0.0.0"},
        {L"2010", L"14.0.0.0"}, {L"2013", L"15.0.0.0"}, {L"2016", L"16.0.0.0"},
    };
    for (const auto& [y, v] : kVersions)
        if (year == y) return v;
    return L"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Options first: --without-cdo plays a machine where CDO isn't installed, --client <year>
    // a version of the mail client.
    bool withoutCdo = false, nested = false;
    std::wstring year, format;
    for (; argc > 1 && argv[1][0] == L'-' && argv[1][1] == L'-'; --argc, ++argv) {
        const std::wstring option = argv[1];
        if (option == L"--without-cdo") {
            withoutCdo = true;
        } else if (option == L"--client" && argc > 2 && !VersionOf(argv[2]).empty()) {
            year = argv[2];
            --argc, ++argv;
        } else if (option == L"--nested") {
            nested = true;
        } else if (option == L"--format" && argc > 2 &&
                   (std::wstring(argv[2]) == L"address-name" || std::wstring(argv[2]) == L"mailman" ||
                    std::wstring(argv[2]) == L"csv")) {
            format = argv[2];
            --argc, ++argv;
        } else {
            argc = 0;
            break;
        }
    }
    if (argc < 2) {
        fputs("usage: OrvalisDemo [--without-cdo] [--client 2000|2002|2003|2007|2010|2013|2016] [--nested] "
              "[--format address-name|mailman|csv] <save-path> [screenshot.bmp]\n",
              stderr);
        return 2;
    }
    OleInitialize(nullptr);
    int rc = 1;
    try {
        const std::wstring problem = simclient::CheckDataFiles();
        if (!problem.empty()) {
            Say(problem);
            OleUninitialize();
            return kBadDataFile;
        }
        const std::wstring save = argv[1], shot = argc > 2 ? argv[2] : L"";
        bool ribbon = false;
        if (!year.empty()) {
            simclient::HostSetVersion(VersionOf(year));
            ribbon = std::stoi(VersionOf(year)) >= 14;
            Say(L"The mail client is its " + year + L" version" + (ribbon ? L": the add-in's place is the ribbon." : L"."));
        }
        rc = Run(save, shot, withoutCdo, ribbon, nested, format);
    } catch (const orv::Error& e) {
        Say(L"demo failed: " + e.description());
    } catch (...) {
        Say(L"demo failed");
    }
    OleUninitialize();
    return rc;
}
