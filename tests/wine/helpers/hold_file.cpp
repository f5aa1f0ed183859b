// HoldFile.exe <path> share|lock <ready-event> <release-event>: another program holding a
// file, for the save tests. "share" opens it for writing and shares only reading; "lock"
// shares reading and writing but takes an exclusive byte-range lock on the whole file.
// Signals ready once it holds the file and lets go when release is signalled (or after 30 s).
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) return 2;
    const bool lock = wcscmp(argv[2], L"lock") == 0;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, lock ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    OVERLAPPED whole{};
    if (lock && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) return 4;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
    if (!ready || !release) return 5;
    SetEvent(ready);
    WaitForSingleObject(release, 30000);
    if (lock) UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(file);
    return 0;
}
