#pragma once
// What a run of "Create List" left in the member table, as text a test compares exactly.
#include <string>
#include <vector>

#include "member_table.h"

namespace orvtest {

// Each member as "list line => address|name", the list line being the one the window got for
// that row; a line count that differs from the row count is added as a last entry.
inline std::vector<std::wstring> MemberLines(const orvalis::MemberTable& t, const std::vector<std::wstring>& lines) {
    std::vector<std::wstring> out;
    for (int i = 0; i < t.memberCount(); ++i)
        out.push_back((i < static_cast<int>(lines.size()) ? lines[i] : L"?") + L" => " + std::wstring(t.Address(i)) + L"|" +
                      std::wstring(t.Name(i)));
    if (lines.size() != out.size()) out.push_back(L"lines: " + std::to_wstring(lines.size()));
    return out;
}

inline std::vector<std::wstring> Addresses(const orvalis::MemberTable& t) {
    std::vector<std::wstring> out;
    for (int i = 0; i < t.memberCount(); ++i) out.emplace_back(t.Address(i));
    return out;
}

}  // namespace orvtest
