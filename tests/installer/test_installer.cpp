// The Windows Installer packages under msiexec, in a prefix of their own: what an installation
// writes (files, shortcut, every registry value), that the add-in works from where it was put,
// that uninstalling leaves the registry and the folders as they were, repair, reinstall and
// upgrade. Built for each architecture; each build tests its own packages.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <iostream>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "clipboard_files.h"
#include "sim_client.h"
#include "utf8.h"
#include "wine_test.h"
#include "winhelp_catcher.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr bool kWin64 = sizeof(void*) == 8;
const std::wstring kArch = kWin64 ? L"x64" : L"x86";
const std::wstring kVersion = ORVALIS_PACKAGE_VERSION;
const std::wstring kNextVersion = ORVALIS_PACKAGE_NEXT_VERSION;

const std::wstring kClsidText = L"{1E9C28FE-D57F-4BBB-A653-40161E28C129}";
const std::wstring kLibIdText = L"{3A89FDAD-4652-48A2-9D5C-25162A8D86C2}";
const std::wstring kClsid = L"CLSID\\" + kClsidText;
const std::wstring kLib = L"TypeLib\\" + kLibIdText + L"\\8.0";
const std::wstring kAddinItf = L"Interface\\{D833542C-D8B3-4009-AAD2-EC4CD58E53C0}";
const std::wstring kProgId = L"ORVALISutility.Addin";
const std::wstring kHostEntry = L"Software\\Microsoft\\Office\\Outlook\\Addins\\ORVALISutility.Addin";
const std::wstring kMarshaller = L"{00020424-0000-0000-C000-000000000046}";
// The keys under a classes root that hold everything the packages register.
const std::vector<std::wstring> kClassKeys = {kClsid, kProgId, L"TypeLib\\" + kLibIdText, kAddinItf};

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// One of the two packages of this architecture and where it installs.
struct Scope {
    const char* name;
    HKEY hive;
    std::wstring package;  // this version
    std::wstring upgrade;  // the same package one revision later
    std::wstring x86;      // in a 64-bit build: the 32-bit build's package of the same scope
    std::wstring installDir;
    std::wstring programsParent;  // the folder the installation folder is created in
    std::wstring startMenu;

    std::wstring Dll() const { return installDir + L"\\OrvalisAddin.dll"; }
    std::wstring Reset() const { return installDir + L"\\ResetOrvalis.exe"; }
    std::wstring Help() const { return installDir + L"\\orvalis.chm"; }
    std::wstring Shortcut() const { return startMenu + L"\\Remove Orvalis from Outlook.lnk"; }
};

Scope PerUser() {
    std::wstring programs = KnownFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs";
    return {"per user",
            HKEY_CURRENT_USER,
            orvtest::BuildPath(L"installer\\Orvalis-" + kVersion + L"-" + kArch + L".msi"),
            orvtest::BuildPath(L"installer\\upgrade-test\\Orvalis-" + kNextVersion + L"-" + kArch + L"-user.msi"),
            orvtest::BuildPath(L"..\\windows\\installer\\Orvalis-" + kVersion + L"-x86.msi"),
            programs + L"\\Orvalis",
            KnownFolder(CSIDL_LOCAL_APPDATA),
            KnownFolder(CSIDL_PROGRAMS)};
}

bool OnWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

Scope PerMachine() {
    std::wstring programFiles = KnownFolder(CSIDL_PROGRAM_FILES);
    // Known not to work on Wine: its installer puts a per-machine package's shortcuts into the
    // installing user's Start menu rather than the one all users share.
    return {"per machine",
            HKEY_LOCAL_MACHINE,
            orvtest::BuildPath(L"installer\\Orvalis-" + kVersion + L"-" + kArch + L"-allusers.msi"),
            orvtest::BuildPath(L"installer\\upgrade-test\\Orvalis-" + kNextVersion + L"-" + kArch + L"-machine.msi"),
            orvtest::BuildPath(L"..\\windows\\installer\\Orvalis-" + kVersion + L"-x86-allusers.msi"),
            programFiles + L"\\Orvalis",
            programFiles,
            KnownFolder(OnWine() ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS)};
}

