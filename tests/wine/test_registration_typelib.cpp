// The add-in library's identity as a host reads it: the registered type library with the
// connect class and the imported add-in contract, and the version resource.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OrvalisAddin.h"
#include "version_info.h"
#include "wine_test.h"

namespace {

std::wstring DllPath() { return orvtest::BuildPath(L"addin\\OrvalisAddin.dll"); }

// Releases what the checks below borrow from a type library.
struct Lib {
    ITypeLib* p = nullptr;
    ~Lib() { if (p) p->Release(); }
};
struct Info {
    ITypeInfo* p = nullptr;
    TYPEATTR* attr = nullptr;
    ~Info() {
        if (attr) p->ReleaseTypeAttr(attr);
        if (p) p->Release();
    }
    void Attr() { ASSERT_EQ(S_OK, p->GetTypeAttr(&attr)); }
};

std::wstring Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    BSTR name = nullptr;
    if (FAILED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr))) return L"<none>";
    std::wstring s(name ? name : L"");
    SysFreeString(name);
    return s;
}

TEST(TypeLibrary, RegisteredLibraryHasItsIdentity) {
    Lib lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_ORVALISutility, 8, 0, 0, &lib.p));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib.p->GetLibAttr(&attr));
    EXPECT_EQ(LIBID_ORVALISutility, attr->guid);
    EXPECT_EQ(0u, attr->lcid);
    EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, attr->syskind);
    EXPECT_EQ(8, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0, attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE);
    lib.p->ReleaseTLibAttr(attr);

    BSTR name = nullptr, doc = nullptr, helpFile = nullptr;
    DWORD context = 99;
    ASSERT_EQ(S_OK, lib.p->GetDocumentation(-1, &name, &doc, &context, &helpFile));
    EXPECT_STREQ(L"ORVALISutility", name);
    EXPECT_STREQ(L"Orvalise and Outlook DL utility.", doc);
    EXPECT_EQ(0u, context);
    std::wstring file(helpFile ? helpFile : L"");
    EXPECT_TRUE(file == L"orvalis.hlp" || (file.size() > 12 && file.substr(file.size() - 12) == L"\\orvalis.hlp")) << file;
    SysFreeString(name);
    SysFreeString(doc);
    SysFreeString(helpFile);
    EXPECT_EQ(2u, lib.p->GetTypeInfoCount());
}

TEST(TypeLibrary, TypesInOrderWithTheirFlags) {
    Lib lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_ORVALISutility, 8, 0, 0, &lib.p));
    const struct {
        const wchar_t* name;
        GUID guid;
        TYPEKIND kind;
        WORD flags;
    } rows[] = {
        // The dispatch view of a dual interface; its vtable view adds FOLEAUTOMATION (below).
        {L"_Addin", IID__Addin, TKIND_DISPATCH,
         TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE},
        {L"Addin", CLSID_Addin, TKIND_COCLASS, TYPEFLAG_FCANCREATE},
    };
    for (UINT i = 0; i < 2; ++i) {
        Info info;
        ASSERT_EQ(S_OK, lib.p->GetTypeInfo(i, &info.p));
        info.Attr();
        EXPECT_EQ(rows[i].name, Name(info.p));
        EXPECT_EQ(rows[i].guid, info.attr->guid) << i;
        EXPECT_EQ(rows[i].kind, info.attr->typekind) << i;
        EXPECT_EQ(rows[i].flags, info.attr->wTypeFlags) << i;
        EXPECT_EQ(1, info.attr->wMajorVerNum) << i;
        EXPECT_EQ(1, info.attr->wMinorVerNum) << i;
    }
}

TEST(TypeLibrary, AddinInterfaceHasOnlyTheDispatchFunctions) {
    Lib lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_ORVALISutility, 8, 0, 0, &lib.p));
    Info dispatch;
    ASSERT_EQ(S_OK, lib.p->GetTypeInfoOfGuid(IID__Addin, &dispatch.p));
    HREFTYPE vtable = 0;
    ASSERT_EQ(S_OK, dispatch.p->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable));
    Info itf;
    ASSERT_EQ(S_OK, dispatch.p->GetRefTypeInfo(vtable, &itf.p));
    itf.Attr();
    EXPECT_EQ(TKIND_INTERFACE, itf.attr->typekind);
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
              itf.attr->wTypeFlags);
    EXPECT_EQ(0, itf.attr->cFuncs) << "no members of its own";
    EXPECT_EQ(static_cast<WORD>(7 * sizeof(void*)), itf.attr->cbSizeVft) << "IUnknown and IDispatch";
    HREFTYPE base = 0;
    ASSERT_EQ(S_OK, itf.p->GetRefTypeOfImplType(0, &base));
    Info parent;
    ASSERT_EQ(S_OK, itf.p->GetRefTypeInfo(base, &parent.p));
    EXPECT_EQ(L"IDispatch", Name(parent.p));
}

