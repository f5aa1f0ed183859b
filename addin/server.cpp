#include "server.h"

namespace server {

namespace {
LONG g_locks = 0;
}  // namespace

void LockModule() noexcept { InterlockedIncrement(&g_locks); }
void UnlockModule() noexcept { InterlockedDecrement(&g_locks); }
LONG ModuleLocks() noexcept { return InterlockedCompareExchange(&g_locks, 0, 0); }

}  // namespace server
