#pragma once
// RAII for the system's handles, one line each over its close function: a handle is let go
// when its holder goes, on every way out.
#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace orv {

template <class H, auto Close>
struct HandleCloser {
    void operator()(H h) const noexcept { Close(h); }
};
template <class H, auto Close>
using UniqueHandleOf = std::unique_ptr<std::remove_pointer_t<H>, HandleCloser<H, Close>>;

using UniqueModule = UniqueHandleOf<HMODULE, &FreeLibrary>;
using UniqueHGlobal = UniqueHandleOf<HGLOBAL, &GlobalFree>;

// A registry key.
class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& o) noexcept : k_(std::exchange(o.k_, nullptr)) {}
    RegKey& operator=(RegKey&& o) noexcept {
        std::swap(k_, o.k_);
        return *this;
    }
    ~RegKey() {
        if (k_) RegCloseKey(k_);
    }
    HKEY get() const noexcept { return k_; }
    // Closes what is held and hands out the slot for a key the registry opens.
    HKEY* put() noexcept {
        if (k_) RegCloseKey(k_);
        k_ = nullptr;
        return &k_;
    }

private:
    HKEY k_ = nullptr;
};

// A window's device context, from GetDC to ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A file or other kernel object.
class UniqueFile {
public:
    UniqueFile() = default;
    explicit UniqueFile(HANDLE h) noexcept : h_(h) {}
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    ~UniqueFile() { reset(); }
    HANDLE get() const noexcept { return h_; }
    bool valid() const noexcept { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    void reset(HANDLE h = INVALID_HANDLE_VALUE) noexcept {
        if (valid()) CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

}  // namespace orv
