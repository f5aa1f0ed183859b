// The add-in's start-up as the mail client times it: from its 2013 version on the client
// disables an add-in whose start-up takes longer than about a second. The registered add-in
// is created by its ProgID, then OnConnection (start-up mode) and OnStartupComplete are called
// through the vtable, as the client calls them, against the client stand-in of a version with
// a ribbon (16) and, for comparison, of one with command bars (11), where the start-up also
// loads the hidden window, logs on to CDO and puts up the start-up help. The first round is
// the library's first load in the process; the median is over the rounds after it.
// Run under Wine in a prefix with the stand-ins and the add-in registered.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "host_contract.h"
#include "wine_bench.h"
#include "dispatch.h"
#include "help_viewer.h"
#include "host_extensibility.h"
#include "sim_client.h"

namespace {

constexpr int kRounds = 21;
constexpr double kClientBudgetMs = 1000;
constexpr double kOursMs = 50;

struct Timing {
    double createMs = 0, connectMs = 0;  // the object made; OnConnection + OnStartupComplete
};

Timing OneStartup(IDispatch* app) {
    Timing t;
    Microsoft::WRL::ComPtr<sim::IDTExtensibility2> addin;
    t.createMs = bench::Micros([&] {
        CLSID clsid;
        orv::ThrowIfFailed(CLSIDFromProgID(contract::kProgId, &clsid), L"CLSIDFromProgID");
        orv::ThrowIfFailed(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, sim::IID_IDTExtensibility2,
                                            reinterpret_cast<void**>(addin.GetAddressOf())),
                           L"CoCreateInstance");
    }) / 1000;
    orv::SafeArray custom = orv::SafeArray::Variants(0);
    SAFEARRAY* raw = custom.get();
    t.connectMs = bench::Micros([&] {
        orv::ThrowIfFailed(addin->OnConnection(app, sim::ext_cm_Startup, nullptr, &raw), L"OnConnection");
        orv::ThrowIfFailed(addin->OnStartupComplete(&raw), L"OnStartupComplete");
    }) / 1000;
    // The client's shutdown, untimed: the window and the session go again.
    addin->OnBeginShutdown(&raw);
    addin->OnDisconnection(sim::ext_dm_HostShutdown, &raw);
    return t;
}

void Measure(const char* label, const wchar_t* version) {
    simclient::LoadScenario(L"{\"outlook\":{\"version\":\"" + std::wstring(version) + L"\"},\"host\":{}}");
    auto app = orv::QueryAs<IDispatch>(orv::CreateObject(L"Outlook.Application").Get(), IID_IDispatch);
    std::vector<double> creates, connects;
    Timing first;
    for (int round = 0; round < kRounds; ++round) {
        Timing t = OneStartup(app.Get());
        simclient::ClearLog();
        if (round == 0) {
            first = t;
            continue;
        }
        creates.push_back(t.createMs);
        connects.push_back(t.connectMs);
    }
    const double median = bench::Median(connects);
    std::printf("start-up, %s: OnConnection + OnStartupComplete %.3f ms at the library's first load (its creation "
                "%.3f ms), median %.3f ms (creation %.3f ms) over %d more rounds; the client's budget %.0f ms, ours %.0f ms\n",
                label, first.connectMs, first.createMs, median, bench::Median(creates), kRounds - 1, kClientBudgetMs, kOursMs);
    std::printf("ratio start-up %s / the client's budget: first %.6f, median %.6f\n", label,
                (first.createMs + first.connectMs) / kClientBudgetMs, (bench::Median(creates) + median) / kClientBudgetMs);
}

int Run() {
    desktop::WinHelpCatcher help;  // the command bars' start-up pop-up goes here, not to a viewer
    Measure("ribbon path (client 16.0)", L"16.0.0.4266");
    Measure("command-bar path (client 11.0, hidden window and CDO logon)", L"11.0.0.8312");
    return 0;
}

}  // namespace

int main() { return bench::InApartment(Run); }