DWORD Msiexec(const std::wstring& options, const std::wstring& package) {
    return orvtest::RunProcess(L"msiexec.exe /qn " + options + L" \"" + package + L"\"", 180000);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::optional<std::wstring> RegString(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t buf[1024];
    DWORD bytes = sizeof buf;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &bytes) != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(buf);
}

std::optional<DWORD> RegDword(HKEY root, const std::wstring& key, const wchar_t* name) {
    DWORD value = 0, bytes = sizeof value;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

struct Value {
    std::wstring key;  // under the scope's Software\Classes
    const wchar_t* name;
    std::wstring expected;
};

// Every class value a package writes, for the library at dll in folder dir.
std::vector<Value> ClassValues(const std::wstring& dll, const std::wstring& dir) {
    return {
        {kClsid, nullptr, kProgId},
        {kClsid + L"\\InprocServer32", nullptr, dll},
        {kClsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {kClsid + L"\\ProgID", nullptr, kProgId},
        {kClsid + L"\\VersionIndependentProgID", nullptr, kProgId},
        {kClsid + L"\\TypeLib", nullptr, kLibIdText},
        {kProgId, nullptr, kProgId},
        {kProgId + L"\\CLSID", nullptr, kClsidText},
        {kLib, nullptr, L"Orvalise and Outlook DL utility."},
        {kLib + (kWin64 ? L"\\0\\win64" : L"\\0\\win32"), nullptr, dll},
        {kLib + L"\\FLAGS", nullptr, L"0"},
        {kLib + L"\\HELPDIR", nullptr, dir},
        {kAddinItf, nullptr, L"_Addin"},
        {kAddinItf + L"\\ProxyStubClsid", nullptr, kMarshaller},
        {kAddinItf + L"\\ProxyStubClsid32", nullptr, kMarshaller},
        {kAddinItf + L"\\TypeLib", nullptr, kLibIdText},
        {kAddinItf + L"\\TypeLib", L"Version", L"8.0"},
    };
}

HKEY Classes(HKEY hive) {
    HKEY k = nullptr;
    RegOpenKeyExW(hive, L"Software\\Classes", 0, KEY_READ, &k);
    return k;
}

std::string Label(const Scope& s, const std::wstring& what) { return std::string(s.name) + ": " + testing::PrintToString(what); }

void ExpectEveryValue(const Scope& s) {
    HKEY classes = Classes(s.hive);
    ASSERT_NE(nullptr, classes) << s.name;
    // The installer writes folder paths with their closing backslash.
    for (const Value& v : ClassValues(s.Dll(), s.installDir + L"\\"))
        EXPECT_EQ(v.expected, RegString(classes, v.key, v.name).value_or(L"<missing>"))
            << Label(s, v.key) << " " << (v.name ? testing::PrintToString(v.name) : "@");
    RegCloseKey(classes);
    for (const wchar_t* name : {L"FriendlyName", L"Description"})
        EXPECT_EQ(L"Orvalis Outlook DL Utility", RegString(s.hive, kHostEntry, name).value_or(L"<missing>"))
            << Label(s, name);
    EXPECT_EQ(3u, RegDword(s.hive, kHostEntry, L"LoadBehavior").value_or(0)) << s.name;
}

std::wstring ShortcutTarget(const std::wstring& lnk) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    wchar_t target[MAX_PATH] = L"";
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&file)) || FAILED(file->Load(lnk.c_str(), STGM_READ)) ||
        FAILED(link->GetPath(target, MAX_PATH, nullptr, 0)))
        return L"<unreadable>";
    return target;
}

std::wstring PackageProperty(const std::wstring& package, const wchar_t* name) {
    MSIHANDLE db = 0, view = 0, record = 0;
    std::wstring value = L"<none>";
    std::wstring query = L"SELECT `Value` FROM `Property` WHERE `Property`='" + std::wstring(name) + L"'";
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &db) == ERROR_SUCCESS &&
        MsiDatabaseOpenViewW(db, query.c_str(), &view) == ERROR_SUCCESS && MsiViewExecute(view, 0) == ERROR_SUCCESS &&
        MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t buf[256];
        DWORD n = 256;
        if (MsiRecordGetStringW(record, 1, buf, &n) == ERROR_SUCCESS) value = buf;
    }
    for (MSIHANDLE h : {record, view, db})
        if (h) MsiCloseHandle(h);
    return value;
}

