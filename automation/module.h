#pragma once
#include <windows.h>

#include <string>

namespace orv {

// The module that holds this code: the add-in library, or a program linking it statically.
HMODULE ThisModule() noexcept;

// The full path of a loaded module; empty when the module isn't known.
std::wstring ModulePath(HMODULE module);

}  // namespace orv
