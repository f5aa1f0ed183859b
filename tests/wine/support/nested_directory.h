#pragma once
// Directories of lists inside lists for the stand-ins' "cdo" section, too large to write by
// hand: a chain of lists, each inside the next.
#include <cstddef>
#include <string>

namespace orvtest {

// The JSON list of a "cdo" directory holding depth Exchange lists "chain1" ... "chain<depth>",
// each but the last holding only the next, the last holding the person "bottom"
// (bottom@example.com). Each list "chainN" has the address chainN@example.com.
std::wstring ChainDirectory(size_t depth);
// A whole scenario with that directory, whose one pick is the outermost list.
std::wstring ChainScenario(size_t depth);

}  // namespace orvtest
