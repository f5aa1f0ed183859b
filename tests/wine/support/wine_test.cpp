#include "wine_test.h"

#include "sim_client.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

namespace orvtest {

std::wstring BuildPath(const std::wstring& relative) {
    std::string root = ORVALIS_BUILD_DIR;
    std::wstring path = L"Z:";
    for (char c : root) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    if (!relative.empty()) path += L"\\" + relative;
    for (auto& c : path) if (c == L'/') c = L'\\';
    return path;
}

std::wstring SourcePath(const std::wstring& relative) {
    std::wstring path = L"Z:";
    for (char c : std::string(ORVALIS_SOURCE_DIR)) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path + L"\\" + relative;
}

std::wstring ScratchDir(const std::wstring& name) {
    std::wstring dir = BuildPath(L"test-scratch");
    CreateDirectoryW(dir.c_str(), nullptr);
    dir += L"\\" + name;
    SHFILEOPSTRUCTW op{};
    std::wstring from = dir + L'\0';
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

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

DialogWatcher::DialogWatcher() {
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &DialogWatcher::Run, this, 0, nullptr);
}

DialogWatcher::~DialogWatcher() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

std::vector<std::wstring> DialogWatcher::Seen() const {
    EnterCriticalSection(&lock_);
    auto copy = seen_;
    LeaveCriticalSection(&lock_);
    return copy;
}

void DialogWatcher::Clear() {
    EnterCriticalSection(&lock_);
    seen_.clear();
    LeaveCriticalSection(&lock_);
}

namespace {
struct Found {
    DWORD pid;
    std::vector<HWND> boxes;
};
BOOL CALLBACK CollectBoxes(HWND w, LPARAM p) {
    auto* f = reinterpret_cast<Found*>(p);
    wchar_t cls[64];
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == f->pid && IsWindowVisible(w) && GetClassNameW(w, cls, 64) && wcscmp(cls, L"#32770") == 0)
        f->boxes.push_back(w);
    return TRUE;
}
BOOL CALLBACK CollectStatics(HWND w, LPARAM p) {
    wchar_t cls[64];
    if (GetClassNameW(w, cls, 64) && _wcsicmp(cls, L"Static") == 0) {
        std::wstring t = WindowText(w);
        if (!t.empty()) {
            auto* s = reinterpret_cast<std::wstring*>(p);
            if (!s->empty() && s->back() != L'|') *s += L" ";
            *s += t;
        }
    }
    return TRUE;
}
}  // namespace

DWORD WINAPI DialogWatcher::Run(void* param) {
    auto* self = static_cast<DialogWatcher*>(param);
    while (WaitForSingleObject(self->stop_, 50) == WAIT_TIMEOUT) {
        Found f{GetCurrentProcessId(), {}};
        EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&f));
        for (HWND box : f.boxes) {
            std::wstring text = WindowText(box) + L"|";
            EnumChildWindows(box, CollectStatics, reinterpret_cast<LPARAM>(&text));
            EnterCriticalSection(&self->lock_);
            self->seen_.push_back(text);
            LeaveCriticalSection(&self->lock_);
            // A message box has IDOK or IDCANCEL; either ends it.
            if (GetDlgItem(box, IDOK)) PostMessageW(box, WM_COMMAND, IDOK, 0);
            else PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
            for (int i = 0; i < 100 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(20);
        }
    }
    return 0;
}

DWORD RunProcess(const std::wstring& commandLine, DWORD timeoutMs) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return static_cast<DWORD>(-2);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace orvtest
