// OrvalisHost.exe: runs steps of the mail client's life (start-up, clicks, shutdown) through the
// stand-in's host driver, in one single-threaded apartment with a message loop, and prints one
// line per step. The first failing step ends the program with exit code 1; a wrong command line,
// scenario or state file (ORVALIS_SIM_SCENARIO, ORVALIS_HOST_STATE) runs nothing, exit code 2.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "error.h"
#include "sim_client.h"

namespace {

struct Step {
    std::wstring name;
    std::wstring arg;
    std::wstring arg2;  // ribbon-select's item
};

const wchar_t kUsage[] =
    L"usage: OrvalisHost.exe step...\n"
    L"steps: startup | click <path> | shutdown | pump <ms> | wait-closed <ms> | layout | addins | reset |\n"
    L"       ribbon | ribbon-click <control id> | ribbon-select <dropDown id> <item id | index from 0> |\n"
    L"       fast-exit | script <file> (one step per line)";

void Print(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    bytes += '\n';
    fwrite(bytes.data(), 1, bytes.size(), stdout);
    fflush(stdout);
}

// How many arguments the step takes.
int Arguments(const std::wstring& name) {
    if (name == L"ribbon-select") return 2;
    return name == L"click" || name == L"ribbon-click" || name == L"pump" || name == L"wait-closed" || name == L"script";
}

bool Known(const std::wstring& name) {
    return Arguments(name) || name == L"startup" || name == L"shutdown" || name == L"layout" || name == L"addins" ||
           name == L"reset" || name == L"ribbon" || name == L"fast-exit";
}

std::wstring Trim(const std::wstring& s) {
    size_t b = s.find_first_not_of(L" \t\r\n");
    if (b == std::wstring::npos) return {};
    size_t e = s.find_last_not_of(L" \t\r\n");
    return s.substr(b, e - b + 1);
}

// A script: one step per line, the argument being the rest of the line (paths hold blanks).
bool ReadScript(const std::wstring& path, std::vector<Step>& steps) {
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return false;
    std::string bytes;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    fclose(f);
    int wn = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(wn, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), wn);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == L'#') continue;
        size_t blank = line.find_first_of(L" \t");
        Step s{line.substr(0, blank), blank == std::wstring::npos ? L"" : Trim(line.substr(blank)), L""};
        // Ids hold no blanks: ribbon-select's two arguments are split at the first.
        if (Arguments(s.name) == 2) {
            size_t gap = s.arg.find_first_of(L" \t");
            if (gap != std::wstring::npos) {
                s.arg2 = Trim(s.arg.substr(gap));
                s.arg = s.arg.substr(0, gap);
            }
        }
        steps.push_back(s);
    }
    return true;
}

bool ParseMs(const std::wstring& text, DWORD& ms) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    unsigned long v = wcstoul(text.c_str(), &end, 10);
    if (*end) return false;
    ms = v;
    return true;
}

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DWORD spent = GetTickCount() - start;
        if (spent >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent < 20 ? ms - spent : 20, QS_ALLINPUT);
    }
}

