#include "registration.h"

#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>
#include <wrl/client.h>

#include "OrvalisAddin.h"
#include "error.h"
#include "host_contract.h"
#include "module.h"
#include "paths.h"
#include "handles.h"
#include "resource.h"

// Declared by the platform SDK's oleauto.h but not by mingw-w64's; oleaut32 exports both.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* lib, OLECHAR* path, OLECHAR* helpDir);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libId, WORD major, WORD minor, LCID lcid, SYSKIND syskind);

namespace registration {

namespace {

using contract::kAddInDescription;
using contract::kHostAddInKey;
using contract::kProgId;

constexpr WORD kLibMajor = ORVALIS_TYPELIB_MAJOR, kLibMinor = ORVALIS_TYPELIB_MINOR;
constexpr WORD kDesignerMajor = 1, kDesignerMinor = 0;

// Type libraries are registered per platform: a 64-bit host reads the win64 entries, a 32-bit
// one the win32 entries, so each build registers, finds and removes only its own.
#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
constexpr wchar_t kSysKindKey[] = L"win64";
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
constexpr wchar_t kSysKindKey[] = L"win32";
#endif

using orv::RegKey;

// Runs one step of the registration. Whatever fails in it is reported as that step's result,
// the code regsvr32 reads, with the step's own reason kept as the description.
template <class F>
void RunStep(HRESULT stepFailed, F&& step) {
    try {
        step();
    } catch (const orv::Error& e) {
        throw orv::Error(stepFailed, e.description());
    }
}

std::wstring GuidText(REFGUID g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

constexpr wchar_t kClasses[] = L"Software\\Classes";
HKEY ScopeHive(Scope scope) { return scope == Scope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// The classes root of a scope, opened for writing (created if a fresh profile lacks it).
LONG CreateClassesKey(Scope scope, RegKey* key) {
    return RegCreateKeyExW(ScopeHive(scope), kClasses, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key->put(), nullptr);
}

// The classes root of a scope as it stands; false when nothing was ever registered there.
bool OpenExistingClasses(Scope scope, REGSAM access, RegKey* key) {
    const LONG r = RegOpenKeyExW(ScopeHive(scope), kClasses, 0, access, key->put());
    if (r == ERROR_FILE_NOT_FOUND) return false;
    orv::ThrowIfWin32Failed(r);
    return true;
}

void SetString(HKEY root, const std::wstring& subKey, const wchar_t* name, const std::wstring& value) {
    RegKey k;
    orv::ThrowIfWin32Failed(RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr));
    orv::ThrowIfWin32Failed(RegSetValueExW(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

void SetDword(HKEY root, const std::wstring& subKey, const wchar_t* name, DWORD value) {
    RegKey k;
    orv::ThrowIfWin32Failed(RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr));
    orv::ThrowIfWin32Failed(RegSetValueExW(k.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
}

bool ReadString(HKEY root, const std::wstring& subKey, std::wstring* value) {
    DWORD bytes = 0;
    if (RegGetValueW(root, subKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS) return false;
    std::wstring s(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(s.size() * sizeof(wchar_t));
    if (RegGetValueW(root, subKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, s.data(), &bytes) != ERROR_SUCCESS) return false;
    s.resize(wcslen(s.c_str()));
    *value = s;
    return true;
}

bool KeyExists(HKEY root, const std::wstring& subKey) {
    RegKey k;
    return RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

// Deletes the key and everything below it; a key that isn't there is deleted already.
void DeleteTree(HKEY root, const std::wstring& subKey) {
    LONG r = RegDeleteTreeW(root, subKey.c_str());
    if (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND) {
        r = RegDeleteKeyW(root, subKey.c_str());
        if (r == ERROR_FILE_NOT_FOUND) r = ERROR_SUCCESS;
    }
    orv::ThrowIfWin32Failed(r);
}

// Type-library calls for the user scope see HKCU\Software\Classes as the classes root, the
// way per-user registration works on Windows; some oleaut32 versions register "for the user"
// machine-wide otherwise. Held only for the duration of the calls. Without that root the
// calls go ahead as they are: the library call then reports what is wrong.
class UserClassesRoot {
public:
    explicit UserClassesRoot(Scope scope) {
        if (scope != Scope::User) return;
        if (CreateClassesKey(Scope::User, &classes_) == ERROR_SUCCESS)
            overridden_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_.get()) == ERROR_SUCCESS;
    }
    ~UserClassesRoot() {
        if (overridden_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    UserClassesRoot(const UserClassesRoot&) = delete;
    UserClassesRoot& operator=(const UserClassesRoot&) = delete;

private:
    RegKey classes_;
    bool overridden_ = false;
};

void RegisterLibrary(const std::wstring& path, const std::wstring& helpDir, Scope scope) {
    Microsoft::WRL::ComPtr<ITypeLib> lib;
    orv::ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.GetAddressOf()), path.c_str());
    std::wstring file = path;
    std::wstring dir = helpDir;
    HRESULT hr;
    {
        UserClassesRoot root(scope);
        hr = scope == Scope::User ? RegisterTypeLibForUser(lib.Get(), file.data(), dir.data())
                                  : RegisterTypeLib(lib.Get(), file.data(), dir.data());
    }
    orv::ThrowIfFailed(hr, path.c_str());
}

void UnregisterLibrary(REFGUID libId, WORD major, WORD minor, Scope scope) {
    HRESULT hr;
    {
        UserClassesRoot root(scope);
        hr = scope == Scope::User ? UnRegisterTypeLibForUser(libId, major, minor, 0, kSysKind)
                                  : UnRegisterTypeLib(libId, major, minor, 0, kSysKind);
    }
    orv::ThrowIfFailed(hr);
}

std::wstring LibraryKey(REFGUID libId, WORD major, WORD minor) {
    wchar_t version[16];
    wsprintfW(version, L"%x.%x", major, minor);
    return L"TypeLib\\" + GuidText(libId) + L"\\" + version;
}

std::wstring DesignerKey(const std::wstring& version) {
    return L"TypeLib\\" + GuidText(LIBID_AddInDesignerObjects) + L"\\" + version + L"\\0\\" + kSysKindKey;
}

bool IsOurDesigner(HKEY classes, const std::wstring& modulePath) {
    std::wstring registered;
    if (!ReadString(classes, DesignerKey(L"1.0"), &registered)) return false;
    return CompareStringOrdinal(registered.c_str(), -1, DesignerLibraryPath(modulePath).c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Any working 1.x designer library resolves our import; the host's own is the one to use.
// A registration whose file is gone (a moved or removed installation) doesn't count.
bool AnotherDesignerIsRegistered(const std::wstring& modulePath) {
    RegKey lib;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + GuidText(LIBID_AddInDesignerObjects)).c_str(), 0, KEY_READ,
                      lib.put()) != ERROR_SUCCESS)
        return false;
    wchar_t version[64];
    for (DWORD i = 0;; ++i) {
        DWORD length = 64;
        if (RegEnumKeyExW(lib.get(), i, version, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::wstring path;
        if (wcsncmp(version, L"1.", 2) != 0 || !ReadString(HKEY_CLASSES_ROOT, DesignerKey(version), &path)) continue;
        if (CompareStringOrdinal(path.c_str(), -1, DesignerLibraryPath(modulePath).c_str(), -1, TRUE) == CSTR_EQUAL) continue;
        Microsoft::WRL::ComPtr<ITypeLib> other;
        if (SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, other.GetAddressOf()))) return true;
    }
    return false;
}

void RegisterTypeLibraries(const std::wstring& path, Scope scope) {
    // The help file sits beside the library.
    const std::wstring helpDir = orv::FolderOf(path);
    if (!AnotherDesignerIsRegistered(path)) RegisterLibrary(DesignerLibraryPath(path), helpDir, scope);
    RegisterLibrary(path, helpDir, scope);
}

void RegisterClassAndProgId(const std::wstring& path, Scope scope) {
    RegKey classes;
    orv::ThrowIfWin32Failed(CreateClassesKey(scope, &classes));
    HKEY root = classes.get();
    const std::wstring clsid = GuidText(CLSID_Addin);
    const std::wstring key = L"CLSID\\" + clsid;
    SetString(root, key, nullptr, kProgId);
    SetString(root, key + L"\\InprocServer32", nullptr, path);
    SetString(root, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    SetString(root, key + L"\\ProgID", nullptr, kProgId);
    SetString(root, key + L"\\VersionIndependentProgID", nullptr, kProgId);
    SetString(root, key + L"\\TypeLib", nullptr, GuidText(LIBID_ORVALISutility));
    SetString(root, kProgId, nullptr, kProgId);
    SetString(root, std::wstring(kProgId) + L"\\CLSID", nullptr, clsid);
}

void RegisterHostAddIn() {
    SetString(HKEY_CURRENT_USER, kHostAddInKey, L"FriendlyName", kAddInDescription);
    SetString(HKEY_CURRENT_USER, kHostAddInKey, L"Description", kAddInDescription);
    SetDword(HKEY_CURRENT_USER, kHostAddInKey, L"LoadBehavior", kLoadBehavior);
}

void UnregisterClassAndProgId(Scope scope) {
    RegKey classes;
    if (!OpenExistingClasses(scope, KEY_ALL_ACCESS, &classes)) return;
    DeleteTree(classes.get(), kProgId);
    DeleteTree(classes.get(), L"CLSID\\" + GuidText(CLSID_Addin));
}

void UnregisterTypeLibraries(const std::wstring& path, Scope scope) {
    RegKey classes;
    if (!OpenExistingClasses(scope, KEY_READ, &classes)) return;
    // The other build's registration of the same library version stays.
    if (KeyExists(classes.get(), LibraryKey(LIBID_ORVALISutility, kLibMajor, kLibMinor) + L"\\0\\" + kSysKindKey))
        UnregisterLibrary(LIBID_ORVALISutility, kLibMajor, kLibMinor, scope);
    // Only a designer library that we registered ourselves goes; the host's stays.
    if (IsOurDesigner(classes.get(), path)) UnregisterLibrary(LIBID_AddInDesignerObjects, kDesignerMajor, kDesignerMinor, scope);
}

// The library's own path; without it nothing can be registered or found again.
std::wstring PathOf(HMODULE module) {
    std::wstring path = orv::ModulePath(module);
    if (path.empty()) orv::Raise(SELFREG_E_CLASS, L"The add-in library's own path is not known.");
    return path;
}

}  // namespace

std::wstring DesignerLibraryPath(const std::wstring& modulePath) {
    return modulePath + L"\\" + std::to_wstring(IDR_TYPELIB_DESIGNER);
}

bool ScopeFromCommandLine(const wchar_t* commandLine, Scope* scope) noexcept {
    if (!commandLine || !*commandLine) {
        *scope = Scope::Machine;
        return true;
    }
    if (CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL) {
        *scope = Scope::User;
        return true;
    }
    return false;
}

HRESULT Register(HMODULE module, Scope scope) noexcept {
    return orv::Guard([&] {
        const std::wstring path = PathOf(module);
        RunStep(SELFREG_E_TYPELIB, [&] { RegisterTypeLibraries(path, scope); });
        RunStep(SELFREG_E_CLASS, [&] {
            RegisterClassAndProgId(path, scope);
            RegisterHostAddIn();
        });
    });
}

HRESULT Unregister(HMODULE module, Scope scope) noexcept {
    return orv::Guard([&] {
        const std::wstring path = PathOf(module);
        RunStep(SELFREG_E_CLASS, [&] {
            DeleteTree(HKEY_CURRENT_USER, kHostAddInKey);
            UnregisterClassAndProgId(scope);
        });
        RunStep(SELFREG_E_TYPELIB, [&] { UnregisterTypeLibraries(path, scope); });
    });
}

}  // namespace registration
