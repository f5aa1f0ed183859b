// The mail client's own address book as any client sees it: the Select Names dialog, what it
// returns, each kind of entry, properties by schema name, failures, the client without the
// dialog, and the prefix without CDO.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "dispatch.h"
#include "host_contract.h"
#include "clipboard_files.h"
#include "sim_client.h"
#include "wine_test.h"
#include "without_cdo.h"

namespace {

using orv::Call;
using orv::Variant;
using Ptr = orv::ComPtr<IDispatch>;

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x8004010F);
using contract::IID_CdoSession;
const CLSID kCdoSession = {0x3FA7DEA3, 0x6438, 0x101B, {0xAC, 0xC1, 0x00, 0xAA, 0x00, 0x42, 0x33, 0x26}};

// One directory for both address books: a person, a list, an SMTP address, a contact, a
// contact group, a fax number, a remote user, and people whose SMTP address is only a
// property or missing altogether.
const wchar_t kDirectory[] = LR"J([
 {"id":"ann","name":"Ann Lee","type":"SMTP","address":"ann@example.com"},
 {"id":"bob","name":"Lee, Bob","type":"EX","address":"/o=Ex/cn=bob",
  "fields":[["PR_SMTP_ADDRESS","bob@example.com"],["PR_GIVEN_NAME","Bob"],["PR_SURNAME","Lee"],["0x3A08001E","555"]]},
 {"id":"sales","name":"Sales","type":"EX","address":"/o=Ex/cn=sales","fields":{"PR_SMTP_ADDRESS":"sales@example.com"},
  "members":["ann","bob","fax","sales"]},
 {"id":"cy","name":"Cy","type":"SMTP","address":"cy@example.com","userType":10},
 {"id":"mine","name":"My friends","type":"MAPIPDL","displayType":5,"members":["cy","ann"]},
 {"id":"fax","name":"Front desk","type":"FAX","address":"+1 555 0100"},
 {"id":"far","name":"Far Away","type":"EX","displayType":6,"fields":{"PR_SMTP_ADDRESS":"far@example.com"}},
 {"id":"dee","name":"Dee","type":"EX","primarySmtpAddress":"","fields":{"0x39FE001F":"dee@example.com"}},
 {"id":"eve","name":"Eve","type":"EX","address":"/o=Ex/cn=eve"}])J";

// The directory with those answers of the dialog, and more top-level members (",\"faults\":...").
std::wstring Scenario(const std::wstring& picks = LR"(["sales","ann","bob"],"cancel",["mine"],[])", const std::wstring& more = L"") {
    return L"{\"cdo\":{\"directory\":" + std::wstring(kDirectory) + L",\"picks\":[" + picks + L"]}" + more + L"}";
}

using orvtest::FailureOf;

std::wstring DescriptionOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const orv::Error& e) {
        return e.description();
    }
    return L"<no failure>";
}

// A property's value as text; a Boolean as "True" or "False".
std::wstring Text(IDispatch* object, const wchar_t* member) {
    Variant v = Call(object, member);
    if (v.vt() == VT_BOOL) return orv::ToBool(v) ? L"True" : L"False";
    return orv::ToString(v);
}

Ptr Item(const Ptr& p, const orv::Arg& index) { return orv::GetObj(p.Get(), L"Item", {index}); }

bool IsNothing(const Variant& v) { return v.vt() == VT_DISPATCH && v.get().pdispVal == nullptr; }

