#include "registration.h"

#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <utility>

#include "OrvalisAddin.h"
#include "host_contract.h"
#include "resource.h"

// Declared by the platform SDK's oleauto.h but not by mingw-w64's; oleaut32 exports both.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* lib, OLECHAR* path, OLECHAR* helpDir);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libId, WORD major, WORD minor, LCID lcid, SYSKIND syskind);

namespace registration {

namespace {

using contract::kAddInDescription;
using contract::kProgId;

constexpr WORD kLibMajor = 8, kLibMinor = 0;
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

class Key {
public:
    Key() = default;
    explicit Key(HKEY k) : k_(k) {}
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    Key(Key&& o) noexcept : k_(std::exchange(o.k_, nullptr)) {}
    ~Key() { if (k_) RegCloseKey(k_); }
    HKEY get() const { return k_; }
    HKEY* put() { return &k_; }

private:
    HKEY k_ = nullptr;
};

std::wstring GuidText(REFGUID g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

constexpr wchar_t kClasses[] = L"Software\\Classes";
HKEY ScopeHive(Scope scope) { return scope == Scope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// The classes root of a scope, opened for writing (created if a fresh profile lacks it).
LONG OpenClasses(Scope scope, Key* key) {
    return RegCreateKeyExW(ScopeHive(scope), kClasses, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key->put(), nullptr);
}

LONG SetString(HKEY root, const std::wstring& subKey, const wchar_t* name, const std::wstring& value) {
    Key k;
    LONG r = RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr);
    if (r != ERROR_SUCCESS) return r;
    return RegSetValueExW(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG SetDword(HKEY root, const std::wstring& subKey, const wchar_t* name, DWORD value) {
    Key k;
    LONG r = RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr);
    if (r != ERROR_SUCCESS) return r;
    return RegSetValueExW(k.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
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
    Key k;
    return RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

LONG DeleteTree(HKEY root, const std::wstring& subKey) {
    LONG r = RegDeleteTreeW(root, subKey.c_str());
    if (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND) {
        r = RegDeleteKeyW(root, subKey.c_str());
        if (r == ERROR_FILE_NOT_FOUND) r = ERROR_SUCCESS;
    }
    return r;
}

std::wstring Directory(const std::wstring& path) {
    auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Type-library calls for the user scope see HKCU\Software\Classes as the classes root, the
// way per-user registration works on Windows; some oleaut32 versions register "for the user"
// machine-wide otherwise. Held only for the duration of the calls.
class UserClassesRoot {
public:
    explicit UserClassesRoot(Scope scope) {
        if (scope != Scope::User) return;
        if (OpenClasses(Scope::User, &classes_) == ERROR_SUCCESS)
            overridden_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_.get()) == ERROR_SUCCESS;
    }
    ~UserClassesRoot() {
        if (overridden_) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    UserClassesRoot(const UserClassesRoot&) = delete;
    UserClassesRoot& operator=(const UserClassesRoot&) = delete;

private:
    Key classes_;
    bool overridden_ = false;
};

HRESULT RegisterLibrary(const std::wstring& path, const std::wstring& helpDir, Scope scope) {
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr)) return hr;
    std::wstring file = path;
    std::wstring dir = helpDir;
    {
        UserClassesRoot root(scope);
        hr = scope == Scope::User ? RegisterTypeLibForUser(lib, file.data(), dir.data())
                                  : RegisterTypeLib(lib, file.data(), dir.data());
    }
    lib->Release();
    return hr;
}

HRESULT UnregisterLibrary(REFGUID libId, WORD major, WORD minor, Scope scope) {
    UserClassesRoot root(scope);
    return scope == Scope::User ? UnRegisterTypeLibForUser(libId, major, minor, 0, kSysKind)
                                : UnRegisterTypeLib(libId, major, minor, 0, kSysKind);
}

std::wstring LibraryKey(REFGUID libId, WORD major, WORD minor) {
    wchar_t version[16];
    wsprintfW(version, L"%x.%x", major, minor);
    return L"TypeLib\\" + GuidText(libId) + L"\\" + version;
}

// Our build of the designer library travels inside the add-in as TYPELIB 2.
std::wstring DesignerPath(const std::wstring& modulePath) {
    return modulePath + L"\\" + std::to_wstring(IDR_TYPELIB_DESIGNER);
}

std::wstring DesignerKey(const std::wstring& version) {
    return L"TypeLib\\" + GuidText(LIBID_AddInDesignerObjects) + L"\\" + version + L"\\0\\" + kSysKindKey;
}

bool IsOurDesigner(HKEY classes, const std::wstring& modulePath) {
    std::wstring registered;
    if (!ReadString(classes, DesignerKey(L"1.0"), &registered)) return false;
    return CompareStringOrdinal(registered.c_str(), -1, DesignerPath(modulePath).c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Any working 1.x designer library resolves our import; the host's own is the one to use.
// A registration whose file is gone (a moved or removed installation) doesn't count.
bool AnotherDesignerIsRegistered(const std::wstring& modulePath) {
    Key lib;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + GuidText(LIBID_AddInDesignerObjects)).c_str(), 0, KEY_READ,
                      lib.put()) != ERROR_SUCCESS)
        return false;
    wchar_t version[64];
    for (DWORD i = 0;; ++i) {
        DWORD length = 64;
        if (RegEnumKeyExW(lib.get(), i, version, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::wstring path;
        if (wcsncmp(version, L"1.", 2) != 0 || !ReadString(HKEY_CLASSES_ROOT, DesignerKey(version), &path)) continue;
        if (CompareStringOrdinal(path.c_str(), -1, DesignerPath(modulePath).c_str(), -1, TRUE) == CSTR_EQUAL) continue;
        ITypeLib* other = nullptr;
        if (SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &other))) {
            other->Release();
            return true;
        }
    }
    return false;
}

HRESULT RegisterTypeLibraries(const std::wstring& path, Scope scope) {
    // The help file sits beside the library.
    const std::wstring helpDir = Directory(path);
    if (!AnotherDesignerIsRegistered(path) && FAILED(RegisterLibrary(DesignerPath(path), helpDir, scope)))
        return SELFREG_E_TYPELIB;
    if (FAILED(RegisterLibrary(path, helpDir, scope))) return SELFREG_E_TYPELIB;
    return S_OK;
}

HRESULT RegisterClassAndProgId(const std::wstring& path, Scope scope) {
    Key classes;
    if (OpenClasses(scope, &classes) != ERROR_SUCCESS) return SELFREG_E_CLASS;
    HKEY root = classes.get();
    const std::wstring clsid = GuidText(CLSID_Addin);
    const std::wstring key = L"CLSID\\" + clsid;
    if (SetString(root, key, nullptr, kProgId) ||
        SetString(root, key + L"\\InprocServer32", nullptr, path) ||
        SetString(root, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") ||
        SetString(root, key + L"\\ProgID", nullptr, kProgId) ||
        SetString(root, key + L"\\VersionIndependentProgID", nullptr, kProgId) ||
        SetString(root, key + L"\\TypeLib", nullptr, GuidText(LIBID_ORVALISutility)) ||
        SetString(root, kProgId, nullptr, kProgId) ||
        SetString(root, std::wstring(kProgId) + L"\\CLSID", nullptr, clsid))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT RegisterHostAddIn() {
    if (SetString(HKEY_CURRENT_USER, kHostAddInKey, L"FriendlyName", kAddInDescription) ||
        SetString(HKEY_CURRENT_USER, kHostAddInKey, L"Description", kAddInDescription) ||
        SetDword(HKEY_CURRENT_USER, kHostAddInKey, L"LoadBehavior", kLoadBehavior))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT UnregisterClassAndProgId(Scope scope) {
    Key classes;
    LONG r = RegOpenKeyExW(ScopeHive(scope), kClasses, 0, KEY_ALL_ACCESS, classes.put());
    if (r == ERROR_FILE_NOT_FOUND) return S_OK;
    if (r != ERROR_SUCCESS) return SELFREG_E_CLASS;
    if (DeleteTree(classes.get(), kProgId) || DeleteTree(classes.get(), L"CLSID\\" + GuidText(CLSID_Addin)))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT UnregisterTypeLibraries(const std::wstring& path, Scope scope) {
    Key classes;
    LONG r = RegOpenKeyExW(ScopeHive(scope), kClasses, 0, KEY_READ, classes.put());
    if (r == ERROR_FILE_NOT_FOUND) return S_OK;
    if (r != ERROR_SUCCESS) return SELFREG_E_TYPELIB;
    // The other build's registration of the same library version stays.
    if (KeyExists(classes.get(), LibraryKey(LIBID_ORVALISutility, kLibMajor, kLibMinor) + L"\\0\\" + kSysKindKey) &&
        FAILED(UnregisterLibrary(LIBID_ORVALISutility, kLibMajor, kLibMinor, scope)))
        return SELFREG_E_TYPELIB;
    // Only a designer library that we registered ourselves goes; the host's stays.
    if (IsOurDesigner(classes.get(), path) &&
        FAILED(UnregisterLibrary(LIBID_AddInDesignerObjects, kDesignerMajor, kDesignerMinor, scope)))
        return SELFREG_E_TYPELIB;
    return S_OK;
}

}  // namespace

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
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
    try {
        const std::wstring path = ModulePath(module);
        if (path.empty()) return SELFREG_E_CLASS;
        HRESULT hr = RegisterTypeLibraries(path, scope);
        if (FAILED(hr)) return hr;
        hr = RegisterClassAndProgId(path, scope);
        if (FAILED(hr)) return hr;
        return RegisterHostAddIn();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Unregister(HMODULE module, Scope scope) noexcept {
    try {
        const std::wstring path = ModulePath(module);
        if (path.empty()) return SELFREG_E_CLASS;
        if (DeleteTree(HKEY_CURRENT_USER, kHostAddInKey)) return SELFREG_E_CLASS;
        HRESULT hr = UnregisterClassAndProgId(scope);
        if (FAILED(hr)) return hr;
        return UnregisterTypeLibraries(path, scope);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace registration
