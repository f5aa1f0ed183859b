#pragma once
// What the add-in library writes to the registry: its type library (and the add-in designer
// library it imports, where no other is registered), the class, its ProgID, and the mail
// client's add-in entry for the current user.
#include <windows.h>

#include <string>

#include "identity.h"

namespace registration {

// Machine: the classes under HKLM\Software\Classes (administrators). User: under
// HKCU\Software\Classes, for a user without administrator rights.
enum class Scope { Machine, User };

// The client's start-up connection plus demand load, in the add-in entry.
inline constexpr DWORD kLoadBehavior = ORVALIS_LOAD_BEHAVIOR;

// Each returns S_OK, or SELFREG_E_TYPELIB / SELFREG_E_CLASS for the first step that failed
// (E_OUTOFMEMORY when memory ran out), with the reason in the thread's IErrorInfo.
// Unregistering what is absent succeeds.
HRESULT Register(HMODULE module, Scope scope) noexcept;
HRESULT Unregister(HMODULE module, Scope scope) noexcept;

// DllInstall's command line: empty for the machine, "user" (any case) for the current user.
// Returns false for anything else.
bool ScopeFromCommandLine(const wchar_t* commandLine, Scope* scope) noexcept;

// Our build of the add-in designer library travels inside the add-in library as its second
// type library; this is the path that names it.
std::wstring DesignerLibraryPath(const std::wstring& modulePath);

}  // namespace registration
