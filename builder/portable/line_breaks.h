#pragma once
// Characters that would split a member's line in an editor or at the list server: the C0
// controls, DEL, NEL and the Unicode line and paragraph separators.
#include <algorithm>
#include <string_view>

namespace orvalis {

constexpr bool IsLineBreaking(wchar_t c) {
    return c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029;
}

inline bool HasLineBreaking(std::wstring_view s) {
    return std::any_of(s.begin(), s.end(), IsLineBreaking);
}

}  // namespace orvalis
