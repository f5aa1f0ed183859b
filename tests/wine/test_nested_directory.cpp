// Lists inside lists in both address books (CDO's and the mail client's own, one directory):
// cycles, a list shared by two lists, a list that holds itself, a list whose members the user
// may not read, the entry ids that tell a list reached twice, a chain of 10,000 lists each
// inside the next, and the sample directory with nesting.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "clipboard_files.h"
#include "dispatch.h"
#include "host_contract.h"
#include "nested_directory.h"
#include "sim_client.h"
#include "wine_test.h"

namespace {

using orv::Call;
using orv::Variant;
using Ptr = orv::ComPtr<IDispatch>;

constexpr HRESULT kNoAccess = static_cast<HRESULT>(0x80070005);
const wchar_t kEntryIdTag[] = L"http://schemas.microsoft.com/mapi/proptag/0x0FFF0102";
const wchar_t kDisplayTypeTag[] = L"http://schemas.microsoft.com/mapi/proptag/0x39000003";

// A and B hold each other, S stands in A and in C, D's members may not be read, E holds itself.
const wchar_t kNested[] = LR"J({"cdo":{"directory":[
 {"id":"A","name":"List A","type":"EX","members":["B","p1","S"]},
 {"id":"B","name":"List B","type":"EX","members":["A","p2"]},
 {"id":"C","name":"List C","type":"EX","members":["S","p3"]},
 {"id":"S","name":"Shared","type":"EX","members":["p4"]},
 {"id":"D","name":"Denied","type":"EX","members":["p5"],"membersDenied":true},
 {"id":"E","name":"Itself","type":"MAPIPDL","displayType":5,"members":["E","p6"]},
 {"id":"p1","name":"One","address":"one@example.com"},{"id":"p2","name":"Two","address":"two@example.com"},
 {"id":"p3","name":"Three","address":"three@example.com"},{"id":"p4","name":"Four","address":"four@example.com"},
 {"id":"p5","name":"Five","address":"five@example.com"},{"id":"p6","name":"Six","address":"six@example.com"}],
 "picks":[["A","C","D","E"]]}%FAULTS%})J";

std::wstring WithFaults(const std::wstring& scenario, const std::wstring& faults) {
    std::wstring s = scenario;
    const std::wstring mark = L"%FAULTS%";
    const size_t at = s.find(mark);
    return s.replace(at, mark.size(), faults.empty() ? L"" : L",\"faults\":" + faults);
}

// How a client reads one address book: the picked entries, and of an entry its name, entry id,
// whether it is a list, and a list's members (which may fail).
struct Book {
    const char* name;
    std::function<std::vector<Ptr>()> picked;
    std::function<std::wstring(const Ptr&)> id;
    std::function<bool(const Ptr&)> isList;
    std::function<Ptr(const Ptr&)> members;
};

// The address entries behind a dialog's recipients, in their order.
std::vector<Ptr> EntriesOf(const Ptr& recipients) {
    std::vector<Ptr> out;
    orv::ForEach(recipients.Get(), [&](const Variant& r) {
        out.push_back(orv::GetObj(orv::AsObject(r).Get(), L"AddressEntry"));
        return true;
    });
    return out;
}

Book Cdo(Ptr& session) {
    return Book{
        "CDO",
        [&session] {
            session = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), contract::IID_CdoSession);
            Call(session.Get(), L"Logon");
            return EntriesOf(orv::GetObj(session.Get(), L"AddressBook"));
        },
        [](const Ptr& e) { return orv::GetString(e.Get(), L"ID"); },
        [](const Ptr& e) { return orv::ToLong(Call(e.Get(), L"DisplayType")) % 4 == 1; },  // 1 or 5
        [](const Ptr& e) { return orv::GetObj(e.Get(), L"Members"); },
    };
}