// The installed version of the package's product, "" when it isn't installed.
std::wstring InstalledVersion(const std::wstring& package) {
    std::wstring code = PackageProperty(package, L"ProductCode");
    if (MsiQueryProductStateW(code.c_str()) != INSTALLSTATE_DEFAULT) return L"";
    wchar_t version[64];
    DWORD n = 64;
    if (MsiGetProductInfoW(code.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &n) != ERROR_SUCCESS) return L"<unreadable>";
    return version;
}

// A registry export (regedit /e) as its keys and, for each, its value lines in file order.
using RegistryImage = std::map<std::wstring, std::vector<std::wstring>>;

RegistryImage Export(const std::wstring& root) {
    const std::wstring file = orvtest::ScratchDir(L"regedit") + L"\\export.reg";
    RegistryImage image;
    if (orvtest::RunProcess(L"regedit.exe /e \"" + file + L"\" \"" + root + L"\"", 120000) != 0) {
        image[L"<regedit /e failed>"];
        return image;
    }
    std::string bytes = orvtest::FileBytes(file);
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
    std::wstring key, line;
    for (std::wstring l : simclient::SplitLines(text)) {
        if (!l.empty() && l.back() == L'\r') l.pop_back();
        // Long values continue on the next lines, each ending with a backslash.
        line += l;
        if (!line.empty() && line.back() == L'\\' && line[0] != L'[') {
            line.pop_back();
            continue;
        }
        if (!line.empty() && line[0] == L'[') {
            key = line;
            image[key];
        } else if (!line.empty() && !key.empty()) {
            image[key].push_back(line);
        }
        line.clear();
    }
    return image;
}

// Windows Installer's own record of what is installed: it keeps (empty) keys of its own.
bool InstallerBookkeeping(const std::wstring& key) {
    for (const wchar_t* prefix : {L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Installer",
                                  L"[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer",
                                  L"[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Installer"})
        if (_wcsnicmp(key.c_str(), prefix, wcslen(prefix)) == 0) return true;
    return false;
}

// Keys added, removed or changed between two exports, one line each.
std::vector<std::wstring> Differences(const RegistryImage& before, const RegistryImage& after) {
    std::vector<std::wstring> out;
    for (const auto& [key, values] : before) {
        if (InstallerBookkeeping(key)) continue;
        auto it = after.find(key);
        if (it == after.end()) out.push_back(L"removed " + key);
        else if (it->second != values) out.push_back(L"changed " + key);
    }
    for (const auto& [key, values] : after)
        if (!InstallerBookkeeping(key) && !before.count(key)) out.push_back(L"added " + key);
    return out;
}

struct Snapshot {
    RegistryImage user, machine;
    std::vector<std::wstring> programsParent, startMenu;
};

Snapshot Take(const Scope& s) {
    return {Export(L"HKEY_CURRENT_USER\\Software"), Export(L"HKEY_LOCAL_MACHINE\\Software"),
            orvtest::FilesIn(s.programsParent), orvtest::FilesIn(s.startMenu)};
}

void ExpectSame(const Snapshot& before, const Snapshot& after, const char* when) {
    EXPECT_EQ(std::vector<std::wstring>{}, Differences(before.user, after.user)) << when;
    EXPECT_EQ(std::vector<std::wstring>{}, Differences(before.machine, after.machine)) << when;
    EXPECT_EQ(before.programsParent, after.programsParent) << when;
    EXPECT_EQ(before.startMenu, after.startMenu) << when;
}

void ExpectInstalled(const Scope& s) {
    EXPECT_TRUE(orvtest::FileBytes(orvtest::BuildPath(L"addin\\OrvalisAddin.dll")) == orvtest::FileBytes(s.Dll()))
        << s.name << ": the installed library is the one built";
    EXPECT_TRUE(Exists(s.Reset())) << s.name;
    // The help beside the library: the one built, whole.
    const std::string help = orvtest::FileBytes(orvtest::BuildPath(L"addin\\orvalis.chm"));
    const std::string installedHelp = orvtest::FileBytes(s.Help());
    EXPECT_FALSE(help.empty()) << "the build made no help file";
    EXPECT_EQ(help.size(), installedHelp.size()) << s.name << ": size of the installed help";
    EXPECT_TRUE(help == installedHelp) << s.name << ": the installed help is the one built";
    EXPECT_EQ(s.Reset(), ShortcutTarget(s.Shortcut())) << s.name;
    ExpectEveryValue(s);
}

