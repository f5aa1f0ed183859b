#include "server.h"

namespace server {

namespace {
LONG g_locks = 0;
}  // namespace

void LockModule() noexcept { InterlockedIncrement(&g_locks); }
void UnlockModule() noexcept { InterlockedDecrement(&g_locks); }
LONG ModuleLocks() noexcept { return InterlockedCompareExchange(&g_locks, 0, 0); }

HMODULE ThisModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

}  // namespace server
