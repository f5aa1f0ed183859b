// The add-in library registers and unregisters itself with regsvr32, for the machine and for
// the current user; it exports the server's functions by name and imports system DLLs only.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "OrvalisAddin.h"
#include "bstr.h"
#include "clipboard_files.h"
#include "module.h"
#include "registration.h"
#include "utf8.h"
#include "wine_test.h"

namespace {

std::wstring DllPath() { return orvtest::BuildPath(L"addin\\OrvalisAddin.dll"); }
std::wstring DllDir() { return orvtest::BuildPath(L"addin"); }

DWORD Regsvr32(const std::wstring& options) {
    return orvtest::RunProcess(L"regsvr32.exe /s " + options + L" \"" + DllPath() + L"\"");
}

std::optional<std::wstring> RegString(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t buf[1024];
    DWORD bytes = sizeof buf;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &bytes) != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(buf);
}

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

const std::wstring kClsid = L"CLSID\\{1E9C28FE-D57F-4BBB-A653-40161E28C129}";
const std::wstring kLib = L"TypeLib\\{3A89FDAD-4652-48A2-9D5C-25162A8D86C2}\\8.0";
const std::wstring kDesignerLib = L"TypeLib\\{AC0714F2-3D04-11D1-AE7D-00A0C90F26F4}";
// A type library's file, under its version: each platform has its own entry.
const std::wstring kWin32 = L"\\0\\win32", kWin64 = L"\\0\\win64";
const std::wstring kPlatform = sizeof(void*) == 8 ? kWin64 : kWin32;
const std::wstring kAddinItf = L"Interface\\{D833542C-D8B3-4009-AAD2-EC4CD58E53C0}";
const std::wstring kContractItf = L"Interface\\{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}";
const std::wstring kHostEntry = L"Software\\Microsoft\\Office\\Outlook\\Addins\\ORVALISutility.Addin";

struct Value {
    std::wstring key;  // under the classes root being checked
    const wchar_t* name;
    std::wstring expected;
};

// Every class value that registration writes, relative to a classes root.
std::vector<Value> ClassValues() {
    return {
        {kClsid, nullptr, L"ORVALISutility.Addin"},
        {kClsid + L"\\InprocServer32", nullptr, DllPath()},
        {kClsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {kClsid + L"\\ProgID", nullptr, L"ORVALISutility.Addin"},
        {kClsid + L"\\VersionIndependentProgID", nullptr, L"ORVALISutility.Addin"},
        {kClsid + L"\\TypeLib", nullptr, L"{3A89FDAD-4652-48A2-9D5C-25162A8D86C2}"},
        {L"ORVALISutility.Addin", nullptr, L"ORVALISutility.Addin"},
        {L"ORVALISutility.Addin\\CLSID", nullptr, L"{1E9C28FE-D57F-4BBB-A653-40161E28C129}"},
        {kLib, nullptr, L"Orvalise and Outlook DL utility."},
        {kLib + kPlatform, nullptr, DllPath()},
        {kLib + L"\\HELPDIR", nullptr, DllDir()},
        {kAddinItf, nullptr, L"_Addin"},
        {kAddinItf + L"\\ProxyStubClsid32", nullptr, L"{00020424-0000-0000-C000-000000000046}"},
        {kAddinItf + L"\\TypeLib", nullptr, L"{3A89FDAD-4652-48A2-9D5C-25162A8D86C2}"},
        {kAddinItf + L"\\TypeLib", L"Version", L"8.0"},
        {kDesignerLib + L"\\1.0", nullptr, L"AddInDesignerObjects"},
        {kDesignerLib + L"\\1.0" + kPlatform, nullptr, DllPath() + L"\\2"},
        {kContractItf, nullptr, L"IDTExtensibility2"},
        {kContractItf + L"\\TypeLib", nullptr, L"{AC0714F2-3D04-11D1-AE7D-00A0C90F26F4}"},
    };
}

const std::vector<std::wstring> kClassKeys = {kClsid, L"ORVALISutility.Addin", kLib, kDesignerLib, kAddinItf, kContractItf};

void ExpectClassValues(HKEY root, const char* where) {
    for (const Value& v : ClassValues())
        EXPECT_EQ(v.expected, RegString(root, v.key, v.name).value_or(L"<missing>"))
            << where << "\\" << testing::PrintToString(v.key) << " " << (v.name ? testing::PrintToString(v.name) : "@");
    // The library has no flags of its own; the platform may add "has a disk image" (8).
    auto flags = RegString(root, kLib + L"\\FLAGS", nullptr);
    ASSERT_TRUE(flags.has_value()) << where;
    EXPECT_EQ(0ul, wcstoul(flags->c_str(), nullptr, 16) & ~static_cast<unsigned long>(LIBFLAG_FHASDISKIMAGE)) << where;
}

void ExpectHostEntry() {
    EXPECT_EQ(L"Orvalis Outlook DL Utility", RegString(HKEY_CURRENT_USER, kHostEntry, L"FriendlyName").value_or(L"<missing>"));
    EXPECT_EQ(L"Orvalis Outlook DL Utility", RegString(HKEY_CURRENT_USER, kHostEntry, L"Description").value_or(L"<missing>"));
    DWORD behavior = 0, bytes = sizeof behavior;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kHostEntry.c_str(), L"LoadBehavior", RRF_RT_REG_DWORD,
                                          nullptr, &behavior, &bytes));
    EXPECT_EQ(3u, behavior);
}

