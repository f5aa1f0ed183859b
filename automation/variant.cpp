#include "variant.h"

#include "bstr.h"
#include "error.h"

namespace orv {

void Bstr::check(const void* source) {
    if (source && !p_) throw std::bad_alloc();
}

Variant::Variant(const Variant& o) {
    VariantInit(&v_);
    ThrowIfFailed(VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)));
}

Variant Variant::CopyOf(const VARIANT& v) {
    Variant r;
    ThrowIfFailed(VariantCopyInd(&r.v_, const_cast<VARIANT*>(&v)));
    return r;
}

Variant Variant::Str(const std::wstring& s) {
    Variant r;
    r.v_.bstrVal = Bstr(s).release();
    r.v_.vt = VT_BSTR;
    return r;
}

Variant Variant::Array(SafeArray variants) noexcept {
    Variant r;
    r.v_.parray = variants.release();
    r.v_.vt = VT_ARRAY | VT_VARIANT;
    return r;
}

Variant Variant::Object(IDispatch* p) {
    Variant r;
    r.v_.vt = VT_DISPATCH;
    r.v_.pdispVal = p;
    if (p) p->AddRef();
    return r;
}

namespace {
bool IsEmptyValue(const VARIANT& v) {
    VARTYPE t = v.vt & ~VT_BYREF;
    return t == VT_EMPTY || t == VT_NULL || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND);
}

Variant ChangeType(const VARIANT& v, VARTYPE to) {
    Variant r;
    HRESULT hr = VariantChangeType(r.put(), const_cast<VARIANT*>(&v), 0, to);
    if (hr == DISP_E_OVERFLOW) Raise(RuntimeError(kOverflow));
    if (hr == DISP_E_TYPEMISMATCH) Raise(RuntimeError(13), L"Type mismatch");
    ThrowIfFailed(hr);
    return r;
}
}  // namespace

std::wstring ToString(const VARIANT& v) {
    if (IsEmptyValue(v)) return std::wstring();
    Variant s = ChangeType(v, VT_BSTR);
    BSTR b = s.get().bstrVal;
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

int32_t ToLong(const VARIANT& v) {
    if (IsEmptyValue(v)) return 0;
    return ChangeType(v, VT_I4).get().lVal;
}

bool ToBool(const VARIANT& v) {
    if (IsEmptyValue(v)) return false;
    return ChangeType(v, VT_BOOL).get().boolVal != VARIANT_FALSE;
}

int16_t ToCount16(const VARIANT& v) {
    if (IsEmptyValue(v)) return 0;
    return ChangeType(v, VT_I2).get().iVal;
}

SafeArray SafeArray::Variants(ULONG n) {
    SAFEARRAY* p = SafeArrayCreateVector(VT_VARIANT, 0, n);
    if (!p) throw std::bad_alloc();
    return SafeArray(p);
}

}  // namespace orv
