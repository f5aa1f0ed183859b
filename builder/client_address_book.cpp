// The address book through the mail client's own object model, for clients without CDO: the
// namespace's Select Names dialog, Exchange users and lists, contact groups.
#include <cstdint>

#include "address_book.h"
#include "dispatch.h"

namespace orvalis {

namespace {

using orv::ComPtr;
using orv::Variant;

// OlAddressEntryUserType values that are expanded into their members.
constexpr int32_t olExchangeDistributionListAddressEntry = 1;
constexpr int32_t olOutlookDistributionListAddressEntry = 11;  // a contact group
// OlRecipientSelectors: only the one box, labelled "Names".
constexpr int32_t olShowTo = 1;
// What CDO's cancelled dialog raises; a cancel here is the same failed dialog.
constexpr HRESULT kDialogCancelled = static_cast<HRESULT>(0x80040113);
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

ComPtr<IDispatch> ClientAddressBook::PickRecipients() {
    ComPtr<IDispatch> dialog = orv::GetObj(myNamespace_.Get(), L"GetSelectNamesDialog");
    orv::Put(dialog.Get(), L"Caption", Variant::Str(kSelectNamesTitle));
    orv::Put(dialog.Get(), L"ToLabel", Variant::Str(kNamesLabel));
    orv::Put(dialog.Get(), L"NumberOfRecipientSelectors", Variant::I4(olShowTo));
    orv::Put(dialog.Get(), L"AllowMultipleSelection", Variant::Bool(true));
    orv::Put(dialog.Get(), L"ForceResolution", Variant::Bool(true));
    // False is the user's cancel.
    if (orv::ToLong(orv::Call(dialog.Get(), L"Display")) == 0)
        orv::Raise(kDialogCancelled, L"The Select Names dialog was cancelled.");
    return orv::GetObj(dialog.Get(), L"Recipients");
}

PickedRecipient ClientAddressBook::ReadRecipient(IDispatch* myRep) {
    PickedRecipient recipient;
    ComPtr<IDispatch> entry = orv::GetObj(myRep, L"AddressEntry");
    const int32_t userType = orv::ToLong(orv::Call(entry.Get(), L"AddressEntryUserType"));
    ComPtr<IDispatch> members;
    if (userType == olExchangeDistributionListAddressEntry) {
        ComPtr<IDispatch> list = orv::GetObj(entry.Get(), L"GetExchangeDistributionList");
        members = orv::GetObj(list.Get(), L"GetExchangeDistributionListMembers");
    } else if (userType == olOutlookDistributionListAddressEntry) {
        members = orv::GetObj(entry.Get(), L"Members");
    } else {
        recipient.entry = entry;
        return recipient;
    }
    recipient.memberCount = orv::ToLong(orv::Call(members.Get(), L"Count"));
    recipient.member = [members](int32_t i) { return orv::GetObj(members.Get(), L"Item", {Variant::I4(i)}); };
    return recipient;
}

EntryFields ClientAddressBook::ReadExchangeEntry(IDispatch* entry) {
    EntryFields fields;
    if (ComPtr<IDispatch> user = orv::AsObjectOrNothing(orv::Call(entry, L"GetExchangeUser"))) {
        fields.address = orv::GetString(user.Get(), L"PrimarySmtpAddress");
        fields.givenName = orv::GetString(user.Get(), L"FirstName");
        fields.surname = orv::GetString(user.Get(), L"LastName");
        fields.displayName = orv::GetString(user.Get(), L"Name");
    } else if (ComPtr<IDispatch> list = orv::AsObjectOrNothing(orv::Call(entry, L"GetExchangeDistributionList"))) {
        fields.address = orv::GetString(list.Get(), L"PrimarySmtpAddress");
        fields.displayName = orv::GetString(list.Get(), L"Name");
    } else {
        // Another kind of directory entry (a public folder, say): its own name.
        fields.displayName = orv::GetString(entry, L"Name");
    }
    if (fields.address.empty()) fields.address = SmtpAddressProperty(entry);
    return fields;
}

}  // namespace orvalis
