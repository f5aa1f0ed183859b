#include "list_text.h"

#include <cstddef>

namespace orvalis {

namespace {

// Characters that would break a member's line in an editor or at the list server.
constexpr bool IsLineBreaking(wchar_t c) {
    return c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Appends field to text with every line-breaking character written as a blank.
void AppendSanitized(std::wstring& text, const std::wstring& field) {
    const std::size_t start = text.size();
    text.append(field);
    wchar_t* p = &text[0];
    for (std::size_t i = start, end = text.size(); i < end; ++i) {
        if (IsLineBreaking(p[i])) p[i] = L' ';
    }
}

}  // namespace

std::wstring SanitizeField(const std::wstring& field) {
    std::wstring clean;
    AppendSanitized(clean, field);
    return clean;
}

std::wstring BuildListText(const MemberTable& table) {
    const int count = table.memberCount();
    std::size_t size = 0;
    for (int row = 0; row < count; ++row) {
        size += table.Address(row).size() + 1 + table.Name(row).size() + 2;
    }
    std::wstring text;
    text.reserve(size);
    for (int row = 0; row < count; ++row) {
        AppendSanitized(text, table.Address(row));
        text.push_back(L' ');
        AppendSanitized(text, table.Name(row));
        text.append(L"\r\n");
    }
    return text;
}

}  // namespace orvalis
