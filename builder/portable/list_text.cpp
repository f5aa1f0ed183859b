#include "list_text.h"

#include <algorithm>
#include <cstddef>

#include "line_breaks.h"

namespace orvalis {

namespace {

wchar_t Blanked(wchar_t c) { return IsLineBreaking(c) ? L' ' : c; }

// Blanks every line-breaking character of the n units at at.
void BlankInPlace(wchar_t* at, std::size_t n) { std::transform(at, at + n, at, Blanked); }

}  // namespace

std::wstring SanitizeField(const std::wstring& field) {
    std::wstring clean(field);
    if (!clean.empty()) BlankInPlace(&clean[0], clean.size());
    return clean;
}

std::wstring BuildListText(const MemberTable& table) {
    // The table keeps its rows as list lines; the text is their copy, with the few rows
    // that hold a line-breaking character blanked afterwards.
    const std::wstring_view lines = table.Lines();
    std::wstring text(lines.begin(), lines.end());
    std::size_t start = 0;
    for (int row = 0; row < table.memberCount(); ++row) {
        const std::size_t addressLength = table.Address(row).size();
        const std::size_t nameLength = table.Name(row).size();
        if (table.HasLineBreaks(row)) {
            BlankInPlace(&text[start], addressLength);
            BlankInPlace(&text[start + addressLength + 1], nameLength);
        }
        start += addressLength + 1 + nameLength + 2;
    }
    return text;
}

}  // namespace orvalis
