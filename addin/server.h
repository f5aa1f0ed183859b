#pragma once
// The in-process server's module count: live Addin objects plus class-factory locks.
// The library can be unloaded when it is zero.
#include <windows.h>

namespace server {

void LockModule() noexcept;
void UnlockModule() noexcept;
LONG ModuleLocks() noexcept;

}  // namespace server
