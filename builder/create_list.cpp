#include "create_list.h"

#include <cstdint>

#include "dispatch.h"
#include "display_name.h"

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

// One step of "Create List": a failure abandons that step and the next one runs.
template <class F>
void Attempt(F&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

std::wstring Entries(int n) { return std::to_wstring(n) + (n == 1 ? L" entry" : L" entries"); }

void CountOutcome(AddOutcome outcome, LeftOut& leftOut) {
    if (outcome == AddOutcome::TableFull) ++leftOut.didNotFit;
    if (outcome == AddOutcome::NoAddress) ++leftOut.noAddress;
}

}  // namespace

std::wstring DescribeLeftOut(const LeftOut& leftOut) {
    if (leftOut.total() <= 0) return std::wstring();
    std::wstring text = Entries(leftOut.total()) + (leftOut.total() == 1 ? L" was" : L" were") +
                        L" left out of the list:";
    if (leftOut.skipped > 0)
        text += L"\r\n" + Entries(leftOut.skipped) + L" could not be read from the address book.";
    if (leftOut.didNotFit > 0)
        text += L"\r\n" + Entries(leftOut.didNotFit) + L" came after the list was full (" +
                std::to_wstring(MemberTable::kRows) + L" members).";
    if (leftOut.noAddress > 0)
        text += L"\r\n" + Entries(leftOut.noAddress) + (leftOut.noAddress == 1 ? L" has" : L" have") +
                L" no e-mail address.";
    return text;
}

LeftOut ListBuilder::CreateList(IDispatch* mySession, BuilderView& view, AddressBook book) {
    LeftOut leftOut;
    // The table is reset before the dialog, so a cancelled dialog starts from empty too.
    Attempt([&] { view.ClearList(); });
    table_.Reset();
    Attempt([&] {
        // Only a dialog that gave a collection replaces the previous selection; otherwise
        // that selection is expanded again below.
        ComPtr<IDispatch> picked = PickRecipients(mySession, book);
        myRecips_ = picked;
        recipsBook_ = book;
    });
    Attempt([&] { view.ProcessMessages(); });
    Attempt([&] { view.SetMousePointer(kHourglass); });
    Attempt([&] {
        // Held for the whole loop, even if something replaces myRecips meanwhile. A selection
        // made in the other address book (before CDO came or went) can't be read here.
        ComPtr<IDispatch> recips = myRecips_;
        if (!recips || recipsBook_ != book) return;
        orv::ForEach(recips.Get(), [&](const Variant& item) {
            ComPtr<IDispatch> myRep;
            Attempt([&] { myRep = orv::AsObject(item); });
            AddPicked(myRep.Get(), book, view, leftOut);  // a recipient that isn't one is skipped there
            return true;
        });
    });
    Attempt([&] { view.SetMousePointer(kDefaultPointer); });
    return leftOut;
}

ComPtr<IDispatch> ListBuilder::PickRecipients(IDispatch* mySession, AddressBook book) {
    if (!mySession) orv::RaiseRuntime(orv::kObjectNotSet);
    if (book == AddressBook::Client) return PickClientRecipients(mySession);
    return orv::AsObject(orv::Call(mySession, L"AddressBook",
                                   {orv::Named(L"Title", Variant::Str(L"Select Names")),
                                    orv::Named(L"ForceResolution", Variant::Bool(true)),
                                    orv::Named(L"RecipLists", Variant::I2(1)),
                                    orv::Named(L"ToLabel", Variant::Str(L"Names"))}));
}

void ListBuilder::AddPicked(IDispatch* myRep, AddressBook book, BuilderView& view, LeftOut& leftOut) {
    if (book == AddressBook::Client) AddClientRecipient(myRep, view, leftOut);
    else AddRecips(myRep, view, leftOut);
}

void ListBuilder::ReadSmtpEntry(IDispatch* entry, std::wstring& address, std::wstring& displayName) {
    address = orv::GetString(entry, L"Address");
    displayName = TrimDisplayName(orv::GetString(entry, L"Name"));
}

void ListBuilder::AddMember(const std::wstring& displayName, const std::wstring& givenName, const std::wstring& surname,
                            const std::wstring& address, BuilderView& view, LeftOut& leftOut) {
    CountOutcome(table_.AddListEntry(displayName, givenName, surname, address, view), leftOut);
}

void ListBuilder::AddRecips(IDispatch* myRep, BuilderView& view, LeftOut& leftOut) {
    try {
        const int32_t displayType = orv::ToLong(orv::Get(myRep, L"DisplayType"));
        if (displayType == CdoDistList || displayType == CdoPrivateDistList) {
            ExpandList(myRep, view, leftOut);
            return;
        }
        ComPtr<IDispatch> entry = orv::GetObj(myRep, L"AddressEntry");
        AddAddressEntry(entry.Get(), view, leftOut);
    } catch (...) {
        ++leftOut.skipped;
    }
}

void ListBuilder::ExpandList(IDispatch* myRep, BuilderView& view, LeftOut& leftOut) {
    // The count is read once; a failure here skips the whole recipient (the caller counts it).
    int32_t n = 0;
    {
        ComPtr<IDispatch> entry = orv::GetObj(myRep, L"AddressEntry");
        ComPtr<IDispatch> members = orv::GetObj(entry.Get(), L"Members");
        n = orv::ToLong(orv::Get(members.Get(), L"Count"));
    }
    // Each member is fetched afresh from the recipient by its index.
    ForEachMember(
        n,
        [&](int32_t i) {
            ComPtr<IDispatch> entry = orv::GetObj(myRep, L"AddressEntry");
            ComPtr<IDispatch> members = orv::GetObj(entry.Get(), L"Members");
            return orv::GetObj(members.Get(), L"Item", {Variant::I4(i)});
        },
        [&](IDispatch* member) { AddAddressEntry(member, view, leftOut); }, leftOut);
}

void ListBuilder::AddAddressEntry(IDispatch* myRep, BuilderView& view, LeftOut& leftOut) {
    const std::wstring type = orv::GetString(myRep, L"Type");
    std::wstring address, displayName, givenName, surname;
    if (type == L"SMTP") {
        ReadSmtpEntry(myRep, address, displayName);
    } else if (type == L"EX") {
        // Every field's tag is looked at, but only the three wanted values are read.
        ComPtr<IDispatch> fields = orv::GetObj(myRep, L"Fields");
        orv::ForEach(fields.Get(), [&](const Variant& item) {
            ComPtr<IDispatch> field = orv::AsObject(item);
            const auto tag = static_cast<uint32_t>(orv::ToLong(orv::Get(field.Get(), L"ID")));
            if (tag == PR_SMTP_ADDRESS) address = orv::GetString(field.Get(), L"Value");
            else if (tag == PR_GIVEN_NAME) givenName = orv::GetString(field.Get(), L"Value");
            else if (tag == PR_SURNAME) surname = orv::GetString(field.Get(), L"Value");
            return true;
        });
        displayName = orv::GetString(myRep, L"Name");
    } else {
        return;  // fax and other address types are no members
    }
    AddMember(displayName, givenName, surname, address, view, leftOut);
}

}  // namespace orvalis
