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
#include "list_formats.h"
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
// Where the client offers the list's formats: the chosen one's file type first.
constexpr wchar_t kTextFirstFilter[] = L"Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
constexpr wchar_t kCsvFilter[] = L"CSV Files (*.csv)|*.csv|All Files (*.*)|*.*";

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

// How many of the text's lines the ANSI bytes don't give back as they were: a character the
// code page lacks became "?" or a look-alike. Line breaks are ASCII, which every code page
// keeps, so the lines of the two stand side by side.
int LinesChangedBy(const std::wstring& text, const std::string& bytes) {
    if (bytes.empty()) return 0;
    const int chars = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (chars <= 0) orv::RaiseLastError();
    std::wstring back(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), back.data(), chars);
    int changed = 0;
    size_t a = 0, b = 0;
    while (a < text.size() && b < back.size()) {
        const size_t endA = text.find(L"\r\n", a), endB = back.find(L"\r\n", b);
        if (text.compare(a, endA - a, back, b, endB - b) != 0) ++changed;
        if (endA == std::wstring::npos || endB == std::wstring::npos) break;
        a = endA + 2;
        b = endB + 2;
    }
    return changed;
}

std::wstring DescribeLostCharacters(int lines) {
    return std::to_wstring(lines) + (lines == 1 ? messages::kLineLost : messages::kLinesLost) + messages::kKeptByOtherFormats;
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

void CopyToClipboard(HWND owner, const MemberTable& table, ListFormat format) {
    try {
        if (table.memberCount() == 0) return;
        PutClipboardText(owner, BuildListText(table, format));
    } catch (...) {
        ShowCurrentFailure(owner, messages::kClipboardFailed);
    }
}

bool WriteListFile(HWND owner, const std::wstring& path, const MemberTable& table, ListFormat format, bool tellLoss) {
    try {
        const std::wstring text = BuildListText(table, format);
        int lossy = 0;
        if (format == ListFormat::AddressName) {
            const std::string bytes = ToAnsi(text);
            if (tellLoss) lossy = LinesChangedBy(text, bytes);
            ReplaceFileContents(path, bytes);
        } else {
            // The list server takes UTF-8 as it is; spreadsheet programs read a CSV file as
            // UTF-8 only after its byte-order mark.
            ReplaceFileContents(path, ToUtf8(text, format == ListFormat::Csv));
        }
        if (lossy > 0) ShowNotice(owner, DescribeLostCharacters(lossy));
        return true;
    } catch (...) {
        ShowSaveFailure(owner, path);
        return false;
    }
}

void SaveList(HWND owner, const MemberTable& table, CommonDialog& dlg, const ListOptions* offered) {
    try {
        if (table.memberCount() == 0) return;
        dlg.CancelError = true;
        dlg.Flags = kSaveFlags;
        if (offered) {
            // The chosen format's own file type first, and its extension for a name typed without one.
            const bool csv = offered->format == ListFormat::Csv;
            dlg.Filter = csv ? kCsvFilter : kTextFirstFilter;
            dlg.FilterIndex = 1;
            dlg.DefaultExt = csv ? L"csv" : L"txt";
        } else {
            dlg.Filter = kSaveFilter;
            dlg.FilterIndex = kTextFilesIndex;
            dlg.DefaultExt.clear();
        }
        try {
            dlg.ShowSave();
        } catch (const orv::Error& e) {
            if (e.hr() == kCancelError) return;  // the user changed their mind: nothing to say
            throw;
        }
        const ListFormat format = offered ? offered->format : ListFormat::AddressName;
        WriteListFile(owner, dlg.FileName, table, format, offered != nullptr);
    } catch (...) {
        ShowCurrentFailure(owner, messages::kSaveFailed);
    }
}

}  // namespace orvalis
