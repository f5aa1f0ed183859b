#include "wine_test.h"

#include "error.h"
#include "sim_client.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include "utf8.h"

namespace orvtest {

namespace {

// A path under a folder of this machine, as Wine's Windows side sees it ("Z:\...").
std::wstring UnderRoot(const char* root, const std::wstring& relative) {
    std::wstring path = L"Z:" + sim::Widen(root);
    if (!relative.empty()) path += L"\\" + relative;
    for (auto& c : path) if (c == L'/') c = L'\\';
    return path;
}

}  // namespace

std::wstring BuildPath(const std::wstring& relative) { return UnderRoot(ORVALIS_BUILD_DIR, relative); }
std::wstring SourcePath(const std::wstring& relative) { return UnderRoot(ORVALIS_SOURCE_DIR, relative); }
std::wstring X86BuildPath(const std::wstring& relative) { return UnderRoot(ORVALIS_X86_BUILD_DIR, relative); }

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

OwnerWindow::OwnerWindow(const wchar_t* title)
    : window_(CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW, 50, 50, 300, 200, nullptr, nullptr, nullptr,
                              nullptr)) {}

OwnerWindow::~OwnerWindow() { DestroyWindow(window_); }

std::vector<std::wstring> DialogWatcher::Seen() const {
    Lock lock(*this);
    return seen_;
}

void DialogWatcher::Clear() {
    Lock lock(*this);
    seen_.clear();
}

void DialogWatcher::Look(HWND box) {
    {
        Lock lock(*this);
        seen_.push_back(desktop::BoxText(box));
    }
    // A message box has IDOK or IDCANCEL; either ends it.
    desktop::PressButton(box, GetDlgItem(box, IDOK) ? IDOK : IDCANCEL);
    for (int i = 0; i < 100 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(20);
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

int Count(const std::wstring& text, const std::wstring& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

bool OnWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

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

HRESULT FailureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const orv::Error& e) {
        return e.hr();
    }
    return S_OK;
}

}  // namespace orvtest
