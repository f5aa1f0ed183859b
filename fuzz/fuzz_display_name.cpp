// Display-name trimming against the rule written out directly: when the name ends in ")",
// search for "(" from the last character backwards; at the first one found, at position j
// counting from 1, keep the first j - 2 characters (none when j is 1); without a "(" the
// name stays as it is.
#include <cstddef>
#include <cstdint>
#include <string>

#include "display_name.h"
#include "fuzz_input.h"

namespace {

std::wstring Trimmed(const std::wstring& name) {
    if (name.empty() || name[name.size() - 1] != L')') return name;
    for (std::size_t j = name.size(); j >= 1; --j) {
        if (name[j - 1] != L'(') continue;
        if (j == 1) return std::wstring();
        return name.substr(0, j - 2);
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::wstring name = in.Rest();
    fuzz::Expect(orvalis::TrimDisplayName(name) == Trimmed(name), "trimmed display name differs");
    return 0;
}
