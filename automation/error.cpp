#include "error.h"

#include <oleauto.h>

#include <new>

#include "bstr.h"

namespace orv {

namespace {
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

long Error::number() const noexcept {
    if ((static_cast<unsigned long>(hr_) & 0xFFFF0000u) == 0x800A0000u) return hr_ & 0xFFFF;
    return hr_;
}

void Raise(HRESULT hr, std::wstring description) { throw Error(hr, std::move(description)); }

void RaiseRuntime(int number) { throw Error(RuntimeError(number), RuntimeDescription(number)); }

std::wstring SystemMessage(HRESULT hr) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring s(text ? text : L"", n);
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ')) s.pop_back();
    return s;
}

Error Win32Error(DWORD code) {
    const HRESULT hr = HRESULT_FROM_WIN32(code);
    std::wstring text = SystemMessage(hr);
    if (text.empty()) {
        wchar_t buf[48];
        wsprintfW(buf, L"System error %lu.", static_cast<unsigned long>(code));
        text = buf;
    }
    return Error(hr, std::move(text));
}

void RaiseLastError(const wchar_t* what) {
    const DWORD code = GetLastError();
    Error e = Win32Error(code ? code : ERROR_INVALID_FUNCTION);
    if (!what || !*what) throw e;
    throw Error(e.hr(), std::wstring(what) + L": " + e.description());
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

void ThrowIfFailed(HRESULT hr, const wchar_t* what) {
    if (SUCCEEDED(hr)) return;
    std::wstring description;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put())) && text.length()) description = text.str();
        info->Release();
    }
    if (description.empty()) description = SystemMessage(hr);
    if (description.empty()) {
        wchar_t buf[32];
        wsprintfW(buf, L"Error 0x%08lX", static_cast<unsigned long>(hr));
        description = buf;
    }
    if (what && *what) description = std::wstring(what) + L": " + description;
    throw Error(hr, std::move(description));
}

HRESULT ReportError(const Error& e, REFIID iid) noexcept {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
        create->SetGUID(iid);
        create->SetDescription(const_cast<LPOLESTR>(e.description().c_str()));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
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