class OutlookAddressBook : public ::testing::Test {
protected:
    void SetUp() override { simclient::LoadScenario(Scenario()); }
    void TearDown() override {
        simclient::LoadScenario(L"{}");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
    static Ptr NameSpace() {
        Ptr app = orv::QueryAs<IDispatch>(orv::CreateObject(L"Outlook.Application").Get(), IID_IDispatch);
        return orv::GetObj(app.Get(), L"GetNamespace", {L"MAPI"});
    }
    static Ptr Dialog() { return orv::GetObj(NameSpace().Get(), L"GetSelectNamesDialog"); }
    static long Count(const Ptr& p) { return orv::ToLong(Call(p.Get(), L"Count")); }
    // The address entry of the first recipient of a dialog answering with the scenario's pick.
    static Ptr Entry(const std::wstring& id) {
        simclient::LoadScenario(Scenario(L"[\"" + id + L"\"]"));
        Ptr d = Dialog();
        Call(d.Get(), L"Display");
        return orv::GetObj(Item(orv::GetObj(d.Get(), L"Recipients"), Variant::I4(1)).Get(), L"AddressEntry");
    }
    static std::wstring Names(const Ptr& collection) {
        std::wstring names;
        orv::ForEach(collection.Get(), [&](const Variant& v) {
            names += orv::GetString(orv::AsObject(v).Get(), L"Name") + L";";
            return true;
        });
        return names;
    }
};

TEST_F(OutlookAddressBook, DialogPropertiesArePutAndReadBackAndLoggedWithTheirTypes) {
    Ptr d = Dialog();
    EXPECT_EQ(L"Select Names|To|3|True|False", Text(d.Get(), L"Caption") + L"|" + Text(d.Get(), L"ToLabel") + L"|" +
                                                   Text(d.Get(), L"NumberOfRecipientSelectors") + L"|" +
                                                   Text(d.Get(), L"AllowMultipleSelection") + L"|" +
                                                   Text(d.Get(), L"ForceResolution"));
    simclient::ClearLog();
    orv::Put(d.Get(), L"Caption", Variant::Str(L"Select Names"));
    orv::Put(d.Get(), L"ToLabel", Variant::Str(L"Names"));
    orv::Put(d.Get(), L"NumberOfRecipientSelectors", Variant::I4(1));
    orv::Put(d.Get(), L"AllowMultipleSelection", Variant::Bool(true));
    orv::Put(d.Get(), L"ForceResolution", Variant::Bool(true));
    EXPECT_EQ(static_cast<HRESULT>(E_INVALIDARG), FailureOf([&] { orv::Put(d.Get(), L"NumberOfRecipientSelectors", Variant::I2(4)); }));
    EXPECT_EQ(L"SelectNamesDialog.Caption() = BSTR \"Select Names\"\n"
              L"SelectNamesDialog.ToLabel() = BSTR \"Names\"\n"
              L"SelectNamesDialog.NumberOfRecipientSelectors() = I4 1\n"
              L"SelectNamesDialog.AllowMultipleSelection() = BOOL True\n"
              L"SelectNamesDialog.ForceResolution() = BOOL True\n"
              L"SelectNamesDialog.NumberOfRecipientSelectors() = I2 4\n", simclient::Log());
    EXPECT_EQ(L"Names 1 True", Text(d.Get(), L"ToLabel") + L" " + Text(d.Get(), L"NumberOfRecipientSelectors") +
                                   L" " + Text(d.Get(), L"ForceResolution"));
}

TEST_F(OutlookAddressBook, DisplayAnswersWithThePicksAndACancelKeepsTheRecipients) {
    Ptr d = Dialog();
    EXPECT_EQ(0, Count(orv::GetObj(d.Get(), L"Recipients")));  // before the dialog: none
    Variant shown = Call(d.Get(), L"Display");
    ASSERT_EQ(VT_BOOL, shown.vt());
    EXPECT_TRUE(orv::ToBool(shown));
    EXPECT_EQ(L"Sales;Ann Lee;Lee, Bob;", Names(orv::GetObj(d.Get(), L"Recipients")));
    EXPECT_FALSE(orv::ToBool(Call(d.Get(), L"Display")));  // cancel
    EXPECT_EQ(L"Sales;Ann Lee;Lee, Bob;", Names(orv::GetObj(d.Get(), L"Recipients")));
    // The picks run on across dialogs, and a single selection keeps only the first.
    Ptr single = Dialog();
    orv::Put(single.Get(), L"AllowMultipleSelection", Variant::Bool(false));
    EXPECT_TRUE(orv::ToBool(Call(single.Get(), L"Display")));
    EXPECT_EQ(L"My friends;", Names(orv::GetObj(single.Get(), L"Recipients")));
    EXPECT_TRUE(orv::ToBool(Call(d.Get(), L"Display")));  // an empty selection
    EXPECT_EQ(0, Count(orv::GetObj(d.Get(), L"Recipients")));
    EXPECT_FALSE(orv::ToBool(Call(d.Get(), L"Display")));  // past the last answer
}

TEST_F(OutlookAddressBook, RecipientsAnswerLikeTheClient) {
    Ptr d = Dialog();
    Call(d.Get(), L"Display");
    Ptr recipients = orv::GetObj(d.Get(), L"Recipients");
    Ptr bob = Item(recipients, Variant::I4(3));
    EXPECT_EQ(L"Lee, Bob|/o=Ex/cn=bob|1|3|True", orv::GetString(bob.Get(), L"Name") + L"|" + orv::GetString(bob.Get(), L"Address") + L"|" +
                                                     orv::GetString(bob.Get(), L"Type") + L"|" + orv::GetString(bob.Get(), L"Index") + L"|" +
                                                     Text(bob.Get(), L"Resolved"));
    EXPECT_EQ(L"Ann Lee", orv::GetString(Item(recipients, L"ann lee").Get(), L"Name"));
    Ptr members = orv::GetObj(orv::GetObj(Item(recipients, Variant::I4(1)).Get(), L"AddressEntry").Get(), L"Members");
    struct Row {
        const wchar_t* label;
        std::function<void()> call;
        HRESULT hr;
    } rows[] = {
        {L"Recipients(0)", [&] { Item(recipients, Variant::I4(0)); }, DISP_E_BADINDEX},
        {L"Recipients(4)", [&] { Item(recipients, Variant::I4(4)); }, DISP_E_BADINDEX},
        {L"Recipients(\"Nobody\")", [&] { Item(recipients, L"Nobody"); }, kNotFound},
        {L"Recipients.Item()", [&] { Call(recipients.Get(), L"Item"); }, DISP_E_PARAMNOTFOUND},
        {L"Members(5)", [&] { Item(members, Variant::I2(5)); }, DISP_E_BADINDEX},
        {L"Members(4)", [&] { Item(members, Variant::I2(4)); }, S_OK},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(r.hr, FailureOf(r.call));
    }
    EXPECT_EQ(L"Array index out of bounds.", DescriptionOf([&] { Item(recipients, Variant::I4(4)); }));
}

TEST_F(OutlookAddressBook, EachKindOfEntryHasItsUserTypeAndOnlyTheObjectsThatApply) {
    struct Row {
        const wchar_t* id;
        const wchar_t* type;
        long userType;
        long displayType;
        bool exchangeUser, exchangeList, members;
    } rows[] = {
        {L"bob", L"EX", 0, 0, true, false, false},         {L"sales", L"EX", 1, 1, false, true, true},
        {L"ann", L"SMTP", 30, 0, false, false, false},     {L"cy", L"SMTP", 10, 0, false, false, false},
        {L"mine", L"MAPIPDL", 11, 5, false, false, true},  {L"fax", L"FAX", 40, 0, false, false, false},
        {L"far", L"EX", 5, 6, true, false, false},         {L"eve", L"EX", 0, 0, true, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        Ptr e = Entry(r.id);
        EXPECT_EQ(r.type, orv::GetString(e.Get(), L"Type"));
        EXPECT_EQ(r.userType, orv::ToLong(Call(e.Get(), L"AddressEntryUserType")));
        EXPECT_EQ(r.displayType, orv::ToLong(Call(e.Get(), L"DisplayType")));
        EXPECT_EQ(!r.exchangeUser, IsNothing(Call(e.Get(), L"GetExchangeUser")));
        EXPECT_EQ(!r.exchangeList, IsNothing(Call(e.Get(), L"GetExchangeDistributionList")));
        EXPECT_EQ(!r.members, IsNothing(Call(e.Get(), L"Members")));
    }
}

TEST_F(OutlookAddressBook, ExchangeUsersListsAndContactGroupsCarryTheirDetailsAndMembers) {
    Ptr bob = orv::GetObj(Entry(L"bob").Get(), L"GetExchangeUser");
    std::wstring details;
    for (const wchar_t* p : {L"PrimarySmtpAddress", L"FirstName", L"LastName", L"Name", L"Address", L"Type", L"AddressEntryUserType"})
        details += orv::GetString(bob.Get(), p) + L"|";
    EXPECT_EQ(L"bob@example.com|Bob|Lee|Lee, Bob|/o=Ex/cn=bob|EX|0|", details);
    // The primary address from its own key (here empty), else from the property; neither: empty.
    EXPECT_EQ(L"", orv::GetString(orv::GetObj(Entry(L"dee").Get(), L"GetExchangeUser").Get(), L"PrimarySmtpAddress"));
    EXPECT_EQ(L"||", orv::GetString(orv::GetObj(Entry(L"eve").Get(), L"GetExchangeUser").Get(), L"PrimarySmtpAddress") + L"|" +
                         orv::GetString(orv::GetObj(Entry(L"eve").Get(), L"GetExchangeUser").Get(), L"FirstName") + L"|");

    Ptr sales = orv::GetObj(Entry(L"sales").Get(), L"GetExchangeDistributionList");
    EXPECT_EQ(L"sales@example.com Sales", orv::GetString(sales.Get(), L"PrimarySmtpAddress") + L" " + orv::GetString(sales.Get(), L"Name"));
    Ptr members = orv::GetObj(sales.Get(), L"GetExchangeDistributionListMembers");
    EXPECT_EQ(4, Count(members));
    EXPECT_EQ(L"Ann Lee;Lee, Bob;Front desk;Sales;", Names(members));
    // A list inside a list is an entry like any other: its own members one more step away.
    EXPECT_EQ(1, orv::ToLong(Call(Item(members, Variant::I4(4)).Get(), L"AddressEntryUserType")));
    EXPECT_EQ(L"Cy;Ann Lee;", Names(orv::GetObj(Entry(L"mine").Get(), L"Members")));
}

TEST_F(OutlookAddressBook, GetPropertyReadsTheEntrysPropertiesAndRaisesForAnAbsentOne) {
    const std::wstring tag = L"http://schemas.microsoft.com/mapi/proptag/";
    struct Row {
        const wchar_t* id;
        std::wstring schema;
        const wchar_t* value;  // nullptr: the property is absent
    } rows[] = {
        {L"bob", tag + L"0x39FE001F", L"bob@example.com"},  // stored as the 8-bit string type
        {L"bob", tag + L"0x39FE001E", L"bob@example.com"},
        {L"dee", tag + L"0x39FE001F", L"dee@example.com"},
        {L"bob", tag + L"0x3a08001f", L"555"},
        {L"bob", tag + L"0x3001001F", L"Lee, Bob"},
        {L"bob", tag + L"0x39000003", L"0"},
        {L"eve", tag + L"0x39FE001F", nullptr},
        {L"ann", tag + L"0x39FE001F", nullptr},
        {L"bob", tag + L"0x39FE0003", nullptr},  // same property, another type
        {L"bob", L"urn:schemas:contacts:email1", nullptr},
        {L"bob", tag + L"0x39FE001", nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::wstring(r.id) + L" " + r.schema);
        Ptr accessor = orv::GetObj(Entry(r.id).Get(), L"PropertyAccessor");
        auto get = [&] { return Call(accessor.Get(), L"GetProperty", {r.schema}); };
        if (r.value) {
            EXPECT_EQ(r.value, orv::ToString(get()));
        } else {
            EXPECT_EQ(kNotFound, FailureOf([&] { get(); }));
            EXPECT_EQ(L"The property \"" + r.schema + L"\" is unknown or cannot be found.", DescriptionOf([&] { get(); }));
        }
    }
}

// GetProperties' answer as "value|value|..." ("!hhhhhhhh" for an error element); its
// lower bound and element count are checked on the way.
std::wstring Answers(const Variant& answer) {
    if (answer.vt() != (VT_ARRAY | VT_VARIANT)) return L"not an array of variants";
    SAFEARRAY* a = answer.get().parray;
    LONG low = -1, high = -2;
    SafeArrayGetLBound(a, 1, &low);
    SafeArrayGetUBound(a, 1, &high);
    std::wstring text = low == 0 ? L"" : L"lower bound " + std::to_wstring(low) + L": ";
    for (LONG i = low; i <= high; ++i) {
        Variant v;
        SafeArrayGetElement(a, &i, v.put());
        wchar_t code[16];
        swprintf(code, 16, L"!%08lX", static_cast<unsigned long>(v.get().scode));
        text += (i > low ? L"|" : L"") + (v.vt() == VT_ERROR ? std::wstring(code) : orv::ToString(v));
    }
    return text;
}

Variant SchemaNames(std::initializer_list<const wchar_t*> names, VARTYPE type = VT_VARIANT) {
    SAFEARRAY* a = SafeArrayCreateVector(type, 0, static_cast<ULONG>(names.size()));
    LONG i = 0;
    for (const wchar_t* n : names) {
        Variant name = Variant::Str(n);
        SafeArrayPutElement(a, &i, type == VT_BSTR ? static_cast<void*>(name.get().bstrVal) : const_cast<VARIANT*>(&name.get()));
        ++i;
    }
    Variant v;
    VARIANT* p = v.put();
    p->parray = a;
    p->vt = VT_ARRAY | type;
    return v;
}

TEST_F(OutlookAddressBook, GetPropertiesAnswersEveryNameInOrderWithAnErrorWhereGetPropertyWouldRaise) {
    const wchar_t* smtp = L"http://schemas.microsoft.com/mapi/proptag/0x39FE001F";
    const wchar_t* type = L"http://schemas.microsoft.com/mapi/proptag/0x3002001F";
    const wchar_t* email = L"http://schemas.microsoft.com/mapi/proptag/0x3003001E";
    const wchar_t* displayType = L"http://schemas.microsoft.com/mapi/proptag/0x39000003";
    Ptr bob = orv::GetObj(Entry(L"bob").Get(), L"PropertyAccessor");
    Ptr ann = orv::GetObj(Entry(L"ann").Get(), L"PropertyAccessor");
    Variant byReference = SchemaNames({type, smtp});
    Variant reference;
    VARIANT* ref = reference.put();
    ref->pvarVal = const_cast<VARIANT*>(&byReference.get());
    ref->vt = VT_BYREF | VT_VARIANT;
    struct Row { const char* label; Ptr accessor; Variant names; const wchar_t* answers; } rows[] = {
        {"an Exchange user", bob, SchemaNames({type, email, smtp, displayType}), L"EX|/o=Ex/cn=bob|bob@example.com|0"},
        {"an SMTP entry has no SMTP property", ann, SchemaNames({type, email, smtp}), L"SMTP|ann@example.com|!8004010F"},
        {"names that are no property", bob, SchemaNames({L"urn:schemas:contacts:email1", L"", L"http://schemas.microsoft.com/mapi/proptag/0x39FE0003"}),
         L"!8004010F|!8004010F|!8004010F"},
        {"an array of BSTRs", bob, SchemaNames({smtp, type}, VT_BSTR), L"bob@example.com|EX"},
        {"an array by reference", bob, reference, L"EX|bob@example.com"},
        {"no names", bob, SchemaNames({}), L""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(r.answers, Answers(Call(r.accessor.Get(), L"GetProperties", {r.names})));
    }
    EXPECT_EQ(DISP_E_TYPEMISMATCH, FailureOf([&] { Call(bob.Get(), L"GetProperties", {smtp}); }));
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, FailureOf([&] { Call(bob.Get(), L"GetProperties"); }));
}

// (A rule counts the calls it sees: the second sees none until the first is spent.)
TEST_F(OutlookAddressBook, AnElementRuleSpoilsOneElementOrEveryOneOfAnArrayAnswer) {
    simclient::LoadScenario(Scenario(LR"(["bob"],["bob"])", LR"J(,"faults":[
        {"object":"PropertyAccessor","member":"GetProperties","returns":"elementError","element":1,"hresult":"0x80040115","times":1},
        {"object":"PropertyAccessor","member":"GetProperties","returns":"elementError","hresult":"0x8004010F","times":1},
        {"object":"AddressEntry","member":"Name","returns":"elementError"}])J"));
    Ptr d = Dialog();
    Call(d.Get(), L"Display");
    Ptr entry = orv::GetObj(Item(orv::GetObj(d.Get(), L"Recipients"), Variant::I4(1)).Get(), L"AddressEntry");
    Ptr accessor = orv::GetObj(entry.Get(), L"PropertyAccessor");
    const Variant names = SchemaNames({L"http://schemas.microsoft.com/mapi/proptag/0x3002001F", L"http://schemas.microsoft.com/mapi/proptag/0x39FE001F"});
    EXPECT_EQ(L"EX|!80040115", Answers(Call(accessor.Get(), L"GetProperties", {names})));
    EXPECT_EQ(L"!8004010F|!8004010F", Answers(Call(accessor.Get(), L"GetProperties", {names})));
    EXPECT_EQ(L"EX|bob@example.com", Answers(Call(accessor.Get(), L"GetProperties", {names})));
    EXPECT_EQ(L"Lee, Bob", orv::GetString(entry.Get(), L"Name")) << "an answer that is no array stays as it is";
}

TEST_F(OutlookAddressBook, TheScenarioSetsTheCallLatencyAndRefusesOneOutOfRange) {
    struct Row { const wchar_t* scenario; const wchar_t* problem; } rows[] = {
        {LR"({"outlook":{"latencyMs":1}})", L""},
        {LR"({"outlook":{"latencyMs":-1}})", L"outlook.latencyMs: -1 is not a latency from 0 to 60000 milliseconds"},
        {LR"({"outlook":{"latencyMs":0.5}})", L"outlook.latencyMs: expected a whole number, not a fractional number"},
        {LR"({"faults":[{"member":"Name","element":0}]})", L"faults[0].element: an element goes with \"returns\": \"elementError\""},
        {LR"({"faults":[{"member":"Name","returns":"elementError","element":-2}]})", L"faults[0].element: an element is counted from 0"},
    };
    for (const Row& r : rows) {
        std::wstring problem;
        try {
            simclient::LoadScenario(r.scenario);
        } catch (const orv::Error& e) {
            problem = e.description();
        }
        EXPECT_EQ(r.problem, problem) << r.scenario;
    }
}

TEST_F(OutlookAddressBook, FaultRulesFailAnyMemberOfAnyObject) {
    simclient::LoadScenario(Scenario(LR"(["sales","ann","bob"])", LR"J(,"faults":[
        {"object":"SelectNamesDialog","member":"Display","hresult":"0x80004005","description":"Dialog broke","times":1},
        {"object":"ExchangeUser","id":"bob","member":"PrimarySmtpAddress","hresult":"0x80040115","skip":1,"times":1},
        {"object":"AddressEntries","id":"sales","member":"Item","hresult":"0x8004010F","skip":2},
        {"object":"PropertyAccessor","member":"GetProperty","hresult":"0x80070005"}])J"));
    Ptr d = Dialog();
    EXPECT_EQ(L"Dialog broke", DescriptionOf([&] { Call(d.Get(), L"Display"); }));
    ASSERT_TRUE(orv::ToBool(Call(d.Get(), L"Display")));  // the first pick: the rule is spent
    Ptr recipients = orv::GetObj(d.Get(), L"Recipients");
    Ptr bob = orv::GetObj(orv::GetObj(Item(recipients, Variant::I4(3)).Get(), L"AddressEntry").Get(), L"GetExchangeUser");
    auto smtp = [&] { return FailureOf([&] { Call(bob.Get(), L"PrimarySmtpAddress"); }); };
    EXPECT_EQ(S_OK, smtp());
    EXPECT_EQ(static_cast<HRESULT>(0x80040115), smtp());
    EXPECT_EQ(S_OK, smtp());
    Ptr members = orv::GetObj(orv::GetObj(orv::GetObj(Item(recipients, Variant::I4(1)).Get(), L"AddressEntry").Get(),
                                          L"GetExchangeDistributionList").Get(),
                              L"GetExchangeDistributionListMembers");
    auto item = [&](long i) { return FailureOf([&] { Item(members, Variant::I4(i)); }); };
    EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK, kNotFound, kNotFound}), (std::vector<HRESULT>{item(1), item(2), item(3), item(1)}));
    Ptr accessor = orv::GetObj(bob.Get(), L"PropertyAccessor");
    EXPECT_EQ(static_cast<HRESULT>(0x80070005),
              FailureOf([&] { Call(accessor.Get(), L"GetProperty", {L"http://schemas.microsoft.com/mapi/proptag/0x39FE001F"}); }));
}

