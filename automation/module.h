#pragma once
#include <windows.h>

namespace orv {

// The module that holds this code: the add-in library, or a program linking it statically.
HMODULE ThisModule() noexcept;

}  // namespace orv
