// The one error type at its edges: the thread's last Win32 error raised as it, whatever
// exception is being handled seen as it, and the boundary that turns it into an HRESULT
// and the thread's IErrorInfo.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "bstr.h"
#include "error.h"

namespace {

std::wstring ErrorInfoDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return L"<no error info>";
    orv::Bstr text;
    info->GetDescription(text.put());
    info->Release();
    return text.str();
}

TEST(Errors, TheLastWin32ErrorIsRaisedWithItsTextAndNeverAsSuccess) {
    const struct {
        const char* label;
        DWORD last;
        const wchar_t* what;
        DWORD raised;
        std::wstring prefix;
    } rows[] = {
        {"with what failed", ERROR_ACCESS_DENIED, L"OpenClipboard", ERROR_ACCESS_DENIED, L"OpenClipboard: "},
        {"without", ERROR_FILE_NOT_FOUND, nullptr, ERROR_FILE_NOT_FOUND, L""},
        {"a failure that set no error", ERROR_SUCCESS, L"GetDC", ERROR_INVALID_FUNCTION, L"GetDC: "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        SetLastError(row.last);
        try {
            orv::RaiseLastError(row.what);
            ADD_FAILURE() << "nothing was raised";
        } catch (const orv::Error& e) {
            const HRESULT hr = HRESULT_FROM_WIN32(row.raised);
            EXPECT_EQ(hr, e.hr());
            EXPECT_FALSE(orv::SystemMessage(hr).empty());
            EXPECT_EQ(row.prefix + orv::SystemMessage(hr), e.description());
        }
    }
}

// Each kind of exception: what the one error type makes of it, and what an entry point's
// guard returns and leaves in IErrorInfo for it.
TEST(Errors, EveryExceptionBecomesTheOneErrorTypeAndCrossesTheBoundaryAsItsResult) {
    const std::wstring outOfMemory = orv::SystemMessage(E_OUTOFMEMORY);
    const struct {
        const char* label;
        void (*raise)();
        HRESULT hr;
        std::wstring description;
    } rows[] = {
        {"ours", [] { throw orv::Error(static_cast<HRESULT>(0x80040113), L"Cancelled."); }, static_cast<HRESULT>(0x80040113),
         L"Cancelled."},
        {"a run-time error", [] { orv::Raise(orv::RuntimeError(orv::kSubscriptOutOfRange)); }, orv::RuntimeError(9), L"Subscript out of range"},
        {"out of memory", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY, outOfMemory},
        {"a standard library failure", [] { throw std::length_error("too long"); }, E_UNEXPECTED, L"Unexpected failure"},
        {"anything else", [] { throw 42; }, E_UNEXPECTED, L"Unexpected failure"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        try {
            row.raise();
        } catch (...) {
            const orv::Error e = orv::CurrentError();
            EXPECT_EQ(row.hr, e.hr());
            EXPECT_EQ(row.description, e.description());
        }
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(row.hr, orv::Guard(row.raise));
        EXPECT_EQ(row.description, ErrorInfoDescription());
    }
    EXPECT_EQ(S_OK, orv::Guard([] {}));
}

}  // namespace
