// The client stand-in under the policy that add-ins be signed by a trusted publisher, with the
// real add-in: signed copies of it (made by the signatures test with a throwaway authority) are
// put in the class's place one at a time, and the client is played in a process of its own.
// The test authority's root is trusted and its publisher made a trusted publisher for the run,
// as an administrator would; the other certificates are not.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>

#include "clipboard_files.h"
#include "utf8.h"
#include "wine_test.h"

namespace {

using orvtest::Contains;

const wchar_t kProgId[] = L"ORVALISutility.Addin";
const wchar_t kPolicyKey16[] = L"Software\\Policies\\Microsoft\\Office\\16.0\\Outlook\\Security";
const wchar_t kPolicyKey15[] = L"Software\\Policies\\Microsoft\\Office\\15.0\\Outlook\\Security";

std::wstring SigningPath(const std::wstring& relative) {
    std::wstring path = L"Z:" + sim::Widen(ORVALIS_SIGNING_TEST_DIR) + L"\\" + relative;
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

DWORD Trust(const wchar_t* verb, const wchar_t* store, const std::wstring& cert) {
    std::string output;
    DWORD rc = orvtest::RunProcess(L"\"" + orvtest::BuildPath(L"sim\\trust\\OrvalisTrust.exe") + L"\" " + verb + L" " +
                                       store + L" \"" + cert + L"\"",
                                   output);
    EXPECT_EQ(0u, rc) << output;
    return rc;
}

std::wstring ServerKey() {
    CLSID clsid;
    EXPECT_EQ(S_OK, CLSIDFromProgID(kProgId, &clsid));
    wchar_t text[64];
    StringFromGUID2(clsid, text, 64);
    return std::wstring(L"CLSID\\") + text + L"\\InprocServer32";
}

std::wstring ReadServer() {
    wchar_t value[1024];
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, ServerKey().c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size)) return {};
    return value;
}

// The class's server pointed at another file, as registering that file would leave it.
void PointServerAt(const std::wstring& path) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, ServerKey().c_str(), 0, KEY_SET_VALUE, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))));
    RegCloseKey(key);
}

void SetPolicy(const wchar_t* key, DWORD value) {
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, key, L"requireaddinsig", REG_DWORD, &value, sizeof value));
}

struct Played {
    DWORD code = 0;
    std::string output;  // what OrvalisHost.exe printed for its steps
    std::wstring log;    // the stand-ins' log
};

class SignedAddins : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        original_ = ReadServer();
        Trust(L"add", L"Root", SigningPath(L"authority\\root.cer"));
        Trust(L"add", L"TrustedPublisher", SigningPath(L"authority\\signer.cer"));
    }
    static void TearDownTestSuite() {
        PointServerAt(original_);
        Trust(L"remove", L"TrustedPublisher", SigningPath(L"authority\\signer.cer"));
        Trust(L"remove", L"Root", SigningPath(L"authority\\root.cer"));
    }
    void SetUp() override { ASSERT_FALSE(original_.empty()) << "the add-in is not registered"; }
    void TearDown() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kPolicyKey16, L"requireaddinsig");
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kPolicyKey15, L"requireaddinsig");
        PointServerAt(original_);
    }

    // The client of that version played through the steps with the class's server at dll.
    static Played Play(const std::wstring& dll, const std::wstring& outlook, const std::wstring& steps) {
        PointServerAt(dll);
        const std::wstring dir = orvtest::ScratchDir(L"signed_addins");
        const std::wstring log = dir + L"\\log.txt", scenario = dir + L"\\scenario.json";
        orvtest::WriteBytes(scenario, sim::Narrow(L"{\"host\": {}, \"outlook\": {" + outlook + L"}}"));
        SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", log.c_str());
        SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", scenario.c_str());
        Played p;
        p.code = orvtest::RunProcess(L"\"" + orvtest::BuildPath(L"sim\\host\\OrvalisHost.exe") + L"\" " + steps, p.output,
                                     60000);
        SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", nullptr);
        SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", nullptr);
        p.log = orvtest::FileText(log);
        return p;
    }

    static inline std::wstring original_;
};

constexpr wchar_t kRibbonSteps[] = L"startup addins ribbon ribbon-click OrvalisButton pump 500 shutdown";
constexpr wchar_t kRequire16[] = L"\"version\": \"16.0.0.0\", \"requireSignedAddIns\": true";

// Signed by the trusted publisher: checked, created, and it works: its ribbon button opens the
// window, which logs on to the address book.
TEST_F(SignedAddins, SignedByATrustedPublisherLoadsAndWorks) {
    Played p = Play(SigningPath(L"signed\\OrvalisAddin.dll"), kRequire16, kRibbonSteps);
    EXPECT_EQ(0u, p.code) << p.output;
    EXPECT_TRUE(Contains(sim::Widen(p.output), std::wstring(L"connected    ") + kProgId)) << p.output;
    EXPECT_TRUE(Contains(sim::Widen(p.output), L"ribbon-click OrvalisButton: ok")) << p.output;
    EXPECT_TRUE(Contains(p.log, L"AddIn[ORVALISutility.Addin].Create accepted: signed by \"Orvalis Test Publisher\", a "
                                L"trusted publisher")) << sim::Narrow(p.log);
    EXPECT_FALSE(Contains(p.log, L"refused")) << sim::Narrow(p.log);
    EXPECT_TRUE(Contains(p.log, L"AddIn[ORVALISutility.Addin].OnConnection(mode 1)")) << sim::Narrow(p.log);
    EXPECT_TRUE(Contains(p.log, L"Session.Logon(")) << sim::Narrow(p.log);
}

