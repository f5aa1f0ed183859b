#include "error.h"

#include <oleauto.h>

#include <new>

#include <wrl/client.h>

#include "bstr.h"

namespace orv {

namespace {

using Microsoft::WRL::ComPtr;

// What every entry point says of an exception that is neither ours nor the lack of memory.
constexpr wchar_t kUnexpectedFailure[] = L"Unexpected failure";

const wchar_t* RuntimeDescription(int number) {
    switch (number) {
        case kInvalidArgument: return L"Invalid procedure call or argument";
        case kOverflow: return L"Overflow";
        case kSubscriptOutOfRange: return L"Subscript out of range";
        case kObjectNotSet: return L"Object variable or With block variable not set";
        case kNoSuchMember: return L"Object doesn't support this property or method";
        default: return L"Application-defined or object-defined error";
    }
}
}  // namespace

long Error::number() const noexcept { return IsRuntimeError(hr_) ? hr_ & 0xFFFF : hr_; }

std::wstring Error::NumberText() const {
    wchar_t text[16];
    if (IsRuntimeError(hr_)) wsprintfW(text, L"%ld", number());
    else wsprintfW(text, L"0x%08lX", static_cast<unsigned long>(hr_));
    return text;
}

std::wstring SystemMessage(HRESULT hr) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring s(text ? text : L"", n);
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ')) s.pop_back();
    return s;
}

namespace {

// What an HRESULT raised without a description of its own is described by.
std::wstring DefaultDescription(HRESULT hr) {
    if (IsRuntimeError(hr)) return RuntimeDescription(hr & 0xFFFF);
    std::wstring text = SystemMessage(hr);
    if (!text.empty()) return text;
    wchar_t buf[32];
    wsprintfW(buf, L"Error 0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

std::wstring After(const wchar_t* what, std::wstring description) {
    if (!what || !*what) return description;
    return std::wstring(what) + L": " + description;
}

}  // namespace

void Raise(HRESULT hr, std::wstring description) {
    if (description.empty()) description = DefaultDescription(hr);
    throw Error(hr, std::move(description));
}

void RaiseLastError(const wchar_t* what) {
    const DWORD code = GetLastError();
    const HRESULT hr = HRESULT_FROM_WIN32(code ? code : ERROR_INVALID_FUNCTION);
    Raise(hr, After(what, DefaultDescription(hr)));
}

void ThrowIfWin32Failed(LONG code, const wchar_t* what) {
    if (code == ERROR_SUCCESS) return;
    const HRESULT hr = HRESULT_FROM_WIN32(static_cast<DWORD>(code));
    Raise(hr, After(what, DefaultDescription(hr)));
}

void ThrowIfFailed(HRESULT hr, const wchar_t* what) {
    if (SUCCEEDED(hr)) return;
    std::wstring description;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.GetAddressOf()) == S_OK && info) {
        Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put())) && text.length()) description = text.str();
    }
    if (description.empty()) description = DefaultDescription(hr);
    Raise(hr, After(what, std::move(description)));
}

Error CurrentError() {
    try {
        throw;
    } catch (const Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return Error(E_OUTOFMEMORY, SystemMessage(E_OUTOFMEMORY));
    } catch (...) {
        return Error(E_UNEXPECTED, kUnexpectedFailure);
    }
}

HRESULT ReportError(const Error& e, REFIID iid) noexcept {
    ComPtr<ICreateErrorInfo> create;
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(CreateErrorInfo(create.GetAddressOf())) && create) {
        create->SetGUID(iid);
        create->SetDescription(const_cast<LPOLESTR>(e.description().c_str()));
        if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    }
    return FAILED(e.hr()) ? e.hr() : E_FAIL;
}

HRESULT ReportUnknown() noexcept {
    try {
        return ReportError(CurrentError());
    } catch (...) {
        return E_OUTOFMEMORY;  // too short of memory even to describe the failure
    }
}

HRESULT ReportInvokeFailure(EXCEPINFO* excep) noexcept {
    if (!excep) return ReportUnknown();
    try {
        const Error e = CurrentError();
        *excep = EXCEPINFO{};
        excep->scode = FAILED(e.hr()) ? e.hr() : E_FAIL;
        excep->bstrDescription = SysAllocStringLen(e.description().data(), static_cast<UINT>(e.description().size()));
        return DISP_E_EXCEPTION;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace orv
