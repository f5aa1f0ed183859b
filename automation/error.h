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
// The system's own run-time errors, which a user knows by their number n.
constexpr bool IsRuntimeError(HRESULT hr) { return (static_cast<unsigned>(hr) & 0xFFFF0000u) == 0x800A0000u; }
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
    // That number as a user reads it: "9" for a run-time error, "0x80040154" for any other.
    std::wstring NumberText() const;
    const char* what() const noexcept override { return "orv::Error"; }

private:
    HRESULT hr_;
    std::wstring description_;
};

// The one way to raise a failure that is an HRESULT: the system's own run-time errors
// (RuntimeError(n)), a call's failed result, a Win32 error code as HRESULT_FROM_WIN32. Without
// a description it is described by the classic text of its run-time number, else by the
// system's text for it, else as "Error 0x........".
[[noreturn]] void Raise(HRESULT hr, std::wstring description = {});
// The same for the result of a call, a line that passes on success: a failure is described by
// the callee's IErrorInfo where it left one, and after what failed when that is given
// ("what: text").
void ThrowIfFailed(HRESULT hr, const wchar_t* what = nullptr);
// The same for a function that returns its Win32 error code (the registry's): a line that
// passes on ERROR_SUCCESS.
void ThrowIfWin32Failed(LONG code, const wchar_t* what = nullptr);
// The one way to raise a failed Win32 function: the thread's last error, after what failed when
// that is given ("what: text"). A last error of 0 (a function that failed without saying why)
// is raised as ERROR_INVALID_FUNCTION: a failure is never passed on as success.
[[noreturn]] void RaiseLastError(const wchar_t* what = nullptr);
// The system's text for an HRESULT, or an empty string.
std::wstring SystemMessage(HRESULT hr);
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
