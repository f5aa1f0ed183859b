#include "ribbon_document.h"

#include <string>

#include "Global.h"
#include "error.h"
#include "form1.h"
#include "module.h"
#include "resource.h"

namespace orvalis {

namespace {

// The document as the resource holds it: UTF-8 text.
std::wstring ExplorerDocument() {
    HMODULE module = orv::ThisModule();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_RIBBON_EXPLORER), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size == 0 || size > 0x100000)
        orv::Raise(HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND), L"The add-in library holds no ribbon document.");
    const int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), nullptr, 0);
    if (chars <= 0) orv::RaiseLastError(L"MultiByteToWideChar");
    std::wstring text(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), text.data(), chars);
    return text;
}

}  // namespace

DISPID RibbonCallbackId(const wchar_t* name) noexcept {
    if (name && CompareStringOrdinal(name, -1, kRibbonButtonCallback, -1, TRUE) == CSTR_EQUAL) return kRibbonButtonCallbackId;
    return DISPID_UNKNOWN;
}

orv::Bstr CustomUIFor(const wchar_t* ribbonId) {
    if (ribbonId && lstrcmpW(ribbonId, contract::kExplorerRibbonId) == 0) return orv::Bstr(ExplorerDocument());
    return orv::Bstr(L"");
}

namespace {

// A method call with exactly one positional argument, an object (the IRibbonControl).
HRESULT CheckControlArgument(WORD flags, const DISPPARAMS* params, UINT* argErr) noexcept {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != 1 || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
    const VARIANT* control = &params->rgvarg[0];
    if (control->vt == (VT_BYREF | VT_VARIANT) && control->pvarVal) control = control->pvarVal;
    const bool object = (control->vt == VT_DISPATCH && control->pdispVal) || (control->vt == VT_UNKNOWN && control->punkVal) ||
                        (control->vt == (VT_BYREF | VT_DISPATCH) && control->ppdispVal && *control->ppdispVal);
    if (object) return S_OK;
    if (argErr) *argErr = 0;
    return DISP_E_TYPEMISMATCH;
}

}  // namespace

HRESULT InvokeRibbonCallback(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                             UINT* argErr) noexcept {
    if (id != kRibbonButtonCallbackId) return DISP_E_MEMBERNOTFOUND;
    const HRESULT hr = CheckControlArgument(flags, params, argErr);
    if (FAILED(hr)) return hr;
    if (result) VariantInit(result);
    // Loaded (with the address book) at the first click and after every close; brought to the
    // front while it is shown. A load that fails has told the user in its box already.
    return orv::GuardInvoke([] { Global::TheForm1().Show(Global::hostApp()); }, excep);
}

}  // namespace orvalis
