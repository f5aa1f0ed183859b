// OrvalisMatrixCase.exe <operation> <dir>: one case of the fault matrix, in a process of its
// own, so that a crash or a hang of the add-in is the host's crash or hang and nothing else's.
//
// Plays the mail client through the steps that lead to the operation, the operation itself
// (between the log lines "Matrix.Begin" and "Matrix.End"), and the host's shutdown, with the
// registered add-in and the stand-ins of the prefix. The environment names the scenario (with
// the fault of this case), the call log and the host's state file. What a user would have
// seen goes to <dir>\report.txt, one "key: value" line each:
//
//   box: <title>|<text>      every message box, in order (each is answered with OK)
//   window: open|closed      after the operation
//   list: <line>             List1's lines after the operation, when the window is open
//   clip: <line>             the clipboard's lines after "Copy to Clipboard", likewise
//   addin: connected|disconnected
//   answers: yes             the host still answers after the operation
//   live: <Kind>=<n>         stand-in objects still alive after shutdown
//   reset-exit: <n>          the reset program's exit code (operation "reset")
//   ribbon: <n> <id>...      the ribbon buttons the host shows, after start-up (ribbon-*)
//   document: <n> chars      the add-in's answer to GetCustomUI (operation "ribbon-custom-ui")
//   click-failed: <text>     the ribbon button's callback failed to the host
//   done: yes                the whole script ran
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "clipboard_files.h"
#include "error.h"
#include "host_contract.h"
#include "save_as_driver.h"
#include "sim_client.h"
#include "utf8.h"
#include "wine_test.h"
#include "winhelp_catcher.h"
#include "without_cdo.h"

