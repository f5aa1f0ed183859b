#pragma once
// Reads a fuzzer's bytes as the strings and choices a target needs. Units are 16 bits, as
// the strings are on Windows; every read succeeds, past the end with zeros and empty
// strings, so each input is a valid case.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

class Input {
public:
    Input(const uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}

    bool empty() const { return at_ == end_; }

    uint8_t Byte() { return at_ == end_ ? 0 : *at_++; }

    // A length byte, then that many units of two bytes each (fewer at the end).
    std::wstring String() {
        std::size_t n = Byte();
        std::wstring s;
        while (n-- > 0 && end_ - at_ >= 2) {
            s.push_back(static_cast<wchar_t>(at_[0] | at_[1] << 8));
            at_ += 2;
        }
        return s;
    }

    // All that is left, as units.
    std::wstring Rest() {
        std::wstring s;
        for (; end_ - at_ >= 2; at_ += 2) s.push_back(static_cast<wchar_t>(at_[0] | at_[1] << 8));
        return s;
    }

private:
    const uint8_t* at_;
    const uint8_t* end_;
};

// A difference from the reference: say what differed and stop, so the fuzzer keeps the input.
[[noreturn]] inline void Finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

inline void Expect(bool holds, const char* what) {
    if (!holds) Finding(what);
}

}  // namespace fuzz