BOOL CALLBACK FindVisible(HWND w, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

bool HasVisibleWindow() {
    bool found = false;
    EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}

// What a checkBox or dropDown shows: " (ticked)", " (chosen: FormatCsv)", and a dropDown's items.
std::wstring StateText(const simclient::RibbonControl& c) {
    if (c.kind == L"checkBox") return c.pressed ? L" (ticked)" : L" (unticked)";
    if (c.kind != L"dropDown") return L"";
    std::wstring items;
    for (const auto& [id, label] : c.items) items += (items.empty() ? L" items " : L", ") + id + L" \"" + label + L"\"";
    return items + (c.selected < 0 ? L" (nothing chosen)" : L" (chosen: " + c.SelectedItem() + L")");
}

// The ribbon controls the host shows, one line each, with what they show.
std::wstring RibbonText() {
    std::wstring out;
    for (const auto& c : simclient::HostRibbonControls()) {
        out += L"\n  AddIn[" + c.progId + L"] tab " + c.tabBy + L"=" + c.tab + L", group " + c.groupBy + L"=" + c.group;
        if (!c.groupLabel.empty()) out += L" \"" + c.groupLabel + L"\"";
        out += L": " + c.kind;
        for (const auto& [name, value] : c.attributes) out += L" " + name + L"=\"" + value + L"\"";
        out += StateText(c);
    }
    return out.empty() ? L"no ribbon controls" : out.substr(1);
}

// ribbon-select's item: an index when it is a number (item ids never start with a digit).
void SelectItem(const Step& s) {
    if (!s.arg2.empty() && s.arg2.find_first_not_of(L"0123456789") == std::wstring::npos)
        simclient::HostRibbonSelectIndex(s.arg, wcstol(s.arg2.c_str(), nullptr, 10));  // saturates, never throws
    else
        simclient::HostRibbonSelect(s.arg, s.arg2);
}

// Runs one step; returns its line of output (or throws orv::Error).
std::wstring RunStep(const Step& s) {
    if (s.name == L"startup") {
        simclient::HostStartup();
    } else if (s.name == L"click") {
        simclient::HostClick(s.arg);
    } else if (s.name == L"ribbon-click") {
        simclient::HostRibbonClick(s.arg);
    } else if (s.name == L"ribbon-select") {
        SelectItem(s);
    } else if (s.name == L"ribbon") {
        return RibbonText();
    } else if (s.name == L"fast-exit") {
        // The process ends here, as a current client may end: no add-in hears of it.
        Print(L"fast-exit: ending now");
        simclient::HostFastExit(0);
    } else if (s.name == L"shutdown") {
        simclient::HostShutdown();
    } else if (s.name == L"reset") {
        simclient::HostReset();
    } else if (s.name == L"pump" || s.name == L"wait-closed") {
        DWORD ms = 0;
        if (!ParseMs(s.arg, ms)) orv::Raise(E_INVALIDARG, L"not a number of milliseconds: " + s.arg);
        if (s.name == L"pump") {
            Pump(ms);
        } else {
            DWORD start = GetTickCount();
            while (HasVisibleWindow()) {
                if (GetTickCount() - start >= ms) orv::Raise(HRESULT_FROM_WIN32(ERROR_TIMEOUT), L"a window is still open");
                Pump(20);
            }
        }
    } else if (s.name == L"layout") {
        return simclient::HostLayout();
    } else if (s.name == L"addins") {
        std::wstring out;
        for (const auto& a : simclient::HostAddIns())
            out += std::wstring(a.connected ? L"connected    " : L"disconnected ") + a.progId + L" \"" + a.description + L"\"\n";
        return out;
    }
    return L"ok";
}

std::wstring Label(const Step& s) {
    std::wstring label = s.name;
    for (const std::wstring* a : {&s.arg, &s.arg2})
        if (!a->empty()) label += L" " + *a;
    return label;
}

int Run(const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        try {
            std::wstring out = RunStep(s);
            Print(Label(s) + L": " + out);
        } catch (const orv::Error& e) {
            wchar_t code[16];
            swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(e.hr()));
            Print(Label(s) + L": failed " + code + L" " + e.description());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);

    std::vector<Step> steps;
    for (size_t i = 0; i < args.size(); ++i) {
        Step s{args[i], L"", L""};
        if (!Known(s.name)) {
            Print(L"unknown step \"" + s.name + L"\"\n" + kUsage);
            return 2;
        }
        const int count = Arguments(s.name);
        if (count) {
            if (i + count >= args.size()) {
                Print(s.name + (count == 1 ? L" needs an argument\n" : L" needs two arguments\n") + kUsage);
                return 2;
            }
            s.arg = args[++i];
            if (count == 2) s.arg2 = args[++i];
        }
        if (s.name != L"script") {
            steps.push_back(s);
            continue;
        }
        std::vector<Step> script;
        if (!ReadScript(s.arg, script)) {
            Print(L"cannot read the script " + s.arg);
            return 2;
        }
        for (const Step& t : script) {
            if (!Known(t.name) || t.name == L"script" || (Arguments(t.name) && t.arg.empty()) ||
                (Arguments(t.name) == 2 && t.arg2.empty())) {
                Print(L"bad script step \"" + Label(t) + L"\"\n" + kUsage);
                return 2;
            }
            steps.push_back(t);
        }
    }
    if (steps.empty()) {
        Print(kUsage);
        return 2;
    }

    // A data file that doesn't load stops the run before its first step, as a wrong step does.
    try {
        const std::wstring problem = simclient::CheckDataFiles();
        if (!problem.empty()) {
            Print(problem);
            return 2;
        }
    } catch (const orv::Error& e) {
        Print(e.description());
        return 1;
    }

    if (FAILED(OleInitialize(nullptr))) {
        Print(L"OLE could not be initialised");
        return 1;
    }
    // No OleUninitialize: it would unload add-in libraries whose objects the host may still
    // hold (a run without a shutdown step), and the process ends here anyway.
    return Run(steps);
}
