// "Create List" through the mail client's own address book, on the lists it is there for: an
// Exchange list of 8001 people and a contact group of 2000 SMTP addresses, with every call to
// the address book's objects answering at once (0 ms) and taking 1 ms, as a round trip to the
// server does online. Against it, on the same stand-in, the call patterns replayed bare (the
// same late-bound calls, nothing done with their answers): the member-by-member pattern of
// the add-in before (seven calls for an Exchange member, four for an SMTP one) and the
// three-call read (Item, PropertyAccessor, GetProperties). Calls per member are the
// stand-in's own counts. Each round times the sides back to back; the medians of the rounds'
// times and ratios are printed. Run under Wine in a prefix with the stand-ins registered.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "create_list.h"
#include "dispatch.h"
#include "sim_client.h"
#include "wine_bench.h"

namespace {

using orv::ComPtr;
using orv::Variant;

struct List {
    const char* label;
    int members;
    bool exchange;  // Exchange users in an Exchange list; else SMTP entries in a contact group
};
const List kLists[] = {{"an Exchange list", 8001, true}, {"a contact group of SMTP entries", 2000, false}};

struct Latency {
    int ms;
    int rounds;  // a round at 1 ms takes over a minute; its times vary little
};
const Latency kLatencies[] = {{0, 9}, {1, 3}};
constexpr int kSidesPerRound = 3;

std::wstring ListScenario(const List& list, int latencyMs, int picks) {
    std::wstring members, entries;
    for (int i = 0; i < list.members; ++i) {
        const std::wstring n = std::to_wstring(i), id = L"m" + n;
        members += (i ? L",\"" : L"\"") + id + L"\"";
        if (list.exchange)
            entries += L",{\"id\":\"" + id + L"\",\"name\":\"Surname" + n + L", Given" + n +
                       L"\",\"type\":\"EX\",\"address\":\"/o=Example/ou=Site/cn=Recipients/cn=" + id +
                       L"\",\"fields\":[[\"PR_SMTP_ADDRESS\",\"" + id + L"@example.com\"],[\"PR_GIVEN_NAME\",\"Given" + n +
                       L"\"],[\"PR_SURNAME\",\"Surname" + n + L"\"]]}";
        else
            entries += L",{\"id\":\"" + id + L"\",\"name\":\"Member " + n + L" (Dept)\",\"type\":\"SMTP\",\"address\":\"" + id +
                       L"@example.com\"}";
    }
    const std::wstring listEntry = list.exchange
        ? L"{\"id\":\"all\",\"name\":\"Everyone\",\"type\":\"EX\",\"fields\":[[\"PR_SMTP_ADDRESS\",\"all@example.com\"]],\"members\":["
        : L"{\"id\":\"all\",\"name\":\"My group\",\"type\":\"MAPIPDL\",\"displayType\":5,\"members\":[";
    std::wstring pickList;
    for (int i = 0; i < picks; ++i) pickList += i ? L",[\"all\"]" : L"[\"all\"]";
    return L"{\"outlook\":{\"version\":\"16.0.0.0\",\"latencyMs\":" + std::to_wstring(latencyMs) + L"},\"cdo\":{\"directory\":[" +
           listEntry + members + L"]}" + entries + L"],\"picks\":[" + pickList + L"]}}";
}

// The list box's own cost belongs to the window; here a line is only counted.
struct CountingView : orvalis::BuilderView {
    size_t lines = 0;
    void AddLine(const std::wstring&) override { ++lines; }
    void ClearList() override { lines = 0; }
    void SetMousePointer(int) override {}
    void ProcessMessages() override {}
};

// The dialog and the picked list as "Create List" reaches them; each member fetched by its
// index goes to read. The number of members read.
int ForEachMember(IDispatch* ns, const std::function<void(IDispatch*)>& read) {
    auto dialog = orv::GetObj(ns, L"GetSelectNamesDialog");
    orv::Put(dialog.Get(), L"Caption", Variant::Str(L"Select Names"));
    orv::Put(dialog.Get(), L"ToLabel", Variant::Str(L"Names"));
    orv::Put(dialog.Get(), L"NumberOfRecipientSelectors", Variant::I4(1));
    orv::Put(dialog.Get(), L"AllowMultipleSelection", Variant::Bool(true));
    orv::Put(dialog.Get(), L"ForceResolution", Variant::Bool(true));
    orv::Call(dialog.Get(), L"Display");
    int read_ = 0;
    orv::ForEach(orv::GetObj(dialog.Get(), L"Recipients").Get(), [&](const Variant& item) {
        auto entry = orv::GetObj(orv::AsObject(item).Get(), L"AddressEntry");
        ComPtr<IDispatch> members;
        if (orv::ToLong(orv::Call(entry.Get(), L"AddressEntryUserType")) == 1)
            members = orv::GetObj(orv::GetObj(entry.Get(), L"GetExchangeDistributionList").Get(), L"GetExchangeDistributionListMembers");
        else
            members = orv::GetObj(entry.Get(), L"Members");
        const int32_t n = orv::ToLong(orv::Call(members.Get(), L"Count"));
        for (int32_t i = 1; i <= n; ++i, ++read_) read(orv::GetObj(members.Get(), L"Item", {Variant::I4(i)}).Get());
        return true;
    });
    return read_;
}

// Member by member, as the add-in read every member before.
int MemberByMember(IDispatch* ns) {
    return ForEachMember(ns, [](IDispatch* m) {
        if (orv::GetString(m, L"Type") == L"SMTP") {
            orv::GetString(m, L"Address");
            orv::GetString(m, L"Name");
            return;
        }
        auto user = orv::GetObj(m, L"GetExchangeUser");
        for (const wchar_t* p : {L"PrimarySmtpAddress", L"FirstName", L"LastName", L"Name"}) orv::GetString(user.Get(), p);
    });
}

// The three calls a member takes now, with the same six schema names.
orv::Args SchemaNames() {
    orv::SafeArray names = orv::SafeArray::Variants(6);
    const wchar_t* tags[] = {L"3002001F", L"3003001F", L"3001001F", L"3A06001F", L"3A11001F", L"39FE001F"};
    for (LONG i = 0; i < 6; ++i) {
        Variant name = Variant::Str(std::wstring(L"http://schemas.microsoft.com/mapi/proptag/0x") + tags[i]);
        SafeArrayPutElement(names.get(), &i, const_cast<VARIANT*>(&name.get()));
    }
    return {Variant::Array(std::move(names))};
}

int ThreeCalls(IDispatch* ns) {
    static const orv::Args* names = new orv::Args(SchemaNames());
    return ForEachMember(ns, [](IDispatch* m) {
        orv::Call(orv::GetObj(m, L"PropertyAccessor").Get(), L"GetProperties", *names);
    });
}

// The calls to the address book's objects since the log was cleared: each is a round trip.
long RoundTrips() {
    return simclient::CallCount(L"AddressEntries", L"Item") + simclient::CallCount(L"AddressEntry") +
           simclient::CallCount(L"ExchangeUser") + simclient::CallCount(L"ExchangeDistributionList") +
           simclient::CallCount(L"PropertyAccessor");
}

struct Side {
    const char* label;
    std::vector<double> micros;
    double callsPerMember = 0;
    long roundTrips = 0;
};

// One timed run of a side: its time, and its round trips per member read.
template <class Run>
bool Time(Side& side, int members, Run run) {
    simclient::ClearLog();
    int read = 0;
    side.micros.push_back(bench::Micros([&] { read = run(); }));
    side.roundTrips = RoundTrips();
    side.callsPerMember = static_cast<double>(side.roundTrips) / members;
    simclient::ClearLog();
    if (read == members) return true;
    std::printf("%s: %d members read, not %d\n", side.label, read, members);
    return false;
}

struct Figures {
    double memberByMember0 = 0, memberByMember1 = 0;  // ms at 0 and 1 ms per call
    long roundTrips1 = 0;
};

bool Measure(const List& list, const Latency& latency, IDispatch* ns, Figures& figures) {
    simclient::LoadScenario(ListScenario(list, latency.ms, latency.rounds * kSidesPerRound));
    orvalis::ClientAddressBook book(ns);
    orvalis::ListBuilder builder;
    CountingView view;
    Side create{"Create List"}, before{"member by member"}, three{"three calls"};
    std::vector<double> againstBefore, againstThree;
    for (int round = 0; round < latency.rounds; ++round) {
        orvalis::LeftOut leftOut;
        if (!Time(create, list.members, [&] {
                leftOut = builder.CreateList(book, view);
                return static_cast<int>(builder.table().memberCount());
            }))
            return false;
        if (leftOut.total() != 0) {
            std::printf("Create List left out %d\n", leftOut.total());
            return false;
        }
        if (!Time(before, list.members, [&] { return MemberByMember(ns); })) return false;
        if (!Time(three, list.members, [&] { return ThreeCalls(ns); })) return false;
        againstBefore.push_back(create.micros.back() / before.micros.back());
        againstThree.push_back(create.micros.back() / three.micros.back());
    }
    std::printf("%s of %d members, %d ms per call (median of %d rounds):\n", list.label, list.members, latency.ms,
                latency.rounds);
    for (const Side* s : {&create, &before, &three})
        std::printf("  %-17s %9.1f ms, %.3f calls per member\n", s->label, bench::Median(s->micros) / 1000, s->callsPerMember);
    std::printf("  ratio Create List / member by member: %.3f%s\n", bench::Median(againstBefore),
                latency.ms == 1 ? " (goal: at most 0.45)" : "");
    std::printf("  ratio Create List / three calls:      %.3f%s\n", bench::Median(againstThree),
                latency.ms == 0 ? " (goal: at most 1.05)" : "");
    if (latency.ms == 0) figures.memberByMember0 = bench::Median(before.micros) / 1000;
    else figures.memberByMember1 = bench::Median(before.micros) / 1000, figures.roundTrips1 = before.roundTrips;
    return true;
}

int Run() {
    auto app = orv::CreateObject(L"Outlook.Application", IID_IDispatch);
    auto ns = orv::GetObj(orv::QueryAs<IDispatch>(app.Get(), IID_IDispatch).Get(), L"GetNamespace", {L"MAPI"});
    for (const List& list : kLists) {
        Figures figures;
        for (const Latency& latency : kLatencies)
            if (!Measure(list, latency, ns.Get(), figures)) return 1;
        // What a call of 1 ms really costs here: Wine's sleeps wake on its server's timers.
        std::printf("  one 1 ms call costs %.3f ms here (member by member, 1 ms against 0 ms, over %ld calls)\n",
                    (figures.memberByMember1 - figures.memberByMember0) / static_cast<double>(figures.roundTrips1),
                    figures.roundTrips1);
    }
    simclient::LoadScenario(L"{}");
    return 0;
}

}  // namespace

int main() { return bench::InApartment(Run); }
