#include "ribbon_document.h"

#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>

#include "Global.h"
#include "error.h"
#include "form1.h"
#include "list_options.h"
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

namespace {

// The document's callbacks: names and ids, the arguments each takes after the control (in
// the order the document's schema gives them, which DISPPARAMS holds last first), and what it
// does. The ids are apart from those of the add-in contract's operations (1 to 5).
enum class Argument { Boolean, String, Integer };

struct Callback {
    const wchar_t* name;
    DISPID id;
    std::initializer_list<Argument> after;  // the arguments that follow the control
};

const Callback kCallbacks[] = {
    {kRibbonButtonCallback, kRibbonButtonCallbackId, {}},
    {L"" ORVALIS_RIBBON_NESTED_PRESSED_CALLBACK, kNestedPressedId, {}},
    {L"" ORVALIS_RIBBON_NESTED_ACTION_CALLBACK, kNestedActionId, {Argument::Boolean}},
    {L"" ORVALIS_RIBBON_FORMAT_INDEX_CALLBACK, kFormatIndexId, {}},
    {L"" ORVALIS_RIBBON_FORMAT_ACTION_CALLBACK, kFormatActionId, {Argument::String, Argument::Integer}},
};

// The dropDown's items, in the document's order.
const struct {
    const wchar_t* id;
    ListFormat format;
} kFormatItems[] = {
    {L"" ORVALIS_RIBBON_FORMAT_ADDRESS_NAME, ListFormat::AddressName},
    {L"" ORVALIS_RIBBON_FORMAT_MAILMAN, ListFormat::Mailman},
    {L"" ORVALIS_RIBBON_FORMAT_CSV, ListFormat::Csv},
};

// An argument as the caller passed it: by value, or by reference to a value or a variant.
const VARIANT& ValueOf(const VARIANT& v) {
    if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) return *v.pvarVal;
    return v;
}

bool IsControl(const VARIANT& v) {
    return (v.vt == VT_DISPATCH && v.pdispVal) || (v.vt == VT_UNKNOWN && v.punkVal) ||
           (v.vt == (VT_BYREF | VT_DISPATCH) && v.ppdispVal && *v.ppdispVal);
}

VARTYPE TypeOf(Argument a) { return a == Argument::Boolean ? VT_BOOL : a == Argument::String ? VT_BSTR : VT_I4; }

// A method call with exactly the control and then the callback's own arguments, positional,
// each of its type (by value or by reference). Returns S_OK, or the DISP_E_ result for what is
// wrong, with *argErr set to the argument at fault.
HRESULT CheckArguments(const Callback& c, WORD flags, const DISPPARAMS* params, UINT* argErr) noexcept {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    const UINT count = static_cast<UINT>(c.after.size()) + 1;
    if (params->cArgs != count || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
    const UINT controlAt = count - 1;
    if (!IsControl(ValueOf(params->rgvarg[controlAt]))) {
        if (argErr) *argErr = controlAt;
        return DISP_E_TYPEMISMATCH;
    }
    UINT at = controlAt;
    for (Argument a : c.after) {
        --at;
        const VARIANT& v = ValueOf(params->rgvarg[at]);
        if ((v.vt & ~VT_BYREF) != TypeOf(a) || ((v.vt & VT_BYREF) && !v.byref)) {
            if (argErr) *argErr = at;
            return DISP_E_TYPEMISMATCH;
        }
    }
    return S_OK;
}

// The k-th argument after the control.
const VARIANT& After(const DISPPARAMS* params, UINT k) { return ValueOf(params->rgvarg[params->cArgs - 2 - k]); }
bool BooleanOf(const VARIANT& v) { return (v.vt & VT_BYREF ? *v.pboolVal : v.boolVal) != VARIANT_FALSE; }
const wchar_t* StringOf(const VARIANT& v) { return v.vt & VT_BYREF ? *v.pbstrVal : v.bstrVal; }
LONG IntegerOf(const VARIANT& v) { return v.vt & VT_BYREF ? *v.plVal : v.lVal; }

// The format an onAction of the dropDown chose: by the item's id; by its index where the id is
// none of ours.
std::optional<ListFormat> ChosenFormat(const wchar_t* itemId, LONG index) {
    for (const auto& item : kFormatItems)
        if (itemId && lstrcmpW(itemId, item.id) == 0) return item.format;
    if (index >= 0 && index < static_cast<LONG>(std::size(kFormatItems))) return kFormatItems[index].format;
    return std::nullopt;
}

LONG IndexOf(ListFormat format) {
    for (size_t i = 0; i < std::size(kFormatItems); ++i)
        if (kFormatItems[i].format == format) return static_cast<LONG>(i);
    return 0;
}

}  // namespace

DISPID RibbonCallbackId(const wchar_t* name) noexcept {
    if (!name) return DISPID_UNKNOWN;
    for (const Callback& c : kCallbacks)
        if (CompareStringOrdinal(name, -1, c.name, -1, TRUE) == CSTR_EQUAL) return c.id;
    return DISPID_UNKNOWN;
}

orv::Bstr CustomUIFor(const wchar_t* ribbonId) {
    if (ribbonId && lstrcmpW(ribbonId, contract::kExplorerRibbonId) == 0) return orv::Bstr(ExplorerDocument());
    return orv::Bstr(L"");
}

HRESULT InvokeRibbonCallback(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                             UINT* argErr) noexcept {
    const Callback* callback = nullptr;
    for (const Callback& c : kCallbacks)
        if (c.id == id) callback = &c;
    if (!callback) return DISP_E_MEMBERNOTFOUND;
    const HRESULT hr = CheckArguments(*callback, flags, params, argErr);
    if (FAILED(hr)) return hr;
    if (result) VariantInit(result);
    if (id == kFormatActionId && !ChosenFormat(StringOf(After(params, 0)), IntegerOf(After(params, 1)))) {
        if (argErr) *argErr = 1;
        return DISP_E_BADINDEX;  // an item the document doesn't have
    }
    return orv::GuardInvoke(
        [&] {
            Form1& form = Global::TheForm1();
            switch (id) {
                case kRibbonButtonCallbackId:
                    // Loaded (with the address book) at the first click and after every close;
                    // brought to the front while it is shown. A load that fails has told the
                    // user in its box already.
                    form.Show(Global::hostApp());
                    break;
                case kNestedPressedId:
                    if (result) {
                        result->vt = VT_BOOL;
                        result->boolVal = form.OfferedOptions().expandNested ? VARIANT_TRUE : VARIANT_FALSE;
                    }
                    break;
                case kNestedActionId: {
                    // The choice holds for this session even where the registry refuses to keep it.
                    const bool on = BooleanOf(After(params, 0));
                    form.OfferedOptions().expandNested = on;
                    WriteExpandNested(on);
                    break;
                }
                case kFormatIndexId:
                    if (result) {
                        result->vt = VT_I4;
                        result->lVal = IndexOf(form.OfferedOptions().format);
                    }
                    break;
                case kFormatActionId: {
                    const ListFormat format = *ChosenFormat(StringOf(After(params, 0)), IntegerOf(After(params, 1)));
                    form.OfferedOptions().format = format;
                    WriteListFormat(format);
                    break;
                }
                default:
                    break;
            }
        },
        excep);
}

}  // namespace orvalis
