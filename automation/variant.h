#pragma once
// RAII for VARIANT and SAFEARRAY, and the conversions the code needs.
#include <windows.h>
#include <oleauto.h>
#include <cstdint>
#include <string>
#include <utility>

namespace orv {

class SafeArray;

class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    Variant(const Variant& o);
    Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
    Variant& operator=(Variant o) noexcept { std::swap(v_, o.v_); return *this; }
    ~Variant() { VariantClear(&v_); }

    // Takes a copy of any VARIANT (a by-reference one is dereferenced).
    static Variant CopyOf(const VARIANT& v);

    static Variant Bool(bool b) { Variant r; r.v_.vt = VT_BOOL; r.v_.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE; return r; }
    static Variant I2(int16_t n) { Variant r; r.v_.vt = VT_I2; r.v_.iVal = n; return r; }
    static Variant I4(int32_t n) { Variant r; r.v_.vt = VT_I4; r.v_.lVal = n; return r; }
    static Variant Str(const std::wstring& s);
    static Variant Object(IDispatch* p);   // adds a reference
    // An array of VARIANTs (VT_ARRAY | VT_VARIANT), which the variant then owns.
    static Variant Array(SafeArray variants) noexcept;
    // A reference to the caller's 16-bit integer, as a by-reference argument.
    static Variant RefI2(int16_t* p) { Variant r; r.v_.vt = VT_BYREF | VT_I2; r.v_.piVal = p; return r; }

    VARTYPE vt() const noexcept { return v_.vt; }
    const VARIANT& get() const noexcept { return v_; }
    VARIANT* put() noexcept { VariantClear(&v_); return &v_; }
    VARIANT detach() noexcept { VARIANT r = v_; VariantInit(&v_); return r; }

private:
    VARIANT v_;
};

// Conversions with the classic rules; an empty or missing value is "" or 0.
std::wstring ToString(const VARIANT& v);
int32_t ToLong(const VARIANT& v);
bool ToBool(const VARIANT& v);
// A count from the host or CDO as a 16-bit signed integer; error 6 (overflow) when it doesn't fit.
int16_t ToCount16(const VARIANT& v);
inline std::wstring ToString(const Variant& v) { return ToString(v.get()); }
inline int32_t ToLong(const Variant& v) { return ToLong(v.get()); }
inline bool ToBool(const Variant& v) { return ToBool(v.get()); }
inline int16_t ToCount16(const Variant& v) { return ToCount16(v.get()); }

// Owns a SAFEARRAY.
class SafeArray {
public:
    SafeArray() = default;
    explicit SafeArray(SAFEARRAY* p) noexcept : p_(p) {}
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    SafeArray(SafeArray&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    SafeArray& operator=(SafeArray&& o) noexcept { std::swap(p_, o.p_); return *this; }
    ~SafeArray() { if (p_) SafeArrayDestroy(p_); }
    // A one-dimensional array of VARIANTs with n elements, all empty.
    static SafeArray Variants(ULONG n);
    SAFEARRAY* get() const noexcept { return p_; }
    SAFEARRAY** put() noexcept { if (p_) SafeArrayDestroy(p_); p_ = nullptr; return &p_; }
    SAFEARRAY* release() noexcept { return std::exchange(p_, nullptr); }

private:
    SAFEARRAY* p_ = nullptr;
};

}  // namespace orv
