#include "custom_ui.h"

#include <string>

#include "error.h"
#include "module.h"
#include "resource.h"
#include "ribbon.h"

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

orv::Bstr CustomUIFor(const wchar_t* ribbonId) {
    if (ribbonId && lstrcmpW(ribbonId, contract::kExplorerRibbonId) == 0) return orv::Bstr(ExplorerDocument());
    return orv::Bstr(L"");
}

HRESULT CheckRibbonCallbackArgs(WORD flags, const DISPPARAMS* params, UINT* argErr) noexcept {
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

}  // namespace orvalis