void SetString(HKEY hive, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(hive, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr));
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

// What a profile in use holds beside us: other programs' classes and the host's other add-ins.
// Uninstalling must leave them, and the keys they share with ours, exactly as they are.
void RegisterOtherSoftware() {
    const std::wstring other = L"{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}";
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        SetString(hive, L"Software\\Classes\\CLSID\\" + other + L"\\InprocServer32", nullptr, L"C:\\Other\\other.dll");
        SetString(hive, L"Software\\Classes\\Interface\\" + other, nullptr, L"IOther");
        SetString(hive, L"Software\\Classes\\TypeLib\\" + other + L"\\1.0", nullptr, L"Other library");
        SetString(hive, L"Software\\Microsoft\\Office\\Outlook\\Addins\\Other.Addin", L"FriendlyName", L"Other add-in");
    }
}

// Every test starts and ends with nothing installed.
class Package : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterOtherSoftware();
        if (OnWine()) std::cout << "[   WINE   ] per-machine shortcuts are looked for in the user's Start menu\n";
    }
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        for (const Scope& s : {PerUser(), PerMachine()})
            for (const std::wstring& package : {s.package, s.upgrade, s.x86})
                if (Exists(package) && !InstalledVersion(package).empty()) Msiexec(L"/x", package);
    }
};

TEST_F(Package, PerUserInstallsFilesShortcutAndEveryValueUnderTheUser) {
    const Scope s = PerUser();
    ASSERT_EQ(0u, Msiexec(L"/i", s.package));
    EXPECT_EQ(kVersion, InstalledVersion(s.package));
    ExpectInstalled(s);
    for (const std::wstring& key : kClassKeys)
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + key)) << testing::PrintToString(key);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kHostEntry));
    // The host supplies the add-in designer library; the package leaves its registration alone.
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\TypeLib\\{AC0714F2-3D04-11D1-AE7D-00A0C90F26F4}"));
}

