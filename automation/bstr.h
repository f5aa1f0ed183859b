#pragma once
// RAII for BSTR.
#include <windows.h>
#include <oleauto.h>
#include <string>
#include <utility>

namespace orv {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* s) : p_(s ? SysAllocString(s) : nullptr) { check(s); }
    explicit Bstr(const std::wstring& s) : p_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) { check(s.c_str()); }
    Bstr(const Bstr& o) : p_(o.p_ ? SysAllocStringLen(o.p_, SysStringLen(o.p_)) : nullptr) { check(o.p_); }
    Bstr(Bstr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Bstr& operator=(Bstr o) noexcept { std::swap(p_, o.p_); return *this; }
    ~Bstr() { SysFreeString(p_); }
    // Takes ownership of a BSTR someone handed us (an [out] string, an EXCEPINFO's).
    static Bstr Attach(BSTR p) noexcept {
        Bstr b;
        b.p_ = p;
        return b;
    }

    BSTR get() const noexcept { return p_; }
    // Frees what is held and hands out the slot for an [out] BSTR.
    BSTR* put() noexcept { SysFreeString(p_); p_ = nullptr; return &p_; }
    BSTR release() noexcept { return std::exchange(p_, nullptr); }
    UINT length() const noexcept { return SysStringLen(p_); }
    std::wstring str() const { return p_ ? std::wstring(p_, SysStringLen(p_)) : std::wstring(); }

private:
    void check(const void* source);
    BSTR p_ = nullptr;
};

}  // namespace orv