TEST(TypeLibrary, ClassImplementsAddinByDefaultAndTheImportedContract) {
    Lib lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_ORVALISutility, 8, 0, 0, &lib.p));
    Info cls;
    ASSERT_EQ(S_OK, lib.p->GetTypeInfoOfGuid(CLSID_Addin, &cls.p));
    cls.Attr();
    ASSERT_EQ(2, cls.attr->cImplTypes);
    const struct {
        const wchar_t* name;
        GUID guid;
        INT flags;
        GUID lib;
        WORD major;
    } rows[] = {
        {L"_Addin", IID__Addin, IMPLTYPEFLAG_FDEFAULT, LIBID_ORVALISutility, 8},
        {L"IDTExtensibility2", IID_IDTExtensibility2, 0, LIBID_AddInDesignerObjects, 1},
    };
    for (UINT i = 0; i < 2; ++i) {
        INT flags = -1;
        ASSERT_EQ(S_OK, cls.p->GetImplTypeFlags(i, &flags));
        EXPECT_EQ(rows[i].flags, flags) << i;
        HREFTYPE ref = 0;
        ASSERT_EQ(S_OK, cls.p->GetRefTypeOfImplType(i, &ref));
        Info itf;
        ASSERT_EQ(S_OK, cls.p->GetRefTypeInfo(ref, &itf.p)) << "reference " << i << " does not resolve";
        itf.Attr();
        EXPECT_EQ(rows[i].name, Name(itf.p));
        EXPECT_EQ(rows[i].guid, itf.attr->guid);
        Lib owner;
        UINT index = 0;
        ASSERT_EQ(S_OK, itf.p->GetContainingTypeLib(&owner.p, &index));
        TLIBATTR* attr = nullptr;
        ASSERT_EQ(S_OK, owner.p->GetLibAttr(&attr));
        EXPECT_EQ(rows[i].lib, attr->guid) << "interface " << i << " lives in another library";
        EXPECT_EQ(rows[i].major, attr->wMajorVerNum);
        owner.p->ReleaseTLibAttr(attr);
    }
}

TEST(TypeLibrary, ContractOperationsInTheirOrder) {
    Lib lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_AddInDesignerObjects, 1, 0, 0, &lib.p));
    Info dispatch, itf;
    ASSERT_EQ(S_OK, lib.p->GetTypeInfoOfGuid(IID_IDTExtensibility2, &dispatch.p));
    HREFTYPE vtable = 0;
    ASSERT_EQ(S_OK, dispatch.p->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable));
    ASSERT_EQ(S_OK, dispatch.p->GetRefTypeInfo(vtable, &itf.p));
    itf.Attr();
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, itf.attr->wTypeFlags);
    const std::vector<std::vector<std::wstring>> expected = {
        {L"OnConnection", L"Application", L"ConnectMode", L"AddInInst", L"custom"},
        {L"OnDisconnection", L"RemoveMode", L"custom"},
        {L"OnAddInsUpdate", L"custom"},
        {L"OnStartupComplete", L"custom"},
        {L"OnBeginShutdown", L"custom"},
    };
    ASSERT_EQ(5, itf.attr->cFuncs);
    for (UINT i = 0; i < 5; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(S_OK, itf.p->GetFuncDesc(i, &f));
        BSTR names[8] = {};
        UINT count = 0;
        itf.p->GetNames(f->memid, names, 8, &count);
        std::vector<std::wstring> got;
        for (UINT n = 0; n < count; ++n) {
            got.emplace_back(names[n]);
            SysFreeString(names[n]);
        }
        EXPECT_EQ(expected[i], got) << "operation " << i;
        EXPECT_EQ(static_cast<SHORT>((7 + i) * sizeof(void*)), f->oVft) << "vtable slot after IDispatch";
        itf.p->ReleaseFuncDesc(f);
    }
}

TEST(TypeLibrary, EmbeddedAsResourceOne) {
    Lib lib;
    ASSERT_EQ(S_OK, LoadTypeLibEx((DllPath() + L"\\1").c_str(), REGKIND_NONE, &lib.p));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib.p->GetLibAttr(&attr));
    EXPECT_EQ(LIBID_ORVALISutility, attr->guid);
    lib.p->ReleaseTLibAttr(attr);
}

TEST(VersionResource, StringsAreExact) {
    auto block = orvtest::VersionBlock(DllPath());
    ASSERT_FALSE(block.empty());
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"FileDescription", L"Orvalis Utility"},  {L"ProductName", L"ORVALIS Gal Utility"},
        {L"FileVersion", L"1.03.0001"},            {L"ProductVersion", L"1.03.0001"},
        {L"InternalName", L"OrvalisAddin"},        {L"OriginalFilename", L"OrvalisAddin.dll"},
        {L"OLESelfRegister", L""},
    };
    for (const auto& [key, value] : rows) EXPECT_EQ(std::wstring(value), orvtest::VersionString(block, key)) << key;
    WORD* pair = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pair), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, pair[0]);
    EXPECT_EQ(1200, pair[1]);
}

TEST(VersionResource, FixedPartIsADllFor32BitWindows) {
    auto block = orvtest::VersionBlock(DllPath());
    ASSERT_FALSE(block.empty());
    const VS_FIXEDFILEINFO* info = orvtest::FixedVersion(block);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(MAKELONG(3, 1), info->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), info->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(3, 1), info->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), info->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), info->dwFileType);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), info->dwFileOS);
    EXPECT_EQ(0u, info->dwFileFlags);
}

}  // namespace
