// The address book through CDO 1.21: the session's AddressBook dialog, recipients by their
// display type, list members fetched afresh from the recipient, and an Exchange entry's MAPI
// fields.
#include <cstdint>

#include "address_book.h"
#include "dispatch.h"

namespace orvalis {

namespace {

using orv::ComPtr;
using orv::Variant;

// CDO display types of a distribution list: shared, and personal.
constexpr int32_t CdoDistList = 1;
constexpr int32_t CdoPrivateDistList = 5;

// MAPI property tags (PT_STRING8) of an Exchange entry's fields, compared as 32-bit numbers.
constexpr uint32_t PR_SMTP_ADDRESS = 0x39FE001E;
constexpr uint32_t PR_GIVEN_NAME = 0x3A06001E;
constexpr uint32_t PR_SURNAME = 0x3A11001E;

// The members of a listed recipient, reached from the recipient each time they are needed.
ComPtr<IDispatch> MembersOf(IDispatch* myRep) {
    ComPtr<IDispatch> entry = orv::GetObj(myRep, L"AddressEntry");
    return orv::GetObj(entry.Get(), L"Members");
}

}  // namespace

void CdoAddressBook::LogOn() {
    orv::Call(mySession_.Get(), L"Logon",
              {orv::Named(L"ShowDialog", Variant::Bool(false)), orv::Named(L"NewSession", Variant::Bool(false))});
}

void CdoAddressBook::LogOff() { orv::Call(mySession_.Get(), L"Logoff"); }

ComPtr<IDispatch> CdoAddressBook::PickRecipients() {
    return orv::AsObject(orv::Call(mySession_.Get(), L"AddressBook",
                                   {orv::Named(L"Title", Variant::Str(kSelectNamesTitle)),
                                    orv::Named(L"ForceResolution", Variant::Bool(true)),
                                    orv::Named(L"RecipLists", Variant::I2(1)),
                                    orv::Named(L"ToLabel", Variant::Str(kNamesLabel))}));
}

PickedRecipient CdoAddressBook::ReadRecipient(IDispatch* myRep) {
    PickedRecipient recipient;
    const int32_t displayType = orv::ToLong(orv::Call(myRep, L"DisplayType"));
    if (displayType != CdoDistList && displayType != CdoPrivateDistList) {
        recipient.entry = orv::GetObj(myRep, L"AddressEntry");
        return recipient;
    }
    recipient.memberCount = orv::ToLong(orv::Call(MembersOf(myRep).Get(), L"Count"));
    recipient.member = [rep = ComPtr<IDispatch>(myRep)](int32_t i) {
        return orv::GetObj(MembersOf(rep.Get()).Get(), L"Item", {Variant::I4(i)});
    };
    return recipient;
}

EntryFields CdoAddressBook::ReadExchangeEntry(IDispatch* entry) {
    EntryFields fields;
    // Every field's tag is looked at, but only the three wanted values are read.
    ComPtr<IDispatch> entryFields = orv::GetObj(entry, L"Fields");
    orv::ForEach(entryFields.Get(), [&](const Variant& item) {
        ComPtr<IDispatch> field = orv::AsObject(item);
        const auto tag = static_cast<uint32_t>(orv::ToLong(orv::Call(field.Get(), L"ID")));
        if (tag == PR_SMTP_ADDRESS) fields.address = orv::GetString(field.Get(), L"Value");
        else if (tag == PR_GIVEN_NAME) fields.givenName = orv::GetString(field.Get(), L"Value");
        else if (tag == PR_SURNAME) fields.surname = orv::GetString(field.Get(), L"Value");
        return true;
    });
    // Not trimmed: an Exchange name's remark stays.
    fields.displayName = orv::GetString(entry, L"Name");
    return fields;
}

}  // namespace orvalis
