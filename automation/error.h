#pragma once
// The one error type of the code: an HRESULT and its description.
#include <windows.h>
#include <cguid.h>
#include <oaidl.h>
#include <exception>
#include <string>

namespace orv {

// The classic run-time error numbers the system raises itself, as HRESULTs.
constexpr HRESULT RuntimeError(int number) { return static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(number)); }
constexpr int kInvalidArgument = 5;
constexpr int kOverflow = 6;
constexpr int kSubscriptOutOfRange = 9;
constexpr int kObjectNotSet = 91;
constexpr int kNoSuchMember = 438;

class Error : public std::exception {
public:
    Error(HRESULT hr, std::wstring description) : hr_(hr), description_(std::move(description)) {}
    HRESULT hr() const noexcept { return hr_; }
    const std::wstring& description() const noexcept { return description_; }
    // The number a user would be shown: the run-time number for 0x800A....; the HRESULT otherwise.
    long number() const noexcept;
    const char* what() const noexcept override { return "orv::Error"; }

private:
    HRESULT hr_;
    std::wstring description_;
};

[[noreturn]] void Raise(HRESULT hr, std::wstring description);
[[noreturn]] void RaiseRuntime(int number);
// Throws for a failed HRESULT, with the description from the thread's IErrorInfo or the system.
void ThrowIfFailed(HRESULT hr, const wchar_t* what = nullptr);
// The system's text for an HRESULT, or an empty string.
std::wstring SystemMessage(HRESULT hr);
// A Win32 error code as the one error type, with the system's text for it.
Error Win32Error(DWORD code);
// Throws the thread's last Win32 error, after what failed when that is given ("what: text").
// A last error of 0 (a function that failed without saying why) is thrown as
// ERROR_INVALID_FUNCTION: a failure is never passed on as success.
[[noreturn]] void RaiseLastError(const wchar_t* what = nullptr);
// The exception being handled, whatever it is, as the one error type: out of memory for
// std::bad_alloc, "Unexpected failure" for anything that isn't an orv::Error. Call it in a
// catch block.
Error CurrentError();

// Runs f; turns any exception into an HRESULT and sets IErrorInfo with its description.
// For COM methods and exports: nothing may cross them.
template <class F>
HRESULT Guard(F&& f) noexcept;

HRESULT ReportError(const Error& e, REFIID iid) noexcept;
inline HRESULT ReportError(const Error& e) noexcept { return ReportError(e, IID_NULL); }
// ReportError for the exception being handled, as CurrentError sees it. Call it in a catch block.
HRESULT ReportUnknown() noexcept;

// Runs f for a member reached through IDispatch::Invoke: a failure comes back as
// DISP_E_EXCEPTION with its HRESULT and description in *excep, or, where the caller passed no
// EXCEPINFO, as its HRESULT with IErrorInfo set.
template <class F>
HRESULT GuardInvoke(F&& f, EXCEPINFO* excep) noexcept;
// The same for the exception being handled. Call it in a catch block.
HRESULT ReportInvokeFailure(EXCEPINFO* excep) noexcept;

template <class F>
HRESULT Guard(F&& f) noexcept {
    try {
        f();
        return S_OK;
    } catch (const Error& e) {
        return ReportError(e);
    } catch (...) {
        return ReportUnknown();
    }
}

template <class F>
HRESULT GuardInvoke(F&& f, EXCEPINFO* excep) noexcept {
    try {
        f();
        return S_OK;
    } catch (...) {
        return ReportInvokeFailure(excep);
    }
}

}  // namespace orv