void ExpectNothingLeft(HKEY root, const char* where) {
    for (const auto& key : kClassKeys) EXPECT_FALSE(KeyExists(root, key)) << where << "\\" << testing::PrintToString(key);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kHostEntry));
}

bool CreatesThroughProgId(const wchar_t* progId) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid)) || clsid != CLSID_Addin) return false;
    IUnknown* object = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object))))
        return false;
    object->Release();
    return true;
}

HKEY OpenClasses(HKEY hive) {
    HKEY k = nullptr;
    RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr);
    return k;
}

// Other test programs in this prefix rely on the machine registration: every test puts it back.
class Registration : public testing::Test {
protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kDesignerLib.c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, kDesignerLib.c_str());
        Regsvr32(L"/u /n /i:user");
        EXPECT_EQ(0u, Regsvr32(L""));
        CoFreeUnusedLibraries();
    }
};

// Every value of the machine registration, and the add-in entry.
void ExpectMachineRegistration() {
    HKEY machine = OpenClasses(HKEY_LOCAL_MACHINE);
    ExpectClassValues(machine, "HKLM\\Software\\Classes");
    RegCloseKey(machine);
    ExpectHostEntry();
}

TEST_F(Registration, MachineRegistrationWritesEveryValue) {
    ASSERT_EQ(0u, Regsvr32(L""));
    ExpectMachineRegistration();
}

TEST_F(Registration, UnregisteringRemovesEverythingAndTwiceSucceeds) {
    ASSERT_EQ(0u, Regsvr32(L""));
    ASSERT_TRUE(CreatesThroughProgId(L"OrvalisUtility.Addin")) << "the action string's spelling";
    CoFreeUnusedLibraries();
    ASSERT_EQ(0u, Regsvr32(L"/u"));
    ExpectNothingLeft(HKEY_CLASSES_ROOT, "HKCR");
    EXPECT_FALSE(CreatesThroughProgId(L"ORVALISutility.Addin"));
    EXPECT_EQ(0u, Regsvr32(L"/u")) << "removing what is absent succeeds";
}

// The library's own registration code where a step fails: the result is that step's, the
// reason is in IErrorInfo, and neither the failed step nor any later one changed anything.
TEST_F(Registration, AFailingStepIsReportedAsThatStepsResultAndChangesNothing) {
    ASSERT_EQ(0u, Regsvr32(L""));
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const HMODULE unknown = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10));
    const std::wstring kernelPath = orv::ModulePath(kernel);
    ASSERT_FALSE(kernelPath.empty());
    ASSERT_TRUE(orv::ModulePath(unknown).empty());
    const struct {
        const char* label;
        HMODULE module;
        bool install;
        HRESULT hr;
        std::wstring reason;  // the start of IErrorInfo's description
    } rows[] = {
        {"a library without type library", kernel, true, SELFREG_E_TYPELIB, kernelPath + L": "},
        {"a library whose path is unknown", unknown, true, SELFREG_E_CLASS, L"The add-in library's own path is not known."},
        {"unregistering it", unknown, false, SELFREG_E_CLASS, L"The add-in library's own path is not known."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        SetErrorInfo(0, nullptr);
        const HRESULT hr = row.install ? registration::Register(row.module, registration::Scope::User)
                                       : registration::Unregister(row.module, registration::Scope::User);
        EXPECT_EQ(row.hr, hr);
        std::wstring reason = L"<no error info>";
        IErrorInfo* info = nullptr;
        if (GetErrorInfo(0, &info) == S_OK && info) {
            orv::Bstr text;
            info->GetDescription(text.put());
            info->Release();
            reason = text.str();
        }
        EXPECT_EQ(0u, reason.find(row.reason)) << testing::PrintToString(reason);
    }
    HKEY user = OpenClasses(HKEY_CURRENT_USER);
    for (const auto& key : kClassKeys) EXPECT_FALSE(KeyExists(user, key)) << testing::PrintToString(key);
    RegCloseKey(user);
    ExpectMachineRegistration();
}

