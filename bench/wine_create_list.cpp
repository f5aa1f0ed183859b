// "Create List" over one distribution list of 8001 members, through the CDO stand-in and
// through the mail client's own address book, each against a bare loop making the same
// late-bound calls (GetIDsOfNames and Invoke, in the same order) without the member table
// and the list. The ratio is what the builder adds to the floor
// that the call pattern sets. Each round times both back to back; the median of the
// rounds' ratios is printed. Run under Wine in a prefix with the stand-ins registered.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "client_calls.h"
#include "wine_bench.h"
#include "create_list.h"
#include "dispatch.h"
#include "host_contract.h"
#include "sim_client.h"

namespace {

using orv::Variant;
constexpr int kMembers = 8001;
constexpr int kRounds = 9;
using contract::IID_CdoSession;

std::wstring BigListScenario() {
    std::wstring members, entries;
    for (int i = 0; i < kMembers; ++i) {
        std::wstring id = L"m" + std::to_wstring(i);
        members += (i ? L",\"" : L"\"") + id + L"\"";
        entries += L",{\"id\":\"" + id + L"\",\"name\":\"Member " + std::to_wstring(i) +
                   L" (Dept)\",\"type\":\"SMTP\",\"address\":\"" + id + L"@example.com\"}";
    }
    std::wstring picks;
    for (int i = 0; i < 4 * kRounds; ++i) picks += i ? L",[\"big\"]" : L"[\"big\"]";
    return L"{\"cdo\":{\"directory\":[{\"id\":\"big\",\"name\":\"Everyone\",\"type\":\"EX\",\"members\":[" + members +
           L"]}" + entries + L"],\"picks\":[" + picks + L"]}}";
}

// The list box's own cost belongs to the window; here a line is only counted.
struct CountingView : orvalis::BuilderView {
    size_t lines = 0, chars = 0;
    void AddLine(const std::wstring& line) override { ++lines, chars += line.size(); }
    void ClearList() override { lines = chars = 0; }
    void SetMousePointer(int) override {}
    void ProcessMessages() override {}
};

// What "Create List" reads of an SMTP member through CDO.
void ReadSmtpMember(IDispatch* m) {
    orv::GetString(m, L"Type");
    orv::GetString(m, L"Address");
    orv::GetString(m, L"Name");
}

// The same calls "Create List" makes, with nothing done with their results.
size_t BareCalls(IDispatch* session) {
    size_t members = 0;
    auto recips = orv::AsObject(orv::Call(session, L"AddressBook",
                                          {orv::Named(L"Title", Variant::Str(L"Select Names")),
                                           orv::Named(L"ForceResolution", Variant::Bool(true)),
                                           orv::Named(L"RecipLists", Variant::I2(1)),
                                           orv::Named(L"ToLabel", Variant::Str(L"Names"))}));
    orv::ForEach(recips.Get(), [&](const Variant& item) {
        auto rep = orv::AsObject(item);
        orv::ToLong(orv::Call(rep.Get(), L"DisplayType"));
        auto list = orv::GetObj(orv::GetObj(rep.Get(), L"AddressEntry").Get(), L"Members");
        int32_t n = orv::ToLong(orv::Call(list.Get(), L"Count"));
        for (int32_t i = 1; i <= n; ++i) {
            auto entry = orv::GetObj(rep.Get(), L"AddressEntry");
            auto m = orv::GetObj(orv::GetObj(entry.Get(), L"Members").Get(), L"Item", {Variant::I4(i)});
            ReadSmtpMember(m.Get());
            ++members;
        }
        return true;
    });
    return members;
}

// The calls "Create List" makes through the mail client's own address book, likewise bare:
// there a member is read by its properties.
size_t BareClientCalls(IDispatch* ns) { return static_cast<size_t>(bench::ForEachClientMember(ns, bench::ReadByProperties)); }

// "Create List" through one address book and its bare call pattern, timed back to back in
// each round; prints the medians and the median of the rounds' ratios. False when the list
// came out wrong.
template <class Bare>
bool Measure(const char* label, IDispatch* session, orvalis::AddressBook& book, Bare bare) {
    orvalis::ListBuilder builder;
    CountingView view;
    std::vector<double> builds, floors, ratios;
    for (int round = 0; round < kRounds; ++round) {
        simclient::ClearLog();
        orvalis::LeftOut leftOut;
        builds.push_back(bench::Micros([&] { leftOut = builder.CreateList(book, view); }));
        if (builder.table().memberCount() != kMembers || leftOut.total() != 0) {
            std::printf("%s: Create List made %d members, left out %d\n", label, builder.table().memberCount(),
                        leftOut.total());
            return false;
        }
        simclient::ClearLog();
        size_t n = 0;
        floors.push_back(bench::Micros([&] { n = bare(session); }));
        if (n != static_cast<size_t>(kMembers)) return false;
        ratios.push_back(builds.back() / floors.back());
    }
    simclient::ClearLog();
    std::printf("Create List %s, one list of %d members: median %.1f ms; the same calls alone: median %.1f ms\n", label,
                kMembers, bench::Median(builds) / 1000, bench::Median(floors) / 1000);
    std::printf("ratio Create List %s / its bare calls (median of %d rounds): %.3f\n", label, kRounds,
                bench::Median(ratios));
    return true;
}

int Run() {
    simclient::LoadScenario(BigListScenario());
    auto session = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), IID_CdoSession);
    orv::Call(session.Get(), L"Logon", {orv::Named(L"ShowDialog", Variant::Bool(false)),
                                        orv::Named(L"NewSession", Variant::Bool(false))});
    orvalis::CdoAddressBook cdo(session);
    if (!Measure("through CDO", session.Get(), cdo, BareCalls)) return 1;

    auto app = orv::CreateObject(L"Outlook.Application", IID_IDispatch);
    auto ns = orv::GetObj(orv::QueryAs<IDispatch>(app.Get(), IID_IDispatch).Get(), L"GetNamespace", {L"MAPI"});
    orvalis::ClientAddressBook client(ns);
    if (!Measure("through the client's address book", ns.Get(), client, BareClientCalls)) return 1;
    return 0;
}

}  // namespace

int main() { return bench::InApartment(Run); }