Book Client() {
    return Book{
        "the client's",
        [] {
            Ptr app = orv::QueryAs<IDispatch>(orv::CreateObject(L"Outlook.Application").Get(), IID_IDispatch);
            Ptr dialog = orv::GetObj(orv::GetObj(app.Get(), L"GetNamespace", {L"MAPI"}).Get(), L"GetSelectNamesDialog");
            Call(dialog.Get(), L"Display");
            return EntriesOf(orv::GetObj(dialog.Get(), L"Recipients"));
        },
        [](const Ptr& e) { return orv::GetString(e.Get(), L"ID"); },
        [](const Ptr& e) {
            Ptr accessor = orv::GetObj(e.Get(), L"PropertyAccessor");
            return orv::ToLong(Call(accessor.Get(), L"GetProperty", {kDisplayTypeTag})) % 4 == 1;
        },
        [](const Ptr& e) {
            // An Exchange list's members through the list, a contact group's through its entry.
            if (orv::ToLong(Call(e.Get(), L"AddressEntryUserType")) == 1)
                return orv::GetObj(orv::GetObj(e.Get(), L"GetExchangeDistributionList").Get(), L"GetExchangeDistributionListMembers");
            return orv::GetObj(e.Get(), L"Members");
        },
    };
}

struct Expansion {
    std::vector<std::wstring> lines;  // "list: List A", "again: List A", "unreadable: Denied 0x80070005", "One"
    size_t deepest = 0;               // lists open at once, at most
};

// Every entry the picks reach, depth first and in order, each list opened once (known by its
// entry id). The walk keeps its own stack, so a chain of any depth costs no call depth; a list
// is let go of once its last member is taken.
Expansion Expand(const Book& book) {
    struct Frame {
        Ptr members;
        long count, next;
    };
    Expansion out;
    std::set<std::wstring> opened;
    std::vector<Frame> stack;
    auto visit = [&](const Ptr& e) {
        const std::wstring name = orv::GetString(e.Get(), L"Name");
        if (!book.isList(e)) return out.lines.push_back(name);
        if (!opened.insert(book.id(e)).second) return out.lines.push_back(L"again: " + name);
        Ptr members;
        try {
            members = book.members(e);
        } catch (const orv::Error& err) {
            wchar_t code[16];
            swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(err.hr()));
            return out.lines.push_back(L"unreadable: " + name + L" " + code);
        }
        out.lines.push_back(L"list: " + name);
        const long count = orv::ToLong(Call(members.Get(), L"Count"));
        if (count > 0) stack.push_back(Frame{members, count, 1});
        out.deepest = std::max(out.deepest, stack.size());
    };
    for (const Ptr& picked : book.picked()) {
        visit(picked);
        while (!stack.empty()) {
            Frame& top = stack.back();
            Ptr member = orv::GetObj(top.members.Get(), L"Item", {Variant::I4(top.next++)});
            if (top.next > top.count) stack.pop_back();
            visit(member);
        }
    }
    return out;
}