TEST_F(Registration, PerUserRegistrationWritesUnderTheUsersClassesOnly) {
    ASSERT_EQ(0u, Regsvr32(L"/u"));
    ASSERT_EQ(0u, Regsvr32(L"/n /i:user"));
    HKEY user = OpenClasses(HKEY_CURRENT_USER);
    HKEY machine = OpenClasses(HKEY_LOCAL_MACHINE);
    ExpectClassValues(user, "HKCU\\Software\\Classes");
    ExpectHostEntry();
    for (const auto& key : kClassKeys) EXPECT_FALSE(KeyExists(machine, key)) << testing::PrintToString(key);

    ASSERT_EQ(0u, Regsvr32(L"/u /n /i:user"));
    ExpectNothingLeft(user, "HKCU\\Software\\Classes");
    RegCloseKey(user);
    RegCloseKey(machine);
}

TEST_F(Registration, PerUserRegistrationAloneCreatesTheClass) {
    if (orvtest::OnWine()) GTEST_SKIP() << "known not to work on Wine: its HKEY_CLASSES_ROOT doesn't include HKCU\\Software\\Classes";
    ASSERT_EQ(0u, Regsvr32(L"/u"));
    ASSERT_EQ(0u, Regsvr32(L"/n /i:user"));
    EXPECT_TRUE(CreatesThroughProgId(L"OrvalisUtility.Addin"));
    ITypeLib* lib = nullptr;
    EXPECT_EQ(S_OK, LoadRegTypeLib(LIBID_ORVALISutility, 8, 0, 0, &lib));
    if (lib) lib->Release();
}

void SetDefault(const std::wstring& key, const std::wstring& value) {
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr));
    RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

TEST_F(Registration, AnotherWorkingDesignerLibraryIsNeitherReplacedNorRemoved) {
    // Someone else's registration of the designer library: a copy of the file elsewhere.
    const std::wstring other = orvtest::ScratchDir(L"designer") + L"\\MSADDNDR.TLB";
    ASSERT_TRUE(CopyFileW(orvtest::BuildPath(L"addin\\idl\\MSADDNDR.TLB").c_str(), other.c_str(), FALSE));
    const std::wstring ours = DllPath() + L"\\2";
    const struct {
        const wchar_t* label;
        const wchar_t* version;
        std::wstring file;
        std::wstring registeredAs;  // what 1.0 points at after our registration ("" absent)
        std::wstring leftAs;        // and after our unregistration
    } rows[] = {
        {L"later minor version", L"1.1", other, L"", L""},
        {L"same version", L"1.0", other, other, other},
        {L"file gone", L"1.0", other + L".gone", ours, L""},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(0u, Regsvr32(L"/u"));
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kDesignerLib.c_str());
        SetDefault(kDesignerLib + L"\\" + row.version + kPlatform, row.file);
        ASSERT_EQ(0u, Regsvr32(L"")) << row.label;
        EXPECT_EQ(row.registeredAs, RegString(HKEY_CLASSES_ROOT, kDesignerLib + L"\\1.0" + kPlatform, nullptr).value_or(L""))
            << row.label;
        ASSERT_EQ(0u, Regsvr32(L"/u")) << row.label;
        EXPECT_EQ(row.leftAs, RegString(HKEY_CLASSES_ROOT, kDesignerLib + L"\\1.0" + kPlatform, nullptr).value_or(L""))
            << row.label;
        if (std::wstring(row.version) == L"1.1") {
            EXPECT_EQ(other, RegString(HKEY_CLASSES_ROOT, kDesignerLib + L"\\1.1" + kPlatform, nullptr).value_or(L""))
                << "unregistering removed a library we didn't write";
        }
    }
}

#ifdef _WIN64
// The default value of a key under HKEY_CLASSES_ROOT as one registry view (32- or 64-bit) holds it.
std::wstring ClassesValueIn(REGSAM view, const std::wstring& key) {
    HKEY k;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return L"<missing>";
    std::wstring value = RegString(k, L"", nullptr).value_or(L"<no value>");
    RegCloseKey(k);
    return value;
}

