#pragma once
#include <string>

namespace orvalis {

// An SMTP entry's display name without its trailing parenthesised remark: when the name
// ends in ")", everything from the character before its last "(" on is dropped
// ("Ann Lee (Sales)" gives "Ann Lee"). A name whose last "(" is its first character
// becomes empty. Names without "(" or not ending in ")" stay as they are.
std::wstring TrimDisplayName(const std::wstring& name);

}  // namespace orvalis