// A client of the command-bar era checks again at each demand load, with the library already
// loaded from the first connection.
TEST_F(SignedAddins, SignedAddInLoadsOnDemandUnderThePolicyToo) {
    Played p = Play(SigningPath(L"signed\\OrvalisAddin.dll"), L"\"requireSignedAddIns\": true",
                    L"startup click Standard/Orvalis pump 500 addins shutdown");
    EXPECT_EQ(0u, p.code) << p.output;
    EXPECT_EQ(2, orvtest::Count(p.log, L"AddIn[ORVALISutility.Addin].Create accepted")) << sim::Narrow(p.log);
    EXPECT_TRUE(Contains(p.log, L"AddIn[ORVALISutility.Addin].OnConnection(mode 0)")) << sim::Narrow(p.log);
    EXPECT_TRUE(Contains(sim::Widen(p.output), std::wstring(L"connected    ") + kProgId)) << p.output;
}

// Each kind of file the policy refuses: not created, shown disconnected, one line with the
// reason, and the client goes on to its shutdown.
TEST_F(SignedAddins, RefusedAddInsAreNotCreatedAndTheClientGoesOn) {
    const struct {
        const char* label;
        const wchar_t* file;
        const wchar_t* reason;
    } rows[] = {
        {"unsigned", L"variants\\unsigned\\OrvalisAddin.dll", L"0x800B0100 \"unsigned\""},
        {"root nobody trusts", L"variants\\other-root\\OrvalisAddin.dll", L"0x800B0109 \"untrusted root\""},
        {"signer not a trusted publisher", L"variants\\stranger\\OrvalisAddin.dll",
         L"0x800B0004 \"not a trusted publisher\""},
        {"one byte changed after signing", L"variants\\tampered\\OrvalisAddin.dll", L"0x80096010 \"bad digest\""},
    };
    for (const auto& r : rows) {
        const std::wstring dll = SigningPath(r.file);
        Played p = Play(dll, kRequire16, L"startup addins ribbon shutdown");
        EXPECT_EQ(0u, p.code) << r.label << "\n" << p.output;
        EXPECT_EQ("startup: ok\naddins: disconnected ORVALISutility.Addin \"Orvalis Outlook DL Utility\"\n\n"
                  "ribbon: no ribbon controls\nshutdown: ok\n",
                  p.output)
            << r.label;
        EXPECT_TRUE(Contains(p.log, std::wstring(L"AddIn[ORVALISutility.Addin].Create refused ") + r.reason + L": " + dll))
            << r.label << "\n" << sim::Narrow(p.log);
        EXPECT_FALSE(Contains(p.log, L"OnConnection")) << r.label;
        EXPECT_TRUE(Contains(p.log, L"Host.Shutdown()")) << r.label;
    }
}

// The policy's registry value, for the version the client plays; without the policy nothing is
// checked and an unsigned add-in loads as always.
TEST_F(SignedAddins, PolicyComesFromTheRegistryValueOfTheClientsVersion) {
    const struct {
        const char* label;
        const wchar_t* key;  // null: no value
        DWORD value;
        bool refused;
    } rows[] = {
        {"no policy", nullptr, 0, false},
        {"requireaddinsig 1 for 16.0", kPolicyKey16, 1, true},
        {"requireaddinsig 0 for 16.0", kPolicyKey16, 0, false},
        {"requireaddinsig 1 for another version", kPolicyKey15, 1, false},
    };
    for (const auto& r : rows) {
        if (r.key) SetPolicy(r.key, r.value);
        Played p = Play(SigningPath(L"variants\\unsigned\\OrvalisAddin.dll"), L"\"version\": \"16.0.0.0\"",
                        L"startup addins shutdown");
        EXPECT_EQ(0u, p.code) << r.label << "\n" << p.output;
        EXPECT_EQ(r.refused, Contains(p.log, L"Create refused 0x800B0100 \"unsigned\"")) << r.label << "\n"
                                                                                          << sim::Narrow(p.log);
        EXPECT_EQ(!r.refused, Contains(sim::Widen(p.output), std::wstring(L"connected    ") + kProgId))
            << r.label << "\n" << p.output;
        EXPECT_FALSE(Contains(p.log, L"Create accepted")) << r.label;
        if (r.key) RegDeleteKeyValueW(HKEY_CURRENT_USER, r.key, L"requireaddinsig");
    }
}

}  // namespace
