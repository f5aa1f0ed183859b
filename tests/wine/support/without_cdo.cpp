#include "without_cdo.h"

#include <windows.h>

namespace orvtest {

namespace {

// Where the registration of classes lives: for the machine and for the user (HKCR merges both).
struct Root {
    HKEY key;
    const wchar_t* name;
};
const Root kRoots[] = {{HKEY_LOCAL_MACHINE, L"HKLM"}, {HKEY_CURRENT_USER, L"HKCU"}};
const wchar_t* const kKeys[] = {L"MAPI.Session", L"CLSID\\{3FA7DEA3-6438-101B-ACC1-00AA00423326}"};
const wchar_t kAside[] = L"Software\\OrvalisTest\\WithoutCdo";

std::wstring ClassesKey(const wchar_t* key) { return std::wstring(L"Software\\Classes\\") + key; }
std::wstring AsideKey(const Root& root, const wchar_t* key) { return std::wstring(kAside) + L"\\" + root.name + L"\\" + key; }

bool Exists(HKEY root, const std::wstring& path) {
    HKEY k;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// Copies the tree at from (under fromRoot) to to (under toRoot), then deletes from.
LONG MoveTree(HKEY fromRoot, const std::wstring& from, HKEY toRoot, const std::wstring& to) {
    HKEY source;
    LONG r = RegOpenKeyExW(fromRoot, from.c_str(), 0, KEY_READ, &source);
    if (r != ERROR_SUCCESS) return r;
    HKEY target;
    r = RegCreateKeyExW(toRoot, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr);
    if (r == ERROR_SUCCESS) {
        r = RegCopyTreeW(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    if (r != ERROR_SUCCESS) return r;
    return RegDeleteTreeW(fromRoot, from.c_str());
}

}  // namespace

WithoutCdo::WithoutCdo() {
    RestoreCdoRegistration();  // never stack a second copy on one left behind
    for (const Root& root : kRoots)
        for (const wchar_t* key : kKeys) {
            if (!Exists(root.key, ClassesKey(key))) continue;
            LONG r = MoveTree(root.key, ClassesKey(key), HKEY_CURRENT_USER, AsideKey(root, key));
            if (r != ERROR_SUCCESS) error_ += std::wstring(L"could not move ") + root.name + L"\\" + ClassesKey(key) + L" aside (" + std::to_wstring(r) + L"); ";
        }
    for (const Root& root : kRoots)
        for (const wchar_t* key : kKeys)
            if (Exists(root.key, ClassesKey(key))) error_ += std::wstring(root.name) + L"\\" + ClassesKey(key) + L" is still there; ";
}

WithoutCdo::~WithoutCdo() { RestoreCdoRegistration(); }

void RestoreCdoRegistration() {
    if (!Exists(HKEY_CURRENT_USER, kAside)) return;
    for (const Root& root : kRoots)
        for (const wchar_t* key : kKeys)
            if (Exists(HKEY_CURRENT_USER, AsideKey(root, key)))
                MoveTree(HKEY_CURRENT_USER, AsideKey(root, key), root.key, ClassesKey(key));
    RegDeleteTreeW(HKEY_CURRENT_USER, kAside);
}

}  // namespace orvtest