// Every value under the given keys of a classes root, as "key|name|data" lines.
std::set<std::wstring> ValuesUnder(HKEY root, const std::wstring& key) {
    std::set<std::wstring> out;
    HKEY k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return out;
    wchar_t name[256], sub[256];
    BYTE data[2048];
    for (DWORD i = 0;; ++i) {
        DWORD n = 256, bytes = sizeof data, type = 0;
        if (RegEnumValueW(k, i, name, &n, nullptr, &type, data, &bytes) != ERROR_SUCCESS) break;
        std::wstring text = type == REG_SZ ? std::wstring(reinterpret_cast<wchar_t*>(data)) : L"<type " + std::to_wstring(type) + L">";
        out.insert(key + L"|" + name + L"|" + text);
    }
    for (DWORD i = 0;; ++i) {
        DWORD n = 256;
        if (RegEnumKeyExW(k, i, sub, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        for (const auto& v : ValuesUnder(root, key + L"\\" + sub)) out.insert(v);
    }
    RegCloseKey(k);
    return out;
}

std::set<std::wstring> OurValues(HKEY hive) {
    std::set<std::wstring> out;
    HKEY classes = Classes(hive);
    for (const std::wstring& key : kClassKeys)
        for (const auto& v : ValuesUnder(classes, key)) out.insert(v);
    RegCloseKey(classes);
    return out;
}

// The library's own registration of the scope: DllInstall "user", or DllRegisterServer.
DWORD Regsvr32(const Scope& s, const std::wstring& options) {
    const std::wstring scope = s.hive == HKEY_CURRENT_USER ? L"/n /i:user " : L"";
    return orvtest::RunProcess(L"regsvr32.exe /s " + options + scope + L"\"" + s.Dll() + L"\"");
}

TEST_F(Package, RowsAreWhatTheLibraryRegistersItselfInTheSameScope) {
    for (const Scope& s : {PerUser(), PerMachine()}) {
        ASSERT_EQ(0u, Msiexec(L"/i", s.package)) << s.name;
        std::set<std::wstring> installed = OurValues(s.hive);

        ASSERT_EQ(0u, Regsvr32(s, L"/u ")) << s.name;
        ASSERT_EQ(std::set<std::wstring>{}, OurValues(s.hive)) << s.name;
        ASSERT_EQ(0u, Regsvr32(s, L"")) << s.name;
        std::set<std::wstring> registered = OurValues(s.hive);
        EXPECT_EQ(0u, Regsvr32(s, L"/u ")) << s.name;
        ASSERT_EQ(0u, Msiexec(L"/x", s.package)) << s.name;

        // Where the two may differ, and why: the installer ends folder paths with a backslash,
        // and the platform's own registration marks the library as having a disk image.
        const std::wstring helpDir = kLib + L"\\HELPDIR||", flags = kLib + L"\\FLAGS||";
        EXPECT_EQ(1u, installed.erase(helpDir + s.installDir + L"\\")) << s.name;
        EXPECT_EQ(1u, installed.erase(flags + L"0")) << s.name;
        EXPECT_EQ(1u, registered.erase(helpDir + s.installDir)) << s.name;
        EXPECT_EQ(1u, registered.erase(flags + L"0") + registered.erase(flags + L"8")) << s.name;
        EXPECT_EQ(registered, installed) << s.name;
    }
}

TEST_F(Package, PerUserLibraryLoadsFromTheRegisteredPathAndMakesTheClass) {
    const Scope s = PerUser();
    ASSERT_EQ(0u, Msiexec(L"/i", s.package));
    // Wine's class lookup doesn't see the user's classes, so follow the rows by hand.
    std::wstring server = RegString(HKEY_CURRENT_USER, L"Software\\Classes\\" + kClsid + L"\\InprocServer32", nullptr).value_or(L"");
    ASSERT_EQ(s.Dll(), server);
    HMODULE module = LoadLibraryW(server.c_str());
    ASSERT_NE(nullptr, module);
    using GetClassObjectFn = HRESULT WINAPI(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn*>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_NE(nullptr, getClassObject);
    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromString(kClsidText.c_str(), &clsid));
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, getClassObject(clsid, IID_PPV_ARGS(&factory)));
        ComPtr<IDispatch> addin;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&addin)));
    }
    // The type library the rows name is the one inside the installed library.
    std::wstring libPath = RegString(HKEY_CURRENT_USER, L"Software\\Classes\\" + kLib + (kWin64 ? L"\\0\\win64" : L"\\0\\win32"), nullptr).value_or(L"");
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(S_OK, LoadTypeLibEx(libPath.c_str(), REGKIND_NONE, &lib));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
    wchar_t libId[40];
    StringFromGUID2(attr->guid, libId, 40);
    EXPECT_EQ(kLibIdText, libId);
    EXPECT_EQ(8, attr->wMajorVerNum);
    lib->ReleaseTLibAttr(attr);
    lib.Reset();
    using CanUnloadNowFn = HRESULT WINAPI();
    EXPECT_EQ(S_OK, reinterpret_cast<CanUnloadNowFn*>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))());
    FreeLibrary(module);
}

// Runs the host driver on the steps and, while it runs, looks for the add-in's window.
struct HostRun {
    DWORD exitCode = static_cast<DWORD>(-1);
    bool windowSeen = false;
    std::wstring log, state;
};

BOOL CALLBACK FindForm1Of(HWND w, LPARAM param) {
    auto* pid = reinterpret_cast<DWORD*>(param);
    DWORD owner = 0;
    wchar_t cls[64] = L"";
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid[0] && IsWindowVisible(w) && GetClassNameW(w, cls, 64) && wcscmp(cls, L"OrvalisForm1") == 0) {
        pid[1] = 1;
        return FALSE;
    }
    return TRUE;
}

