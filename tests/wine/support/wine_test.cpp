#include "wine_test.h"

#include "clipboard_files.h"
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

std::wstring NoX86Code() {
    wchar_t reason[512];
    const DWORD n = GetEnvironmentVariableW(L"ORVALIS_NO_X86_CODE", reason, 512);
    return n > 0 && n < 512 ? std::wstring(reason, n) : std::wstring();
}

namespace {

// Removes a folder and everything in it, however deep, through "\\?\" paths. Never the shell's
// FO_DELETE: Wine's builds child paths in MAX_PATH buffers, and past that depth it goes on
// deleting in the process's current folder instead. Links are removed, not followed (the
// prefix's drive Z: is a link to the root of the file system).
void RemoveTree(const std::wstring& longPath) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((longPath + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
            const std::wstring child = longPath + L"\\" + fd.cFileName;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (!DeleteFileW(child.c_str()))
                RemoveDirectoryW(child.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(longPath.c_str());
}

}  // namespace

std::wstring ScratchDir(const std::wstring& name) {
    std::wstring dir = BuildPath(L"test-scratch");
    CreateDirectoryW(dir.c_str(), nullptr);
    dir += L"\\" + name;
    if (!name.empty() && name.find_first_of(L"\\/.") == std::wstring::npos) RemoveTree(L"\\\\?\\" + dir);
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

namespace {

DWORD Run(const std::wstring& commandLine, DWORD timeoutMs, HANDLE output) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = si.hStdError = output;
    }
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &si, &pi))
        return static_cast<DWORD>(-2);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace

DWORD RunProcess(const std::wstring& commandLine, DWORD timeoutMs) { return Run(commandLine, timeoutMs, nullptr); }

DWORD RunProcess(const std::wstring& commandLine, std::string& output, DWORD timeoutMs) {
    // A file rather than a pipe: nothing has to read while the program runs.
    wchar_t folder[MAX_PATH], name[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"out", 0, name);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return static_cast<DWORD>(-2);
    const DWORD code = Run(commandLine, timeoutMs, file);
    CloseHandle(file);
    output.clear();
    for (char c : FileBytes(name))
        if (c != '\r') output += c;
    DeleteFileW(name);
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
