#include "display_name.h"

namespace orvalis {

std::wstring TrimDisplayName(const std::wstring& name) {
    if (name.empty() || name.back() != L')') return name;
    const auto open = name.rfind(L'(');
    if (open == std::wstring::npos) return name;
    // The "(" goes, and so does the character before it (normally the blank that
    // separates the remark). A "(" at the very start leaves nothing to keep.
    if (open == 0) return std::wstring();
    return name.substr(0, open - 1);
}

}  // namespace orvalis