namespace {

constexpr wchar_t kWindowClass[] = L"OrvalisForm1";
constexpr const wchar_t* kAddInProgId = contract::kProgId;

std::wstring Env(const wchar_t* name) {
    wchar_t buf[2048];
    DWORD n = GetEnvironmentVariableW(name, buf, 2048);
    return n && n < 2048 ? std::wstring(buf, n) : std::wstring();
}

// Writes to the stand-ins' call log, between their own lines.
void Mark(const std::wstring& line) {
    std::wstring path = Env(L"ORVALIS_SIM_LOG");
    if (FILE* f = _wfopen(path.c_str(), L"ab")) {
        std::string bytes = sim::Narrow(line) + "\n";
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
}

class Report {
public:
    explicit Report(const std::wstring& path) : path_(path) { DeleteFileW(path.c_str()); }
    void Add(const std::wstring& key, const std::wstring& value) {
        std::wstring line = key + L": " + value;
        for (auto& c : line)
            if (c == L'\r' || c == L'\n') c = L' ';
        text_ += line + L"\n";
        orvtest::WriteBytes(path_, sim::Narrow(text_));  // written whole each time: a crash keeps what came before
    }

private:
    std::wstring path_;
    std::wstring text_;
};

HWND Form1() {
    HWND w = FindWindowW(kWindowClass, nullptr);
    return w && IsWindowVisible(w) ? w : nullptr;
}

HWND WaitForForm1() {
    HWND w = nullptr;
    orvtest::WaitFor([&] { return (w = Form1()) != nullptr; }, 3000);
    return w;
}

void Press(HWND form, const wchar_t* caption) {
    if (HWND b = FindWindowExW(form, nullptr, L"Button", caption)) SendMessageW(b, BM_CLICK, 0, 0);
    orvtest::Pump(50);
}

std::vector<std::wstring> ListLines(HWND form) {
    std::vector<std::wstring> lines;
    HWND list = FindWindowExW(form, nullptr, L"ListBox", nullptr);
    LRESULT n = list ? SendMessageW(list, LB_GETCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < n; ++i) {
        std::wstring line(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        line.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
        lines.push_back(line);
    }
    return lines;
}

// "Copy to Clipboard" on an emptied clipboard, and the lines it put there.
std::vector<std::wstring> CopiedLines(HWND form) {
    orvtest::SetClipboardText(nullptr, L"");
    Press(form, L"Copy to Clipboard");
    return orvtest::ListTextLines(orvtest::ClipboardText());
}

bool AddInConnected() {
    for (const auto& a : simclient::HostAddIns())
        if (_wcsicmp(a.progId.c_str(), kAddInProgId) == 0) return a.connected;
    return false;
}

// The reset program in its own process, with the scenario of this case; its boxes are read
// and answered with OK.
DWORD RunReset(const std::wstring& dir, Report& report) {
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", (dir + L"\\faults.json").c_str());
    std::wstring cmd = L"\"" + orvtest::BuildPath(L"Reset\\ResetOrvalis.exe") + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 9999;
    std::vector<HWND> answered;
    DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > 20000) {
            TerminateProcess(pi.hProcess, 9998);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
        for (HWND box : desktop::DialogBoxes(pi.dwProcessId)) {
            if (std::find(answered.begin(), answered.end(), box) != answered.end()) continue;
            answered.push_back(box);
            report.Add(L"box", desktop::BoxText(box));
            desktop::PressButton(box, IDOK);
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

void ReportWindow(Report& report, bool withList) {
    HWND form = Form1();
    report.Add(L"window", form ? L"open" : L"closed");
    if (!form || !withList) return;
    for (const auto& l : ListLines(form)) report.Add(L"list", l);
    for (const auto& l : CopiedLines(form)) report.Add(L"clip", l);
}

// After the operation: what the user sees, whether the host still answers; then the host's
// shutdown and what was left alive.
template <class Step>
int Finish(const std::wstring& op, const std::wstring& dir, Report& report, Step& step, orvtest::DialogWatcher* boxes,
           orvtest::SaveAsDriver* saveAs, bool withList) {
    orvtest::Pump(100);
    ReportWindow(report, withList);
    if (saveAs) report.Add(L"saved", std::to_wstring(orvtest::FileBytes(dir + L"\\list.txt").size()));
    report.Add(L"addin", AddInConnected() ? L"connected" : L"disconnected");
    report.Add(L"answers", L"yes");
    if (op != L"shutdown" && op != L"ribbon-shutdown") step(L"shutdown", [] { simclient::HostShutdown(); });
    orvtest::Pump(100);
    if (saveAs) for (const auto& b : saveAs->Boxes()) report.Add(L"box", b);
    if (boxes) for (const auto& b : boxes->Seen()) report.Add(L"box", b);
    for (const auto& l : simclient::SplitLines(simclient::LiveReport())) report.Add(L"live", l);
    report.Add(L"done", L"yes");
    return 0;
}

// The ribbon path: start-up, the ribbon document, a click on its button, closing the window
// the click opened, and the host's shutdown with the window open.
template <class Step, class Begin, class End>
int RunRibbon(const std::wstring& op, const std::wstring& dir, Report& report, Step& step, Begin& begin, End& end,
              orvtest::DialogWatcher& boxes) {
    const bool click = op == L"ribbon-click" || op == L"ribbon-click-client";
    // The clients of the ribbon's era have no CDO as a rule: the window takes their own address book.
    std::unique_ptr<orvtest::WithoutCdo> withoutCdo;
    if (op == L"ribbon-click-client") {
        withoutCdo = std::make_unique<orvtest::WithoutCdo>();
        if (!withoutCdo->ok()) report.Add(L"step-failed", L"hide CDO " + withoutCdo->error());
    }
    if (op == L"ribbon-startup") begin();
    step(L"startup", [] { simclient::HostStartup(); });
    if (op == L"ribbon-startup") end();
    std::wstring shown;
    const auto buttons = simclient::HostRibbon();
    for (const auto& b : buttons) shown += L" " + b.Attribute(L"id");
    report.Add(L"ribbon", std::to_wstring(buttons.size()) + shown);
    if (op == L"ribbon-custom-ui") {
        begin();
        step(L"document", [&] {
            report.Add(L"document", std::to_wstring(simclient::HostGetCustomUI(kAddInProgId, L"Microsoft.Outlook.Explorer").size()) +
                                        L" chars");
        });
        end();
    }
    if (click) begin();
    HWND form = nullptr;
    if (op != L"ribbon-startup" && op != L"ribbon-custom-ui") {
        // A callback that fails (the window's load step did) is the host's to hear of.
        try {
            simclient::HostRibbonClick(L"OrvalisButton");
        } catch (const orv::Error& e) {
            report.Add(L"click-failed", e.description());
        }
        form = WaitForForm1();
    }
    if (click) end();
    if (form && (op == L"ribbon-close" || op == L"ribbon-shutdown")) {
        begin();
        if (op == L"ribbon-close") SendMessageW(form, WM_CLOSE, 0, 0);
        else step(L"shutdown", [] { simclient::HostShutdown(); });
        end();
    }
    return Finish(op, dir, report, step, &boxes, nullptr, false);
}

int Run(const std::wstring& op, const std::wstring& dir) {
    Report report(dir + L"\\report.txt");
    orvtest::WinHelpCatcher help;  // no help viewer is ever started
    std::unique_ptr<orvtest::DialogWatcher> boxes;
    std::unique_ptr<orvtest::SaveAsDriver> saveAs;
    // The Save As dialog is a box too: only the save operation answers it, with a file name.
    if (op == L"save") saveAs = std::make_unique<orvtest::SaveAsDriver>(std::vector<orvtest::SaveAsStep>{{true, dir + L"\\list.txt", true}});
    else boxes = std::make_unique<orvtest::DialogWatcher>();

    auto step = [&](const wchar_t* name, auto&& f) {
        try {
            f();
        } catch (const orv::Error& e) {
            report.Add(L"step-failed", std::wstring(name) + L" " + e.description());
        }
    };
    auto begin = [] { Mark(L"Matrix.Begin"); };
    auto end = [] { Mark(L"Matrix.End"); };

    // The ribbon path of a client of 2010 or later: the scenario says which version it is.
    if (op.rfind(L"ribbon-", 0) == 0) return RunRibbon(op, dir, report, step, begin, end, *boxes);

    const bool windowOps = op != L"startup" && op != L"startup-complete" && op != L"reset";
    const bool createList = op == L"create-list" || op == L"create-list-client";
    // A mail client without CDO: the window loads the client's own address book instead.
    std::unique_ptr<orvtest::WithoutCdo> withoutCdo;
    if (op == L"create-list-client") {
        withoutCdo = std::make_unique<orvtest::WithoutCdo>();
        if (!withoutCdo->ok()) report.Add(L"step-failed", L"hide CDO " + withoutCdo->error());
    }
    if (op == L"startup" || op == L"startup-complete") begin();
    step(L"startup", [] { simclient::HostStartup(); });
    if (op == L"startup" || op == L"startup-complete") end();
    if (op == L"reset") {
        step(L"shutdown", [] { simclient::HostShutdown(); });
        begin();
        report.Add(L"reset-exit", std::to_wstring(RunReset(dir, report)));
        end();
        step(L"reset", [] { simclient::HostReset(); });
        report.Add(L"addin", AddInConnected() ? L"connected" : L"disconnected");
        report.Add(L"answers", L"yes");
        report.Add(L"done", L"yes");
        return 0;
    }

    HWND form = nullptr;
    if (windowOps) {
        if (op == L"demand-reload") {
            step(L"click", [] { simclient::HostClick(L"Standard/Orvalis"); });
            if (HWND w = WaitForForm1()) SendMessageW(w, WM_CLOSE, 0, 0);
            orvtest::Pump(50);
        }
        if (op == L"demand" || op == L"demand-reload") begin();
        step(L"click", [] { simclient::HostClick(L"Standard/Orvalis"); });
        form = WaitForForm1();
        if (op == L"demand" || op == L"demand-reload") end();
    }
    if (form && op != L"demand" && op != L"demand-reload") {
        if (createList) begin();
        Press(form, L"Create List");
        orvtest::Pump(100);
        if (createList) end();
    }
    if (form && !createList) {
        begin();
        if (op == L"clipboard") Press(form, L"Copy to Clipboard");
        if (op == L"save") {
            Press(form, L"Save List");
            orvtest::WaitFor([&] { return !saveAs->Dialogs().empty(); }, 3000);
            orvtest::Pump(300);
        }
        if (op == L"help") Press(form, L"Help");
        if (op == L"close") SendMessageW(form, WM_CLOSE, 0, 0);
        if (op == L"shutdown") step(L"shutdown", [] { simclient::HostShutdown(); });
        end();
    }
    return Finish(op, dir, report, step, boxes.get(), saveAs.get(), createList || op == L"clipboard" || op == L"save");
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 3) {
        fputs("usage: OrvalisMatrixCase <operation> <dir>\n", stderr);
        return 2;
    }
    if (FAILED(OleInitialize(nullptr))) return 3;
    int rc = 4;
    try {
        rc = Run(argv[1], argv[2]);
    } catch (...) {
        rc = 5;
    }
    // No OleUninitialize: the host keeps add-in libraries loaded to the end, as the client does.
    return rc;
}