class NestedDirectory : public ::testing::Test {
protected:
    void TearDown() override {
        session_.Reset();
        simclient::LoadScenario(L"{}");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
    // Both books, each starting from the scenario's first pick.
    template <class F>
    void ForBothBooks(const std::wstring& scenario, F f) {
        for (int k = 0; k < 2; ++k) {
            simclient::LoadScenario(scenario);
            Book book = k == 0 ? Cdo(session_) : Client();
            SCOPED_TRACE(book.name);
            f(book);
            if (session_) Call(session_.Get(), L"Logoff");
            session_.Reset();
        }
    }
    Ptr session_;
};

TEST_F(NestedDirectory, ListsHoldListsWithCyclesSharedListsAndAListOfUnreadableMembersInBothBooks) {
    ForBothBooks(WithFaults(kNested, L""), [](const Book& book) {
        EXPECT_EQ((std::vector<std::wstring>{L"list: List A", L"list: List B", L"again: List A", L"Two", L"One", L"list: Shared",
                                             L"Four", L"list: List C", L"again: Shared", L"Three",
                                             L"unreadable: Denied 0x80070005", L"list: Itself", L"again: Itself", L"Six"}),
                  Expand(book).lines);
    });
}

// A fault rule on an inner list's members makes it unreadable as the scenario key does.
TEST_F(NestedDirectory, AFaultRuleOnAnInnerListsMembersMakesItUnreadable) {
    struct Row {
        const char* label;
        const wchar_t* faults;
        bool cdo;  // the book the rule is for
    } rows[] = {
        {"CDO's Members", LR"([{"object":"AddressEntry","id":"S","member":"Members","hresult":"0x8004010F"}])", true},
        {"the client's list members",
         LR"([{"object":"ExchangeDistributionList","id":"S","member":"GetExchangeDistributionListMembers","hresult":"0x8004010F"}])",
         false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        simclient::LoadScenario(WithFaults(kNested, r.faults));
        Book book = r.cdo ? Cdo(session_) : Client();
        const auto lines = Expand(book).lines;
        ASSERT_EQ(13u, lines.size());
        EXPECT_EQ(L"unreadable: Shared 0x8004010F", lines[5]);
        EXPECT_EQ(L"again: Shared", lines[7]) << "the members of the other lists are read as ever";
        if (session_) Call(session_.Get(), L"Logoff");
        session_.Reset();
    }
}

TEST_F(NestedDirectory, AListWhoseMembersAreDeniedFailsAsEachBookReportsIt) {
    simclient::LoadScenario(WithFaults(kNested, L""));
    Ptr denied = Cdo(session_).picked()[2];
    EXPECT_EQ(L"Denied 1", orv::GetString(denied.Get(), L"Name") + L" " + orv::GetString(denied.Get(), L"DisplayType"));
    EXPECT_EQ(kNoAccess, orvtest::FailureOf([&] { orv::GetObj(denied.Get(), L"Members"); }));
    try {
        orv::GetObj(denied.Get(), L"Members");
    } catch (const orv::Error& e) {
        EXPECT_EQ(L"[Collaboration Data Objects - [MAPI_E_NO_ACCESS(80070005)]]", e.description());
    }
    Call(session_.Get(), L"Logoff");
    session_.Reset();

    simclient::LoadScenario(WithFaults(kNested, L""));
    Ptr entry = Client().picked()[2];
    Ptr list = orv::GetObj(entry.Get(), L"GetExchangeDistributionList");
    for (const auto& [object, member] : std::vector<std::pair<Ptr, const wchar_t*>>{{entry, L"Members"}, {list, L"GetExchangeDistributionListMembers"}}) {
        try {
            orv::GetObj(object.Get(), member);
            ADD_FAILURE() << "read the members through " << ::testing::PrintToString(std::wstring(member));
        } catch (const orv::Error& e) {
            EXPECT_EQ(kNoAccess, e.hr());
            EXPECT_EQ(L"You don't have appropriate permission to perform this operation.", e.description());
        }
    }
    EXPECT_EQ(L"Denied", orv::GetString(list.Get(), L"Name")) << "the list itself still answers";

    struct Row {
        const wchar_t* scenario;
        const wchar_t* problem;
    } rows[] = {
        {LR"({"cdo":{"directory":[{"id":"p","membersDenied":true}]}})",
         LR"(cdo.directory[0].membersDenied: only a list (an entry with "members") has members to deny)"},
        {LR"({"cdo":{"directory":[{"id":"l","members":[],"membersDenied":"yes"}]}})",
         L"cdo.directory[0].membersDenied: expected true or false, not a string"},
    };
    for (const Row& r : rows) {
        std::wstring problem;
        try {
            simclient::LoadScenario(r.scenario);
        } catch (const orv::Error& e) {
            problem = e.description();
        }
        EXPECT_EQ(r.problem, problem);
    }
}

// Both books give an entry one id, whichever path reaches it: the client's ID is the hex text of
// its PR_ENTRYID, which CDO's ID gives too.
TEST_F(NestedDirectory, EntryIdsAreTheSameThroughEveryPathAndInBothBooks) {
    std::map<std::wstring, std::set<std::wstring>> idsByName[2];
    int k = 0;
    ForBothBooks(WithFaults(kNested, L""), [&](const Book& base) {
        Book book = base;
        book.id = [&, inner = base.id](const Ptr& e) {
            const std::wstring id = inner(e);
            idsByName[k][orv::GetString(e.Get(), L"Name")].insert(id);
            return id;
        };
        Expand(book);
        ++k;
    });
    ASSERT_EQ(idsByName[0], idsByName[1]);
    EXPECT_EQ((std::set<std::wstring>{L"0000000053"}), idsByName[0][L"Shared"]) << "one id through A and through C";
    EXPECT_EQ((std::set<std::wstring>{L"0000000041"}), idsByName[0][L"List A"]);
    EXPECT_EQ(6u, idsByName[0].size()) << "the six lists, each under one id";

    // PR_ENTRYID: the same bytes, as the client's property accessor gives a binary property.
    simclient::LoadScenario(WithFaults(kNested, L""));
    Ptr shared = orv::GetObj(orv::GetObj(Client().picked()[1].Get(), L"Members").Get(), L"Item", {Variant::I4(1)});
    Variant bytes = Call(orv::GetObj(shared.Get(), L"PropertyAccessor").Get(), L"GetProperty", {kEntryIdTag});
    ASSERT_EQ(VT_ARRAY | VT_UI1, bytes.vt());
    SAFEARRAY* array = bytes.get().parray;
    std::wstring hex;
    for (LONG i = 0; i < static_cast<LONG>(array->rgsabound[0].cElements); ++i) {
        unsigned char b = 0;
        SafeArrayGetElement(array, &i, &b);
        wchar_t two[3];
        swprintf(two, 3, L"%02X", b);
        hex += two;
    }
    EXPECT_EQ(L"0000000053", hex);
    EXPECT_EQ(hex, orv::GetString(shared.Get(), L"ID"));
}

// Ten thousand lists, each inside the next: both books answer every level, and the walk holds
// only the lists it is in.
TEST_F(NestedDirectory, AChainOfTenThousandListsIsAnsweredToTheBottomByBothBooks) {
    constexpr size_t kDepth = 10000;
    ForBothBooks(orvtest::ChainScenario(kDepth), [&](const Book& book) {
        const Expansion e = Expand(book);
        ASSERT_EQ(kDepth + 1, e.lines.size());
        EXPECT_EQ(L"list: Chain 1", e.lines.front());
        EXPECT_EQ(L"list: Chain 10000", e.lines[kDepth - 1]);
        EXPECT_EQ(L"Bottom", e.lines.back());
        EXPECT_EQ(1u, e.deepest) << "each list let go of once its one member is taken";
        simclient::ClearLog();
    });
}

// The sample the demo runs with nesting: what samples/README.md says it shows.
TEST_F(NestedDirectory, TheSampleWithNestingShowsWhatItsReadmeSays) {
    const std::string bytes = orvtest::FileBytes(orvtest::SourcePath(L"samples\\scenario-nested.json"));
    ASSERT_FALSE(bytes.empty());
    std::wstring scenario(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0), L'\0');
    ASSERT_FALSE(scenario.empty()) << "the sample is UTF-8";
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), scenario.data(), static_cast<int>(scenario.size()));
    std::vector<std::wstring> expansions;
    ForBothBooks(scenario, [&](const Book& book) {
        std::wstring text;
        for (const auto& line : Expand(book).lines) text += line + L"\n";
        expansions.push_back(text);
    });
    ASSERT_EQ(2u, expansions.size());
    EXPECT_EQ(expansions[0], expansions[1]) << "both books reach the same entries";
    EXPECT_EQ(L"list: All Staff\n"
              L"list: Sales Department\nNair, Priya\nAnn Lee (Sales)\nlist: Team Leads\nOmar \"Oz\" Haddad\nHelp Desk <Support>\n"
              L"Front desk\nZo\u00EB \u00C5ngstr\u00F6m\n"
              L"list: Engineering\nBerg, Jonas\nagain: Team Leads\nlist: Platform Team\n\U00020BB7\u7530 \u3055\u304F\u3089\n"
              L"again: Engineering\nChen, Mei\n"
              L"Ann Lee (Sales)\nunreadable: Board 0x80070005\n"
              L"list: Book club\n=SUM(1+1) Reports\nOmar \"Oz\" Haddad\nACME\\Backup Operator\n"
              L"Zo\u00EB \u00C5ngstr\u00F6m\n",
              expansions[0]);
}

}  // namespace