// Both builds registered on one machine: each class in its own registry view, each type
// library under its own platform, one shared add-in entry; removing the 64-bit build leaves
// the 32-bit one's registration whole.
TEST_F(Registration, BothBuildsRegisterSideBySide) {
    // The 32-bit regsvr32 registers the 32-bit build.
    if (const std::wstring why = orvtest::NoX86Code(); !why.empty()) GTEST_SKIP() << sim::Narrow(why);
    const std::wstring dll32 = orvtest::X86BuildPath(L"addin\\OrvalisAddin.dll");
    const std::wstring regsvr32 = L"regsvr32.exe /s ";
    ASSERT_EQ(0u, Regsvr32(L""));
    ASSERT_EQ(0u, orvtest::RunProcess(regsvr32 + L"\"" + dll32 + L"\""));
    const struct {
        const char* label;
        std::wstring key;
        std::wstring both, after64Removed;  // in the 64-bit view, then the 32-bit view
        std::wstring both32, after64Removed32;
    } rows[] = {
        {"class", kClsid + L"\\InprocServer32", DllPath(), L"<missing>", dll32, dll32},
        {"library", kLib + kWin64, DllPath(), L"<missing>", DllPath(), L"<missing>"},
        {"library, 32-bit", kLib + kWin32, dll32, dll32, dll32, dll32},
        {"designer", kDesignerLib + L"\\1.0" + kWin64, DllPath() + L"\\2", L"<missing>", DllPath() + L"\\2", L"<missing>"},
        {"designer, 32-bit", kDesignerLib + L"\\1.0" + kWin32, dll32 + L"\\2", dll32 + L"\\2", dll32 + L"\\2", dll32 + L"\\2"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.both, ClassesValueIn(KEY_WOW64_64KEY, row.key)) << row.label;
        EXPECT_EQ(row.both32, ClassesValueIn(KEY_WOW64_32KEY, row.key)) << row.label;
    }
    ExpectHostEntry();

    ASSERT_EQ(0u, Regsvr32(L"/u"));
    for (const auto& row : rows) {
        EXPECT_EQ(row.after64Removed, ClassesValueIn(KEY_WOW64_64KEY, row.key)) << row.label << " after removal";
        EXPECT_EQ(row.after64Removed32, ClassesValueIn(KEY_WOW64_32KEY, row.key)) << row.label << " after removal";
    }
    // The add-in entry is one for both: removing either build removes it.
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kHostEntry));
    EXPECT_EQ(0u, orvtest::RunProcess(regsvr32 + L"/u \"" + dll32 + L"\""));
    EXPECT_EQ(L"<missing>", ClassesValueIn(KEY_WOW64_32KEY, kClsid + L"\\InprocServer32"));
    EXPECT_EQ(L"<missing>", ClassesValueIn(KEY_WOW64_32KEY, kLib + kWin32));
}
#endif

// The exports, called the way COM and regsvr32 call them.
class Exports : public testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryW(DllPath().c_str());
        ASSERT_NE(nullptr, module_);
    }
    void TearDown() override { FreeLibrary(module_); }
    template <class F>
    F* Export(const char* name) {
        return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    HMODULE module_ = nullptr;
};

