// Module Global against the mail-client stand-in: which add-in DisconnectSelf switches off,
// that it makes the host application once, and that its failures reach the caller.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Global.h"
#include "dispatch.h"
#include "sim_client.h"
#include "wine_test.h"

namespace {

using orvtest::Count;

const wchar_t kOurs[] = L"Orvalis Outlook DL Utility";

std::wstring Json(const std::wstring& s) {
    std::wstring out;
    for (wchar_t c : s) out += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
    return out;
}

// A host whose add-in list holds these descriptions, each connected, ProgIDs "AddIn1", "AddIn2"...
// The test prefix may have registered the add-in itself, which the host would list too: its
// entry is listed here, last and under another description, so only a test's own can match.
void HostWithAddIns(const std::vector<std::wstring>& descriptions) {
    std::wstring list;
    for (size_t i = 0; i < descriptions.size(); ++i)
        list += L"{\"progId\":\"AddIn" + std::to_wstring(i + 1) + L"\",\"description\":\"" + Json(descriptions[i]) +
                L"\",\"connected\":true},";
    list += L"{\"progId\":\"ORVALISutility.Addin\",\"description\":\"Registered entry\"}";
    simclient::LoadScenario(L"{\"host\":{\"addins\":[" + list + L"]}}");
    simclient::ClearLog();
}

// The add-ins a test listed itself, "1" connected, "0" not.
std::wstring ConnectedFlags() {
    std::wstring flags;
    for (const auto& a : simclient::HostAddIns())
        if (a.progId.rfind(L"AddIn", 0) == 0) flags += a.connected ? L'1' : L'0';
    return flags;
}

// Connect puts on the add-ins a test listed itself.
int SwitchOffs(const std::wstring& log) {
    int n = 0;
    for (const auto& line : simclient::SplitLines(log))
        n += line.rfind(L"COMAddIn[AddIn", 0) == 0 && line.find(L"].Connect() = BOOL False") != std::wstring::npos;
    return n;
}

// The add-in connection interface, as the host calls it.
const IID IID_IDTExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
struct IDTExtensibility2 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch*, LONG, IDispatch*, SAFEARRAY**) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(LONG, SAFEARRAY**) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) = 0;
};

// Does what the real connect object does on disconnection: empties hostApp, while the
// DisconnectSelf that caused it is still running.
class ConnectObject : public IDTExtensibility2 {
public:
    std::vector<LONG> disconnections;
    bool hostAppHeldAtDisconnection = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IDTExtensibility2) return *out = nullptr, E_NOINTERFACE;
        *out = static_cast<IDTExtensibility2*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch*, LONG, IDispatch*, SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDisconnection(LONG mode, SAFEARRAY**) override {
        disconnections.push_back(mode);
        hostAppHeldAtDisconnection = Global::hostApp() != nullptr;
        Global::EmptyHostApp();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override { return S_OK; }
    ULONG refs = 1;
};

// First in this program, so that no earlier call has made the application yet.
TEST(DisconnectSelf, MakesTheApplicationOnceAndOnlyWhenItCanBeMade) {
    HostWithAddIns({});
    simclient::LoadScenario(LR"({"faults":[{"object":"Application","member":"CreateInstance","hresult":"0x80080005","times":1}]})");
    try {
        Global::DisconnectSelf();
        FAIL() << "the application could not be made";
    } catch (const orv::Error& e) {
        EXPECT_EQ(static_cast<HRESULT>(0x80080005), e.hr());
    }
    EXPECT_EQ(nullptr, Global::hostApp());

    simclient::ClearLog();
    Global::DisconnectSelf();
    IDispatch* first = Global::hostApp();
    ASSERT_NE(nullptr, first);
    Global::EmptyHostApp();  // as a disconnection leaves it
    Global::DisconnectSelf();
    EXPECT_EQ(first, Global::hostApp()) << "hostApp is the same createdApp again";
    EXPECT_EQ(1, Count(simclient::Log(), L"CreateInstance Outlook.Application")) << simclient::Log();
}

TEST(DisconnectSelf, SwitchesOffTheFirstAddInDescribedExactlySo) {
    struct Row {
        const char* label;
        std::vector<std::wstring> descriptions;
        const wchar_t* connectedAfter;
    } rows[] = {
        {"ours alone", {kOurs}, L"0"},
        {"ours after another", {L"Other Add-in", kOurs}, L"10"},
        {"letter case differs", {L"orvalis outlook DL utility"}, L"1"},
        {"case variant first, ours second", {L"ORVALIS OUTLOOK DL UTILITY", kOurs}, L"10"},
        {"two of ours: the first only", {kOurs, kOurs}, L"01"},
        {"trailing blank differs", {L"Orvalis Outlook DL Utility "}, L"1"},
        {"empty list", {}, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HostWithAddIns(row.descriptions);
        EXPECT_NO_THROW(Global::DisconnectSelf());
        EXPECT_EQ(row.connectedAfter, ConnectedFlags());
        EXPECT_EQ(Count(row.connectedAfter, L"0"), SwitchOffs(simclient::Log())) << simclient::Log();
        Global::EmptyHostApp();
    }
}

TEST(DisconnectSelf, SurvivesTheHostEmptyingHostAppBeforeThePutReturns) {
    HostWithAddIns({});
    ConnectObject addIn;
    ASSERT_EQ(S_OK, simclient::HostAddAddIn(&addIn, kOurs, L"AddIn.Test"));
    Global::DisconnectSelf();
    EXPECT_EQ(std::vector<LONG>{1}, addIn.disconnections) << "disconnected once, by the user's side";
    EXPECT_TRUE(addIn.hostAppHeldAtDisconnection);
    EXPECT_EQ(nullptr, Global::hostApp()) << "what the disconnection emptied stays empty";
    EXPECT_EQ(L"0", ConnectedFlags());
    simclient::HostReset();
    EXPECT_EQ(1u, addIn.refs) << "the host let go of the connect object";
}

TEST(DisconnectSelf, PassesFailuresToItsCaller) {
    struct Row {
        const char* label;
        const wchar_t* fault;
        const wchar_t* connectedAfter;
    } rows[] = {
        {"add-in list unavailable", LR"({"object":"Application","member":"COMAddIns","hresult":"0x80004005"})", L"1"},
        {"description unreadable", LR"({"object":"COMAddIn","member":"Description","hresult":"0x80004005"})", L"1"},
        {"Connect refused", LR"({"object":"COMAddIn","member":"Connect","hresult":"0x80004005"})", L"1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HostWithAddIns({kOurs});
        simclient::LoadScenario(std::wstring(L"{\"faults\":[") + row.fault + L"]}");
        try {
            Global::DisconnectSelf();
            ADD_FAILURE() << "no failure reached the caller";
        } catch (const orv::Error& e) {
            EXPECT_EQ(static_cast<HRESULT>(0x80004005), e.hr());
        }
        simclient::LoadScenario(LR"({"faults":[]})");
        EXPECT_EQ(row.connectedAfter, ConnectedFlags());
        Global::EmptyHostApp();
    }
}

}  // namespace
