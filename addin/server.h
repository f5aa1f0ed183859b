#pragma once
// The in-process server's module count: live Addin objects plus class-factory locks.
// The library can be unloaded when it is zero.
#include <windows.h>

namespace server {

void LockModule() noexcept;
void UnlockModule() noexcept;
LONG ModuleLocks() noexcept;

// The module that holds this code: the add-in library, or a test program linking it.
HMODULE ThisModule() noexcept;

}  // namespace server
