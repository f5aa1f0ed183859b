#include "list_output.h"

#include <commdlg.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "error.h"
#include "list_text.h"
#include "messages.h"
#include "report.h"

namespace orvalis {

namespace {

// What Save List asks of the Save As dialog: confirm an overwrite, leave the current folder
// alone, and refuse a read-only file or folder.
constexpr long kSaveFlags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_NOREADONLYRETURN;
constexpr wchar_t kSaveFilter[] = L"All Files (*.*)|*.*|Text Files (*.txt)|*.txt";
constexpr int kTextFilesIndex = 2;

// Another program may hold the clipboard for a moment (a clipboard viewer reading it):
// try a few times over about 200 ms before giving up.
constexpr int kClipboardTries = 5;
constexpr DWORD kClipboardPauseMs = 50;

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
void OpenClipboardFor(HWND owner) {
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kClipboardTries; ++attempt) {
        if (attempt > 0) Sleep(kClipboardPauseMs);
        if (OpenClipboard(owner)) return;
        error = GetLastError();
    }
    throw orv::Win32Error(error == ERROR_SUCCESS ? ERROR_ACCESS_DENIED : error);
}

// Puts text on the clipboard as Unicode text. The memory is prepared before the clipboard is
// touched, so running out of it leaves the clipboard as it was.
void PutClipboardText(HWND owner, const std::wstring& text) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    unique_hglobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) throw orv::Win32Error(ERROR_NOT_ENOUGH_MEMORY);
    void* p = GlobalLock(memory.get());
    if (!p) orv::RaiseLastError();
    memcpy(p, text.c_str(), bytes);
    GlobalUnlock(memory.get());

    OpenClipboardFor(owner);
    ClipboardOpen open;
    if (!EmptyClipboard()) orv::RaiseLastError();
    if (!SetClipboardData(CF_UNICODETEXT, memory.get())) orv::RaiseLastError();
    memory.release();  // the clipboard owns it now
}

// The list text as 8-bit text in the ANSI code page; characters the code page lacks become
// its default character.
std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    if (text.size() > static_cast<size_t>(INT_MAX)) throw orv::Win32Error(ERROR_ARITHMETIC_OVERFLOW);
    const int chars = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), chars, nullptr, 0, nullptr, nullptr);
    if (size <= 0) orv::RaiseLastError();
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

// A new, empty file with a unique name, open for writing; removed again (closed first) unless
// Keep is called once it has taken the place it was written for.
class TempFile {
public:
    explicit TempFile(const std::wstring& folder) {
        const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
        for (DWORD attempt = 0; attempt < 100; ++attempt) {
            wchar_t leaf[32];
            wsprintfW(leaf, L"~orv%08lX.tmp", static_cast<unsigned long>(seed + attempt));
            // Named before it is made: nothing that can fail comes after the file exists.
            name_ = LongPathForm(folder + leaf);
            handle_ = CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle_ != INVALID_HANDLE_VALUE) return;
            if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) orv::RaiseLastError();
        }
        throw orv::Win32Error(ERROR_FILE_EXISTS);
    }
    ~TempFile() {
        Close();
        if (!name_.empty()) DeleteFileW(name_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    HANDLE handle() const { return handle_; }
    const std::wstring& name() const { return name_; }
    void Close() noexcept {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    void Keep() noexcept { name_.clear(); }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::wstring name_;
};

void WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) orv::RaiseLastError();
        if (written == 0) throw orv::Win32Error(ERROR_WRITE_FAULT);
        done += written;
    }
    if (!FlushFileBuffers(file)) orv::RaiseLastError();
}

// Writes bytes to a temporary file beside path and moves it over path. Any failure removes
// the temporary file and leaves path as it was.
void ReplaceFileContents(const std::wstring& shownPath, const std::string& bytes) {
    const std::wstring path = LongPathForm(shownPath);
    // A read-only file is never replaced; the Save As dialog refuses one too.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        throw orv::Win32Error(ERROR_ACCESS_DENIED);

    TempFile temp(FolderOf(path));
    WriteAll(temp.handle(), bytes);
    temp.Close();
    if (!MoveFileExW(temp.name().c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        orv::RaiseLastError();
    temp.Keep();  // it is the list file now
}

// The save's failure (the exception being handled), naming the file where there is one.
void ShowSaveFailure(HWND owner, const std::wstring& path) noexcept {
    try {
        const orv::Error e = orv::CurrentError();
        try {
            if (!path.empty()) return ShowFailure(owner, (messages::kSaveFailedAs + path).c_str(), e);
        } catch (...) {
        }
        ShowFailure(owner, messages::kSaveFailed, e);
    } catch (...) {
        ShowCurrentFailure(owner, messages::kSaveFailed);
    }
}

}  // namespace

void CopyToClipboard(HWND owner, const MemberTable& table) {
    try {
        if (table.memberCount() == 0) return;
        PutClipboardText(owner, BuildListText(table));
    } catch (...) {
        ShowCurrentFailure(owner, messages::kClipboardFailed);
    }
}

bool WriteListFile(HWND owner, const std::wstring& path, const MemberTable& table) {
    try {
        ReplaceFileContents(path, ToAnsi(BuildListText(table)));
        return true;
    } catch (...) {
        ShowSaveFailure(owner, path);
        return false;
    }
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
        ShowCurrentFailure(owner, messages::kSaveFailed);
    }
}

}  // namespace orvalis
