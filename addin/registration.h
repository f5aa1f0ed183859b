#pragma once
// What the add-in library writes to the registry: its type library (and the add-in designer
// library it imports, where no other is registered), the class, its ProgID, and the mail
// client's add-in entry for the current user.
#include <windows.h>

#include <string>

namespace registration {

// Machine: the classes under HKLM\Software\Classes (administrators). User: under
// HKCU\Software\Classes, for a user without administrator rights.
enum class Scope { Machine, User };

// The mail client's per-user add-in entry, and its start-up connection plus demand load.
inline constexpr wchar_t kHostAddInKey[] = L"Software\\Microsoft\\Office\\Outlook\\Addins\\ORVALISutility.Addin";
inline constexpr DWORD kLoadBehavior = 3;

// Each returns S_OK, or SELFREG_E_TYPELIB / SELFREG_E_CLASS for the first step that failed.
// Unregistering what is absent succeeds.
HRESULT Register(HMODULE module, Scope scope) noexcept;
HRESULT Unregister(HMODULE module, Scope scope) noexcept;

// DllInstall's command line: empty for the machine, "user" (any case) for the current user.
// Returns false for anything else.
bool ScopeFromCommandLine(const wchar_t* commandLine, Scope* scope) noexcept;

// The full path of a loaded module.
std::wstring ModulePath(HMODULE module);

}  // namespace registration