using GetClassObjectFn = HRESULT WINAPI(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT WINAPI();
using InstallFn = HRESULT WINAPI(BOOL, LPCWSTR);

TEST_F(Exports, EveryServerFunctionIsExportedByName) {
    for (const char* name : {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow", "DllInstall"})
        EXPECT_NE(nullptr, Export<void()>(name)) << name;
}

TEST_F(Exports, ClassObjectOnlyForAddinAndWithoutAggregation) {
    auto getClassObject = Export<GetClassObjectFn>("DllGetClassObject");
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID__Addin, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, getClassObject(CLSID_Addin, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    IUnknown* object = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory, IID_IUnknown, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(nullptr, object);
    factory->Release();
}

TEST_F(Exports, CanUnloadOnlyWithoutObjectsAndLocks) {
    auto getClassObject = Export<GetClassObjectFn>("DllGetClassObject");
    auto canUnloadNow = Export<CanUnloadNowFn>("DllCanUnloadNow");
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, getClassObject(CLSID_Addin, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, canUnloadNow()) << "the factory alone doesn't hold the library";

    IUnknown* object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(2u, object->AddRef()) << "born with a count of 1";
    EXPECT_EQ(1u, object->Release());
    EXPECT_EQ(S_FALSE, canUnloadNow());
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(S_OK, canUnloadNow());

    factory->LockServer(TRUE);
    EXPECT_EQ(S_FALSE, canUnloadNow());
    factory->LockServer(FALSE);
    EXPECT_EQ(S_OK, canUnloadNow());
    factory->Release();
}

TEST_F(Exports, InstallRefusesAnUnknownCommandLine) {
    EXPECT_EQ(E_INVALIDARG, Export<InstallFn>("DllInstall")(TRUE, L"everyone"));
}

// A program file's PE headers and import directory, read from the file itself, so that a
// 64-bit test can look at the 32-bit reset program and the other way round.
struct PeFile {
    WORD machine = 0;
    WORD magic = 0;                 // of the optional header: PE32 or PE32+
    std::set<std::string> imports;  // DLL names, lower case
    std::string problem;            // why the file couldn't be read, or ""
};

PeFile ReadPeFile(const std::wstring& path) {
    PeFile pe;
    const std::string bytes = orvtest::FileBytes(path);
    auto at = [&](size_t offset, size_t size) -> const BYTE* {
        return offset <= bytes.size() && size <= bytes.size() - offset ? reinterpret_cast<const BYTE*>(bytes.data()) + offset
                                                                       : nullptr;
    };
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return {0, 0, {}, "no program file"};
    const size_t ntOffset = static_cast<size_t>(dos->e_lfanew);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(at(ntOffset, sizeof(IMAGE_NT_HEADERS32)));
    if (!nt || nt->Signature != IMAGE_NT_SIGNATURE) return {0, 0, {}, "no PE header"};
    pe.machine = nt->FileHeader.Machine;
    pe.magic = nt->OptionalHeader.Magic;
    IMAGE_DATA_DIRECTORY dir{};
    if (pe.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        auto* nt64 = reinterpret_cast<const IMAGE_NT_HEADERS64*>(at(ntOffset, sizeof(IMAGE_NT_HEADERS64)));
        if (!nt64) return {pe.machine, pe.magic, {}, "short PE32+ header"};
        dir = nt64->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    } else {
        dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    }
    // Section headers follow the optional header, whatever its size.
    const size_t sections = ntOffset + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader;
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            auto* sh = reinterpret_cast<const IMAGE_SECTION_HEADER*>(at(sections + i * sizeof(IMAGE_SECTION_HEADER),
                                                                       sizeof(IMAGE_SECTION_HEADER)));
            if (sh && rva >= sh->VirtualAddress && rva < sh->VirtualAddress + sh->SizeOfRawData)
                return rva - sh->VirtualAddress + sh->PointerToRawData;
        }
        return bytes.size();
    };
    for (size_t d = fileOffset(dir.VirtualAddress); dir.Size; d += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(d, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
        if (!entry) return {pe.machine, pe.magic, pe.imports, "import directory past the end"};
        if (!entry->Name) break;
        const size_t nameAt = fileOffset(entry->Name);
        if (nameAt >= bytes.size()) return {pe.machine, pe.magic, pe.imports, "import name past the end"};
        std::string name(bytes.c_str() + nameAt);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(tolower(c)); });
        pe.imports.insert(name);
    }
    return pe;
}

#ifdef _WIN64
constexpr WORD kThisMachine = IMAGE_FILE_MACHINE_AMD64, kThisMagic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
#else
constexpr WORD kThisMachine = IMAGE_FILE_MACHINE_I386, kThisMagic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
#endif

// The add-in and the reset program of this build.
const struct {
    std::wstring path;
    WORD machine, magic;
} kDeliverables[] = {
    {orvtest::BuildPath(L"addin\\OrvalisAddin.dll"), kThisMachine, kThisMagic},
    {orvtest::BuildPath(L"Reset\\ResetOrvalis.exe"), kThisMachine, kThisMagic},
};

TEST(Deliverables, ImportWindowsSystemDllsOnly) {
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll",
                                          "oleaut32.dll", "comdlg32.dll", "comctl32.dll", "shell32.dll", "msvcrt.dll",
                                          "shlwapi.dll", "version.dll"};
    for (const auto& row : kDeliverables) {
        PeFile pe = ReadPeFile(row.path);
        ASSERT_EQ("", pe.problem) << testing::PrintToString(row.path);
        EXPECT_TRUE(pe.imports.count("kernel32.dll")) << testing::PrintToString(row.path);
        for (const auto& name : pe.imports)
            EXPECT_TRUE(system.count(name)) << testing::PrintToString(row.path) << " imports " << name;
    }
}

TEST(Deliverables, AreBuiltForTheirArchitecture) {
    for (const auto& row : kDeliverables) {
        PeFile pe = ReadPeFile(row.path);
        ASSERT_EQ("", pe.problem) << testing::PrintToString(row.path);
        EXPECT_EQ(row.machine, pe.machine) << testing::PrintToString(row.path);
        EXPECT_EQ(row.magic, pe.magic) << testing::PrintToString(row.path);
    }
}

}  // namespace
