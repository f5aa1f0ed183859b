#pragma once
#include <string>

#include "member_table.h"

namespace orvalis {

// One field as written to the list: every control character (U+0000-U+001F, U+007F,
// U+0085, U+2028, U+2029) becomes one blank, so each member stays on exactly one line.
std::wstring SanitizeField(const std::wstring& field);

// The subscriber list: for each row in table order, address, " ", name, CR LF, with the
// address and the name blanked as SanitizeField does.
std::wstring BuildListText(const MemberTable& table);

}  // namespace orvalis
