#include "list_output.h"

#include <commdlg.h>
#include <objbase.h>

#include <algorithm>
#include <climits>
#include <new>
#include <memory>
#include <string>

#include "error.h"
#include "handles.h"
#include "list_text.h"
#include "messages.h"
#include "paths.h"
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

// Closes the clipboard this thread opened, on every way out.
struct ClipboardOpen {
    ClipboardOpen() = default;
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;
    ~ClipboardOpen() { CloseClipboard(); }
};

// Opens the clipboard for owner, waiting briefly while another program holds it. Where the
// system gives no reason for a refusal, the reason is the access it was denied.
void OpenClipboardFor(HWND owner) {
    for (int attempt = 1;; ++attempt) {
        SetLastError(ERROR_ACCESS_DENIED);
        if (OpenClipboard(owner)) return;
        if (attempt == kClipboardTries) orv::RaiseLastError();
        Sleep(kClipboardPauseMs);
    }
}

// Puts text on the clipboard as Unicode text. The memory is prepared before the clipboard is
// touched, so running out of it leaves the clipboard as it was.
void PutClipboardText(HWND owner, const std::wstring& text) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    orv::UniqueHGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) orv::Raise(HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY));
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
    if (text.size() > static_cast<size_t>(INT_MAX)) orv::Raise(HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW));
    const int chars = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), chars, nullptr, 0, nullptr, nullptr);
    if (size <= 0) orv::RaiseLastError();
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), chars, &bytes[0], size, nullptr, nullptr);
    return bytes;
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
        // A name no other save has, so a creation that fails has failed for a reason to report.
        GUID unique{};
        orv::ThrowIfFailed(CoCreateGuid(&unique), L"CoCreateGuid");
        wchar_t leaf[40];
        wsprintfW(leaf, L"~orv%08lX%04X%04X.tmp", static_cast<unsigned long>(unique.Data1), unique.Data2, unique.Data3);
        // Named before it is made: nothing that can fail comes after the file exists.
        name_ = LongPathForm(orv::PathIn(folder, leaf));
        file_.reset(CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_.valid()) orv::RaiseLastError();
    }
    ~TempFile() {
        Close();
        if (!name_.empty()) DeleteFileW(name_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    HANDLE handle() const { return file_.get(); }
    const std::wstring& name() const { return name_; }
    void Close() noexcept { file_.reset(); }
    void Keep() noexcept { name_.clear(); }

private:
    orv::UniqueFile file_;
    std::wstring name_;
};

void WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) orv::RaiseLastError();
        if (written == 0) orv::Raise(HRESULT_FROM_WIN32(ERROR_WRITE_FAULT));
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
        orv::Raise(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));

    TempFile temp(orv::FolderOf(path));
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
        } catch (const std::bad_alloc&) {
            // no memory for the text with the path: the one without it
        }
        ShowFailure(owner, messages::kSaveFailed, e);
    } catch (const std::bad_alloc&) {
        ShowCurrentFailure(owner, messages::kSaveFailed);  // no memory for a copy of the failure
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
