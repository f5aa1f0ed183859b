// "Create List" through the mail client's own address book, for clients without CDO: the
// namespace's Select Names dialog, Exchange users and lists, contact groups. Same steps and
// rules as through CDO; only the way to the entries differs.
#include <cstdint>

#include "create_list.h"
#include "dispatch.h"
#include "display_name.h"

namespace orvalis {

namespace {

using orv::ComPtr;
using orv::Variant;

// OlAddressEntryUserType values that are expanded into their members.
constexpr int32_t olExchangeDistributionListAddressEntry = 1;
constexpr int32_t olOutlookDistributionListAddressEntry = 11;  // a contact group
// OlRecipientSelectors: only the one box, labelled "Names".
constexpr int32_t olShowTo = 1;
// PR_SMTP_ADDRESS as a Unicode string, for an Exchange entry whose primary address is empty.
constexpr wchar_t kSmtpAddressProperty[] = L"http://schemas.microsoft.com/mapi/proptag/0x39FE001F";

// The entry's SMTP address property; empty when the entry has none (the client raises then).
std::wstring SmtpAddressProperty(IDispatch* entry) {
    ComPtr<IDispatch> accessor = orv::GetObj(entry, L"PropertyAccessor");
    try {
        return orv::ToString(orv::Call(accessor.Get(), L"GetProperty", {Variant::Str(kSmtpAddressProperty)}));
    } catch (const orv::Error&) {
        return std::wstring();
    }
}

}  // namespace

ComPtr<IDispatch> ListBuilder::PickClientRecipients(IDispatch* myNamespace) {
    ComPtr<IDispatch> dialog = orv::GetObj(myNamespace, L"GetSelectNamesDialog");
    orv::Put(dialog.Get(), L"Caption", Variant::Str(L"Select Names"));
    orv::Put(dialog.Get(), L"ToLabel", Variant::Str(L"Names"));
    orv::Put(dialog.Get(), L"NumberOfRecipientSelectors", Variant::I4(olShowTo));
    orv::Put(dialog.Get(), L"AllowMultipleSelection", Variant::Bool(true));
    orv::Put(dialog.Get(), L"ForceResolution", Variant::Bool(true));
    // False is the user's cancel: a failed dialog, like CDO's cancel error.
    if (orv::ToLong(orv::Call(dialog.Get(), L"Display")) == 0)
        orv::Raise(static_cast<HRESULT>(0x80040113), L"The Select Names dialog was cancelled.");
    return orv::GetObj(dialog.Get(), L"Recipients");
}

void ListBuilder::AddClientRecipient(IDispatch* myRep, BuilderView& view, LeftOut& leftOut) {
    try {
        ComPtr<IDispatch> entry = orv::GetObj(myRep, L"AddressEntry");
        const int32_t userType = orv::ToLong(orv::Get(entry.Get(), L"AddressEntryUserType"));
        if (userType == olExchangeDistributionListAddressEntry) {
            ComPtr<IDispatch> list = orv::GetObj(entry.Get(), L"GetExchangeDistributionList");
            ExpandClientList(orv::GetObj(list.Get(), L"GetExchangeDistributionListMembers").Get(), view, leftOut);
        } else if (userType == olOutlookDistributionListAddressEntry) {
            ExpandClientList(orv::GetObj(entry.Get(), L"Members").Get(), view, leftOut);
        } else {
            AddClientEntry(entry.Get(), view, leftOut);
        }
    } catch (...) {
        ++leftOut.skipped;
    }
}

void ListBuilder::ExpandClientList(IDispatch* members, BuilderView& view, LeftOut& leftOut) {
    ForEachMember(
        orv::ToLong(orv::Get(members, L"Count")),
        [&](int32_t i) { return orv::GetObj(members, L"Item", {Variant::I4(i)}); },
        [&](IDispatch* member) { AddClientEntry(member, view, leftOut); }, leftOut);
}

void ListBuilder::AddClientEntry(IDispatch* entry, BuilderView& view, LeftOut& leftOut) {
    const std::wstring type = orv::GetString(entry, L"Type");
    std::wstring address, displayName, givenName, surname;
    if (type == L"SMTP") {
        ReadSmtpEntry(entry, address, displayName);
    } else if (type == L"EX") {
        if (ComPtr<IDispatch> user = orv::AsObjectOrNothing(orv::Call(entry, L"GetExchangeUser"))) {
            address = orv::GetString(user.Get(), L"PrimarySmtpAddress");
            givenName = orv::GetString(user.Get(), L"FirstName");
            surname = orv::GetString(user.Get(), L"LastName");
            displayName = orv::GetString(user.Get(), L"Name");
        } else if (ComPtr<IDispatch> list = orv::AsObjectOrNothing(orv::Call(entry, L"GetExchangeDistributionList"))) {
            address = orv::GetString(list.Get(), L"PrimarySmtpAddress");
            displayName = orv::GetString(list.Get(), L"Name");
        } else {
            // Another kind of directory entry (a public folder, say): its own name.
            displayName = orv::GetString(entry, L"Name");
        }
        if (address.empty()) address = SmtpAddressProperty(entry);
    } else {
        return;  // fax and other address types are no members
    }
    AddMember(displayName, givenName, surname, address, view, leftOut);
}

}  // namespace orvalis