TEST_F(OutlookAddressBook, ObjectsAreCountedByKindWhileHeld) {
    Ptr d = Dialog();
    Call(d.Get(), L"Display");
    Ptr sales = orv::GetObj(Item(orv::GetObj(d.Get(), L"Recipients"), Variant::I4(1)).Get(), L"AddressEntry");
    Ptr list = orv::GetObj(sales.Get(), L"GetExchangeDistributionList");
    Ptr members = orv::GetObj(list.Get(), L"GetExchangeDistributionListMembers");
    Ptr accessor = orv::GetObj(list.Get(), L"PropertyAccessor");
    EXPECT_EQ(L"AddressEntries=1\nAddressEntry=1\nExchangeDistributionList=1\nPropertyAccessor=1\nSelectNamesDialog=1\n",
              simclient::LiveReport());
}

TEST_F(OutlookAddressBook, AClientOfCdosEraHasNoSelectNamesDialog) {
    simclient::LoadScenario(LR"({"outlook":{"selectNamesDialog":false}})");
    Ptr ns = NameSpace();
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetSelectNamesDialog")};
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, ns->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
    EXPECT_EQ(L"Inbox", orv::GetString(orv::GetObj(ns.Get(), L"GetDefaultFolder", {Variant::I4(6)}).Get(), L"Name"));
    // Any other scenario brings back the client that has it.
    simclient::LoadScenario(Scenario());
    EXPECT_EQ(S_OK, NameSpace()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
}

TEST_F(OutlookAddressBook, WithoutCdoTheSessionIsNotRegisteredUntilTheHelperEnds) {
    auto creation = [] {
        CLSID clsid;
        HRESULT byName = CLSIDFromProgID(L"MAPI.Session", &clsid);
        IUnknown* session = nullptr;
        HRESULT byClass = CoCreateInstance(kCdoSession, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&session));
        if (session) session->Release();
        return std::make_pair(byName, byClass);
    };
    std::optional<orvtest::WithoutCdo> without;
    without.emplace();
    ASSERT_TRUE(without->ok()) << ::testing::PrintToString(without->error());
    EXPECT_EQ(std::make_pair(CO_E_CLASSSTRING, REGDB_E_CLASSNOTREG), creation());
    EXPECT_TRUE(orv::ToBool(Call(Dialog().Get(), L"Display")));  // the client's own address book still answers
    without.reset();
    EXPECT_EQ(std::make_pair(S_OK, S_OK), creation());
    // A test program that died inside the helper leaves the registration aside; the next one puts it back.
    without.emplace();
    simclient::RestoreCdoRegistration();
    EXPECT_EQ(std::make_pair(S_OK, S_OK), creation());
    without.reset();
    EXPECT_EQ(std::make_pair(S_OK, S_OK), creation());
}

