// The scenario's "outlook" section: {"version": "16.0.0.0", "selectNamesDialog": false,
// The scenario's "outlook" section: {"version": "16.0.0.0", "selectNamesDialog": false,
// "requireSignedAddIns": true, "latencyMs": 1}. Every scenario load sets them all; without the
// section the client is the 2000 version with the dialog, loading add-ins as its policy in the
// registry says, and its address book answers without delay.
#include "client.h"

#include "data_file.h"
#include "sim_state.h"

namespace sim::outlook {

namespace {

constexpr wchar_t kDefaultVersion[] = L"9.0.0.0";
constexpr long kFirstRibbonMajor = 14;
// A call's latency beyond a minute is no server's answer but a typing error.
constexpr long kMostLatencyMs = 60000;

struct Client {
    std::wstring version = kDefaultVersion;
    long major = 9;
    bool offersSelectNamesDialog = true;
    bool requireSignedAddIns = false;
};

Client& TheClient() {
    static Client* client = new Client;  // never destroyed: objects may ask during process exit
    return *client;
}

// The major number of a version as the client writes it: one to four dot-separated whole
// numbers of up to five digits ("14.0.0.4760"), the first at least 1; -1 for anything else.
long MajorOf(const std::wstring& text) {
    long major = -1;
    size_t parts = 0, start = 0;
    for (;;) {
        size_t dot = text.find(L'.', start);
        std::wstring part = text.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start);
        if (part.empty() || part.size() > 5 || part.find_first_not_of(L"0123456789") != std::wstring::npos) return -1;
        if (++parts > 4) return -1;
        if (parts == 1) major = std::stol(part);
        if (dot == std::wstring::npos) break;
        start = dot + 1;
    }
    return major >= 1 ? major : -1;
}

void CheckOutlookSection(const nlohmann::json& outlook, const std::string& path) {
    if (outlook.is_null()) return;
    ExpectObject(outlook, path);
    OnlyKeys(outlook, path, {"latencyMs", "requireSignedAddIns", "selectNamesDialog", "version"});
    BoolAt(outlook, path, "selectNamesDialog", true);
    BoolAt(outlook, path, "requireSignedAddIns", false);
    const long latency = IntegerAt(outlook, path, "latencyMs", 0);
    if (latency < 0 || latency > kMostLatencyMs)
        throw DataError(Member(path, "latencyMs"), std::to_string(latency) + " is not a latency from 0 to " +
                                                       std::to_string(kMostLatencyMs) + " milliseconds");
    const std::string version = StringAt(outlook, path, "version", Narrow(kDefaultVersion));
    if (MajorOf(Widen(version)) < 0)
        throw DataError(Member(path, "version"), "\"" + version + "\" is not a version number (as \"16.0.0.0\")");
}

void LoadOutlookSection(const nlohmann::json& scenario) {
    const nlohmann::json outlook = scenario.contains("outlook") ? scenario["outlook"] : nlohmann::json::object();
    Client& c = TheClient();
    c.offersSelectNamesDialog = outlook.value("selectNamesDialog", true);
    c.requireSignedAddIns = outlook.value("requireSignedAddIns", false);
    c.version = Widen(outlook.value("version", Narrow(kDefaultVersion)));
    c.major = MajorOf(c.version);
    SetCallLatency(outlook.value("latencyMs", 0L));
}

const bool registered = (RegisterScenarioLoader("outlook", &CheckOutlookSection, &LoadOutlookSection), true);

}  // namespace

const std::wstring& ClientVersion() { return TheClient().version; }
long ClientMajor() { return TheClient().major; }
bool IsRibbonHost() { return ClientMajor() >= kFirstRibbonMajor; }
bool OffersSelectNamesDialog() { return TheClient().offersSelectNamesDialog; }
bool ScenarioRequiresSignedAddIns() { return TheClient().requireSignedAddIns; }

bool SetClientVersion(const std::wstring& version) {
    const long major = MajorOf(version);
    if (major < 0) return false;
    TheClient().version = version;
    TheClient().major = major;
    return true;
}

}  // namespace sim::outlook
