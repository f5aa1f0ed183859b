#include "list_text.h"

#include <algorithm>
#include <cstddef>

#include "line_breaks.h"

namespace orvalis {

namespace {

wchar_t Blanked(wchar_t c) { return IsLineBreaking(c) ? L' ' : c; }

// Writes field at out, every line-breaking character as a blank; returns the end.
wchar_t* CopySanitized(const std::wstring& field, wchar_t* out) {
    return std::transform(field.begin(), field.end(), out, Blanked);
}

wchar_t* CopyPlain(const std::wstring& field, wchar_t* out) {
    return std::copy(field.begin(), field.end(), out);
}

}  // namespace

std::wstring SanitizeField(const std::wstring& field) {
    std::wstring clean(field.size(), L' ');
    if (!field.empty()) CopySanitized(field, &clean[0]);
    return clean;
}

std::wstring BuildListText(const MemberTable& table) {
    const int count = table.memberCount();
    std::size_t size = 0;
    for (int row = 0; row < count; ++row) {
        size += table.Address(row).size() + 1 + table.Name(row).size() + 2;
    }
    std::wstring text(size, L'\0');
    if (size == 0) return text;
    wchar_t* out = &text[0];
    for (int row = 0; row < count; ++row) {
        // Most rows hold no line-breaking character; only those few are copied one by one.
        const auto copy = table.HasLineBreaks(row) ? CopySanitized : CopyPlain;
        out = copy(table.Address(row), out);
        *out++ = L' ';
        out = copy(table.Name(row), out);
        *out++ = L'\r';
        *out++ = L'\n';
    }
    return text;
}

}  // namespace orvalis