HostRun RunHost(const std::wstring& steps) {
    HostRun run;
    const std::wstring dir = orvtest::ScratchDir(L"installer_host");
    const std::wstring log = dir + L"\\log.txt", state = dir + L"\\state.json";
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", log.c_str());
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", state.c_str());
    // The add-in's start-up help pop-up comes here instead of starting a help viewer.
    orvtest::WinHelpCatcher help;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + orvtest::BuildPath(L"sim\\host\\OrvalisHost.exe") + L"\" " + steps;
    if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        DWORD search[2] = {pi.dwProcessId, 0};
        DWORD end = GetTickCount() + 90000;
        while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT && static_cast<LONG>(end - GetTickCount()) > 0) {
            if (!search[1]) EnumWindows(FindForm1Of, reinterpret_cast<LPARAM>(search));
            orvtest::Pump(20);
        }
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 1);
        GetExitCodeProcess(pi.hProcess, &run.exitCode);
        run.windowSeen = search[1] != 0;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);
    std::string bytes = orvtest::FileBytes(log);
    run.log.assign(bytes.begin(), bytes.end());
    bytes = orvtest::FileBytes(state);
    run.state.assign(bytes.begin(), bytes.end());
    return run;
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

TEST_F(Package, PerMachineInstallStartsInTheHostAndOpensTheWindowOnAClick) {
    const Scope s = PerMachine();
    ASSERT_EQ(0u, Msiexec(L"/i", s.package));
    EXPECT_EQ(kVersion, InstalledVersion(s.package));
    ExpectInstalled(s);
    for (const std::wstring& key : kClassKeys)
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\" + key)) << testing::PrintToString(key);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kHostEntry));

    HostRun run = RunHost(L"startup click Standard/Orvalis pump 1500 shutdown");
    EXPECT_EQ(0u, run.exitCode) << run.log;
    EXPECT_TRUE(run.windowSeen) << run.log;
    // The class made from the ProgID at start-up, which installed both controls and switched
    // itself off; the click loaded it again.
    for (const wchar_t* line : {L"AddIn[ORVALISutility.Addin].Create()\nAddIn[ORVALISutility.Addin].OnConnection(mode 1)\n",
                                L"Host.Click(\"Standard/Orvalis\")\n"})
        EXPECT_TRUE(Contains(run.log, line)) << testing::PrintToString(line) << "\n" << run.log;
    for (const wchar_t* caption : {L"\"caption\": \"Orvalis\"", L"\"caption\": \"&Orvalis Utility\""})
        EXPECT_TRUE(Contains(run.state, caption)) << testing::PrintToString(caption) << "\n" << run.state;
}

TEST_F(Package, UninstallLeavesTheRegistryAndTheFoldersAsTheyWere) {
    for (const Scope& s : {PerUser(), PerMachine()}) {
        const Snapshot before = Take(s);
        ASSERT_EQ(0u, Msiexec(L"/i", s.package)) << s.name;
        ASSERT_TRUE(Exists(s.Dll())) << s.name;
        ASSERT_EQ(0u, Msiexec(L"/x", s.package)) << s.name;
        EXPECT_EQ(L"", InstalledVersion(s.package)) << s.name;
        EXPECT_FALSE(Exists(s.Help())) << s.name;
        EXPECT_FALSE(Exists(s.installDir)) << s.name;
        EXPECT_FALSE(Exists(s.Shortcut())) << s.name;
        ExpectSame(before, Take(s), s.name);
    }
}

// The list's options the add-in kept for the user go with it; a key of another program beside
// them stays.
TEST_F(Package, UninstallTakesTheUsersListOptionsWithIt) {
    for (const Scope& s : {PerUser(), PerMachine()}) {
        ASSERT_EQ(0u, Msiexec(L"/i", s.package)) << s.name;
        SetString(HKEY_CURRENT_USER, L"Software\\Orvalis\\Options", L"ListFormat", L"csv");
        SetString(HKEY_CURRENT_USER, L"Software\\OrvalisOther", L"Kept", L"yes");
        ASSERT_EQ(0u, Msiexec(L"/x", s.package)) << s.name;
        HKEY k = nullptr;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvalis", 0, KEY_READ, &k)) << s.name;
        if (k) RegCloseKey(k);
        k = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\OrvalisOther", 0, KEY_READ, &k)) << s.name;
        if (k) RegCloseKey(k);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\OrvalisOther");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\OrvalisOther");
    }
}