// What each address book shows of the picked entries and, one level down, of a list's members:
// "name|type|address|smtp|given|surname" lines, where the mail client's three come from its
// Exchange user or list and CDO's from the entry's properties.
std::wstring CdoField(const Ptr& entry, long tag) {
    try {
        return orv::GetString(Item(orv::GetObj(entry.Get(), L"Fields"), Variant::I4(tag)).Get(), L"Value");
    } catch (const orv::Error&) {
        return L"";
    }
}

std::wstring CdoView(const Ptr& e, int depth) {
    std::wstring type = orv::GetString(e.Get(), L"Type");
    std::wstring line = std::wstring(depth * 2, L' ') + orv::GetString(e.Get(), L"Name") + L"|" + type + L"|" +
                        orv::GetString(e.Get(), L"Address") + L"|";
    if (type == L"EX") line += CdoField(e, 0x39FE001E) + L"|" + CdoField(e, 0x3A06001E) + L"|" + CdoField(e, 0x3A11001E);
    line += L"\n";
    if (depth == 0 && orv::ToLong(Call(e.Get(), L"DisplayType")) % 4 == 1)  // 1 or 5: a list
        orv::ForEach(orv::GetObj(e.Get(), L"Members").Get(), [&](const Variant& m) {
            line += CdoView(orv::AsObject(m), 1);
            return true;
        });
    return line;
}

