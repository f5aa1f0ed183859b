// The help file beside the add-in as the help viewer reads it: through the platform's storage
// for compiled help (IITStorage of itss.dll), the context numbers the add-in passes lead to
// streams that hold their pages, and the default window's contents and pages are there.
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "help_contexts.h"
#include "wine_test.h"

// The storage interface of compiled help files; the SDK has no header for it. Outside the
// anonymous namespace: the compiler may take an interface that no class of this file
// implements, and that no other file can see, for one that is never called.
struct IITStorage : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR*, IStorage*, DWORD, SNB, DWORD, IStorage**) = 0;
};

namespace {

using Microsoft::WRL::ComPtr;

const CLSID CLSID_ITStorage = {0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
const IID IID_IITStorage = {0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
class HelpFile : public testing::Test {
protected:
    void SetUp() override {
        ComPtr<IUnknown> unknown;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ITStorage, nullptr, CLSCTX_INPROC_SERVER, IID_IITStorage,
                                         reinterpret_cast<void**>(unknown.GetAddressOf())));
        auto* its = static_cast<IITStorage*>(unknown.Get());
        const std::wstring path = orvtest::BuildPath(L"addin\\orvalis.chm");
        ASSERT_EQ(S_OK, its->StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                            storage_.GetAddressOf()))
            << testing::PrintToString(path);
        ASSERT_TRUE(Read(L"#STRINGS", strings_));
    }

    // The whole stream; false when it doesn't open.
    bool Read(const std::wstring& name, std::string& out) const {
        ComPtr<IStream> stream;
        out.clear();
        if (FAILED(storage_->OpenStream(name.c_str(), nullptr, STGM_READ, 0, stream.GetAddressOf()))) return false;
        char buf[4096];
        ULONG n = 0;
        while (SUCCEEDED(stream->Read(buf, sizeof buf, &n)) && n) out.append(buf, n);
        return true;
    }

    // The string at offset in #STRINGS, as the viewer takes it.
    std::wstring StringAt(uint32_t offset) const {
        if (offset >= strings_.size()) return L"<offset " + std::to_wstring(offset) + L" beyond #STRINGS>";
        std::string s(strings_.c_str() + offset);
        return std::wstring(s.begin(), s.end());
    }

    std::wstring TitleOf(const std::wstring& page) const {
        std::string html;
        if (!Read(page, html)) return L"<" + page + L" doesn't open>";
        const size_t start = html.find("<title>"), end = html.find("</title>");
        if (start == std::string::npos || end < start) return L"<no title>";
        return std::wstring(html.begin() + start + 7, html.begin() + end);
    }

    ComPtr<IStorage> storage_;
    std::string strings_;
};

uint32_t DwordAt(const std::string& data, size_t offset) {
    uint32_t value = 0;
    if (offset + 4 <= data.size()) memcpy(&value, data.data() + offset, 4);
    return value;
}

TEST_F(HelpFile, EachContextTheAddInPassesOpensItsPage) {
    std::string ivb;
    ASSERT_TRUE(Read(L"#IVB", ivb));
    std::map<uint32_t, std::wstring> topics;
    for (uint32_t i = 0; i < DwordAt(ivb, 0) / 8; ++i)
        topics[DwordAt(ivb, 4 + 8 * i)] = StringAt(DwordAt(ivb, 8 + 8 * i));
    const std::map<uint32_t, std::wstring> expected = {{IDH_LIST_BUILDER, L"list_builder.htm"},
                                                       {IDH_STARTUP_NOTE, L"startup_note.htm"}};
    EXPECT_EQ(expected, topics);
    const struct {
        uint32_t context;
        const wchar_t* title;
    } rows[] = {{1100, L"Building a subscriber list"}, {1200, L"Finding Orvalis in Outlook"}};
    for (const auto& row : rows) EXPECT_EQ(row.title, TitleOf(topics[row.context])) << row.context;
}

TEST_F(HelpFile, DefaultWindowShowsTheContentsAndOpensAtTheContentsPage) {
    // #WINDOWS: the number of window types, the size of each, then each as the viewer's
    // window type structure with its texts as offsets into #STRINGS.
    std::string windows;
    ASSERT_TRUE(Read(L"#WINDOWS", windows));
    ASSERT_EQ(1u, DwordAt(windows, 0));
    const size_t entry = 8;
    const struct {
        const char* field;
        size_t offset;
        const wchar_t* expected;
    } rows[] = {
        {"window type", 0x08, L"main"},
        {"caption", 0x14, L"Orvalis Outlook DL Utility"},
        {"contents", 0x60, L"orvalis.hhc"},
        {"index", 0x64, L"orvalis.hhk"},
        {"default page", 0x68, L"index.htm"},
        {"home page", 0x6C, L"index.htm"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.expected, StringAt(DwordAt(windows, entry + row.offset))) << row.field;
    std::string file;
    for (const wchar_t* name : {L"orvalis.hhc", L"orvalis.hhk"}) EXPECT_TRUE(Read(name, file)) << testing::PrintToString(name);
    EXPECT_EQ(L"Orvalis Outlook DL Utility", TitleOf(L"index.htm"));
}

}  // namespace