TEST_F(Package, InstallingAgainChangesNothingAndRepairPutsBackWhatWasRemoved) {
    const Scope s = PerUser();
    ASSERT_EQ(0u, Msiexec(L"/i", s.package));
    const Snapshot installed = Take(s);
    EXPECT_EQ(0u, Msiexec(L"/i", s.package)) << "the same package again";
    ExpectSame(installed, Take(s), "after installing again");

    ASSERT_TRUE(DeleteFileW(s.Dll().c_str()));
    ASSERT_TRUE(DeleteFileW(s.Help().c_str()));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyValueW(HKEY_CURRENT_USER, kHostEntry.c_str(), L"LoadBehavior"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + kClsid).c_str()));
    ASSERT_TRUE(DeleteFileW(s.Shortcut().c_str()));
    // What "/famus" asks for, in the form Wine's msiexec understands too.
    EXPECT_EQ(0u, Msiexec(L"REINSTALL=ALL REINSTALLMODE=amus /i", s.package));
    ExpectInstalled(s);
    ExpectSame(installed, Take(s), "after the repair");
}

TEST_F(Package, NewerVersionReplacesTheInstalledOneAndAnOlderIsRefused) {
    for (const Scope& s : {PerUser(), PerMachine()}) {
        const Snapshot before = Take(s);
        ASSERT_EQ(0u, Msiexec(L"/i", s.package)) << s.name;
        ASSERT_EQ(0u, Msiexec(L"/i", s.upgrade)) << s.name;
        EXPECT_EQ(L"", InstalledVersion(s.package)) << s.name << ": the older product is gone";
        EXPECT_EQ(kNextVersion, InstalledVersion(s.upgrade)) << s.name;
        ExpectInstalled(s);

        EXPECT_NE(0u, Msiexec(L"/i", s.package)) << s.name << ": no downgrade";
        EXPECT_EQ(L"", InstalledVersion(s.package)) << s.name;
        EXPECT_EQ(kNextVersion, InstalledVersion(s.upgrade)) << s.name;
        ExpectInstalled(s);

        ASSERT_EQ(0u, Msiexec(L"/x", s.upgrade)) << s.name;
        ExpectSame(before, Take(s), s.name);
    }
}

TEST_F(Package, EitherArchitecturesPackageReplacesTheOthers) {
    if (!kWin64) GTEST_SKIP() << "runs in the 64-bit build's prefix, where both architectures' packages install";
    for (const Scope& s : {PerUser(), PerMachine()}) {
        ASSERT_TRUE(Exists(s.x86)) << testing::PrintToString(s.x86) << ": build the windows preset first";
        const Snapshot before = Take(s);
        ASSERT_EQ(0u, Msiexec(L"/i", s.x86)) << s.name;
        ASSERT_EQ(0u, Msiexec(L"/i", s.package)) << s.name;
        EXPECT_EQ(L"", InstalledVersion(s.x86)) << s.name;
        EXPECT_EQ(kVersion, InstalledVersion(s.package)) << s.name;
        ExpectInstalled(s);

        ASSERT_EQ(0u, Msiexec(L"/i", s.x86)) << s.name << ": back to the 32-bit client";
        EXPECT_EQ(kVersion, InstalledVersion(s.x86)) << s.name;
        EXPECT_EQ(L"", InstalledVersion(s.package)) << s.name;
        ASSERT_EQ(0u, Msiexec(L"/x", s.x86)) << s.name;
        // A 64-bit prefix gets the 32-bit half of its registry from 32-bit programs; where none
        // can run, that half holds only what 64-bit code wrote, and the installer adds and prunes
        // keys there that every real machine has.
        if (orvtest::NoX86Code().empty()) ExpectSame(before, Take(s), s.name);
    }
    if (const std::wstring why = orvtest::NoX86Code(); !why.empty())
        GTEST_SKIP() << "both packages installed and removed, but the machine after them is not compared with the "
                        "machine before: no 32-bit program could set up the prefix's 32-bit registry ("
                     << sim::Narrow(why) << ")";
}

}  // namespace