std::wstring ClientView(const Ptr& e, int depth) {
    std::wstring type = orv::GetString(e.Get(), L"Type");
    std::wstring line = std::wstring(depth * 2, L' ') + orv::GetString(e.Get(), L"Name") + L"|" + type + L"|" +
                        orv::GetString(e.Get(), L"Address") + L"|";
    Variant user = Call(e.Get(), L"GetExchangeUser");
    Variant list = Call(e.Get(), L"GetExchangeDistributionList");
    if (!IsNothing(user))
        line += orv::GetString(orv::AsObject(user).Get(), L"PrimarySmtpAddress") + L"|" +
                orv::GetString(orv::AsObject(user).Get(), L"FirstName") + L"|" + orv::GetString(orv::AsObject(user).Get(), L"LastName");
    else if (!IsNothing(list))
        line += orv::GetString(orv::AsObject(list).Get(), L"PrimarySmtpAddress") + L"||";
    line += L"\n";
    Variant members = Call(e.Get(), L"Members");
    if (depth == 0 && !IsNothing(members))
        orv::ForEach(orv::AsObject(members).Get(), [&](const Variant& m) {
            line += ClientView(orv::AsObject(m), 1);
            return true;
        });
    return line;
}

TEST_F(OutlookAddressBook, BothAddressBooksShowTheSampleAlike) {
    std::string sample = orvtest::FileBytes(orvtest::SourcePath(L"samples\\scenario.json"));
    ASSERT_FALSE(sample.empty());
    std::wstring scenario(sample.begin(), sample.end());  // the sample is ASCII
    simclient::LoadScenario(scenario);
    Ptr session = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), IID_CdoSession);
    Call(session.Get(), L"Logon");
    std::wstring cdo;
    orv::ForEach(orv::GetObj(session.Get(), L"AddressBook").Get(), [&](const Variant& r) {
        cdo += CdoView(orv::GetObj(orv::AsObject(r).Get(), L"AddressEntry"), 0);
        return true;
    });
    Call(session.Get(), L"Logoff");

    simclient::LoadScenario(scenario);  // the picks from the first again
    Ptr d = Dialog();
    ASSERT_TRUE(orv::ToBool(Call(d.Get(), L"Display")));
    std::wstring client;
    orv::ForEach(orv::GetObj(d.Get(), L"Recipients").Get(), [&](const Variant& r) {
        client += ClientView(orv::GetObj(orv::AsObject(r).Get(), L"AddressEntry"), 0);
        return true;
    });
    EXPECT_EQ(cdo, client);
    EXPECT_EQ(L"Ann Lee (Sales)|SMTP|ann.lee@example.com|\n"
              L"Sales Department|EX|/o=Example/ou=Site/cn=Recipients/cn=sales|sales@example.com||\n"
              L"  Nair, Priya|EX|/o=Example/ou=Site/cn=Recipients/cn=pnair|priya.nair@example.com|Priya|Nair\n"
              L"  Ann Lee (Sales)|SMTP|ann.lee@example.com|\n"
              L"  Team Leads|EX|/o=Example/ou=Site/cn=Recipients/cn=leads|team-leads@example.com||\n"
              L"  Front desk|FAX|+1 555 0100|\n"
              L"Book club|MAPIPDL||\n"
              L"  Omar Haddad|SMTP|omar@example.org|\n"
              L"  Ann Lee (Sales)|SMTP|ann.lee@example.com|\n"
              L"  Chen, Mei|EX|/o=Example/ou=Site/cn=Recipients/cn=mchen|mei.chen@example.com|Mei|Chen\n"
              L"Omar Haddad|SMTP|omar@example.org|\n", client);
}

}  // namespace
