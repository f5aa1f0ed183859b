#include "list_output.h"

#include <commdlg.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "error.h"
#include "form1_layout.h"
#include "list_text.h"
#include "report.h"
#include "version.h"

namespace orvalis {

namespace {

// What Save List asks of the Save As dialog: confirm an overwrite, leave the current folder
// alone, and refuse a read-only file or folder.
constexpr long kSaveFlags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_NOREADONLYRETURN;
constexpr wchar_t kSaveFilter[] = L"All Files (*.*)|*.*|Text Files (*.txt)|*.txt";
constexpr int kTextFilesIndex = 2;
// Passed on as the help button has always passed it, although WinHelp defines no command 15:
// the viewer decides what it shows.
constexpr int16_t kHelpCommand = 15;

// Another program may hold the clipboard for a moment (a clipboard viewer reading it):
// try a few times over about 200 ms before giving up.
constexpr int kClipboardTries = 5;
constexpr DWORD kClipboardPauseMs = 50;

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using unique_file = std::unique_ptr<void, HandleCloser>;

struct GlobalFreer {
    void operator()(HGLOBAL h) const { GlobalFree(h); }
};
using unique_hglobal = std::unique_ptr<void, GlobalFreer>;

// Closes the clipboard this thread opened, on every way out.
struct ClipboardOpen {
    ClipboardOpen() = default;
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;
    ~ClipboardOpen() { CloseClipboard(); }
};

// Opens the clipboard for owner, waiting briefly while another program holds it.
DWORD OpenClipboardFor(HWND owner) {
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kClipboardTries; ++attempt) {
        if (attempt > 0) Sleep(kClipboardPauseMs);
        if (OpenClipboard(owner)) return ERROR_SUCCESS;
        error = GetLastError();
    }
    return error == ERROR_SUCCESS ? ERROR_ACCESS_DENIED : error;
}

// Puts text on the clipboard as Unicode text. The memory is prepared before the clipboard is
// touched, so running out of it leaves the clipboard as it was.
DWORD PutClipboardText(HWND owner, const std::wstring& text) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    unique_hglobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return ERROR_NOT_ENOUGH_MEMORY;
    void* p = GlobalLock(memory.get());
    if (!p) return GetLastError();
    memcpy(p, text.c_str(), bytes);
    GlobalUnlock(memory.get());

    if (DWORD error = OpenClipboardFor(owner)) return error;
    ClipboardOpen open;
    if (!EmptyClipboard()) return GetLastError();
    if (!SetClipboardData(CF_UNICODETEXT, memory.get())) return GetLastError();
    memory.release();  // the clipboard owns it now
    return ERROR_SUCCESS;
}

// The list text as 8-bit text in the ANSI code page; characters the code page lacks become
// its default character.
std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    if (text.size() > static_cast<size_t>(INT_MAX)) throw orv::Win32Error(ERROR_ARITHMETIC_OVERFLOW);
    const int chars = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), chars, nullptr, 0, nullptr, nullptr);
    if (size <= 0) throw orv::Win32Error(GetLastError());
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), chars, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::wstring FolderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The path as the file functions take it beyond MAX_PATH characters: full, with the "\\?\"
// prefix ("\\?\UNC\" for a share). Shorter paths are passed as they are.
std::wstring LongPathForm(const std::wstring& path) {
    if (path.size() < MAX_PATH - 1 || path.compare(0, 4, L"\\\\?\\") == 0) return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// A new, empty file with a unique name in folder, open for writing.
DWORD CreateTempFileIn(const std::wstring& folder, std::wstring& name, unique_file& file) {
    const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        wchar_t leaf[32];
        wsprintfW(leaf, L"~orv%08lX.tmp", static_cast<unsigned long>(seed + attempt));
        name = LongPathForm(folder + leaf);
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            file.reset(h);
            return ERROR_SUCCESS;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return GetLastError();
    }
    return ERROR_FILE_EXISTS;
}

DWORD WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
}

// Writes bytes to a temporary file beside path and moves it over path. Any failure removes
// the temporary file and leaves path as it was.
DWORD ReplaceFileContents(const std::wstring& shownPath, const std::string& bytes) {
    const std::wstring path = LongPathForm(shownPath);
    // A read-only file is never replaced; the Save As dialog refuses one too.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return ERROR_ACCESS_DENIED;

    std::wstring temp;
    unique_file file;
    if (DWORD error = CreateTempFileIn(FolderOf(path), temp, file)) return error;
    DWORD error = WriteAll(file.get(), bytes);
    file.reset();
    if (!error && !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error) DeleteFileW(temp.c_str());
    return error;
}

// The save's failure, naming the file where there is one.
void ShowSaveFailure(HWND owner, const std::wstring& path, const orv::Error& e) noexcept {
    try {
        if (!path.empty()) return ShowFailure(owner, (form1::kSaveFailedAs + path).c_str(), e);
    } catch (...) {
    }
    ShowFailure(owner, form1::kSaveFailed, e);
}

}  // namespace

void CopyToClipboard(HWND owner, const MemberTable& table) {
    try {
        if (table.memberCount() == 0) return;
        if (DWORD error = PutClipboardText(owner, BuildListText(table)))
            ShowFailure(owner, form1::kClipboardFailed, orv::Win32Error(error));
    } catch (...) {
        ShowCurrentFailure(owner, form1::kClipboardFailed);
    }
}

bool WriteListFile(HWND owner, const std::wstring& path, const MemberTable& table) {
    try {
        const DWORD error = ReplaceFileContents(path, ToAnsi(BuildListText(table)));
        if (!error) return true;
        ShowSaveFailure(owner, path, orv::Win32Error(error));
    } catch (...) {
        try {
            ShowSaveFailure(owner, path, orv::CurrentError());
        } catch (...) {
            ShowCurrentFailure(owner, form1::kSaveFailed);
        }
    }
    return false;
}

void SaveList(HWND owner, const MemberTable& table, CommonDialog& dlg) {
    try {
        if (table.memberCount() == 0) return;
        dlg.CancelError = true;
        dlg.Flags = kSaveFlags;
        dlg.Filter = kSaveFilter;
        dlg.FilterIndex = kTextFilesIndex;
        try {
            dlg.ShowSave();
        } catch (const orv::Error& e) {
            if (e.hr() == kCancelError) return;  // the user changed their mind: nothing to say
            throw;
        }
        WriteListFile(owner, dlg.FileName, table);
    } catch (...) {
        ShowCurrentFailure(owner, form1::kSaveFailed);
    }
}

void ShowHelpFile(HWND owner, CommonDialog& dlg) {
    try {
        dlg.HelpFile = L"" ORVALIS_HELP_FILE;
        dlg.HelpCommand = kHelpCommand;
        dlg.ShowHelp();
    } catch (...) {
        ShowCurrentFailure(owner, form1::kHelpFailed);
    }
}

}  // namespace orvalis
