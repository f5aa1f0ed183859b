#include "create_list.h"

#include "dispatch.h"
#include "display_name.h"
#include "messages.h"

namespace orvalis {

namespace {

using orv::ComPtr;
using orv::Variant;

// One step of "Create List": a failure abandons that step and the next one runs.
// Swallowing std::bad_alloc too is right: a step short of memory is abandoned like any failed one.
template <class F>
void Attempt(F&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

std::wstring Entries(int n) { return std::to_wstring(n) + (n == 1 ? messages::kEntry : messages::kEntries); }

// An address entry read member by member: its type, then what that type takes.
EntryValues ReadAddressEntry(AddressBook& book, IDispatch* entry) {
    EntryValues values;
    values.type = orv::GetString(entry, L"Type");
    if (values.type == L"SMTP") {
        values.fields.address = orv::GetString(entry, L"Address");
        values.fields.displayName = orv::GetString(entry, L"Name");
    } else if (values.type == L"EX") {
        values.fields = book.ReadExchangeEntry(entry);
    }
    return values;
}

void CountOutcome(AddOutcome outcome, LeftOut& leftOut) {
    if (outcome == AddOutcome::TableFull) ++leftOut.didNotFit;
    if (outcome == AddOutcome::NoAddress) ++leftOut.noAddress;
}

}  // namespace

std::wstring DescribeLeftOut(const LeftOut& leftOut) {
    using namespace messages;
    if (leftOut.total() <= 0) return std::wstring();
    std::wstring text = Entries(leftOut.total()) + (leftOut.total() == 1 ? kWas : kWere) + kLeftOut;
    if (leftOut.skipped > 0) text += L"\r\n" + Entries(leftOut.skipped) + kUnreadable;
    if (leftOut.didNotFit > 0)
        text += L"\r\n" + Entries(leftOut.didNotFit) + kAfterFull + std::to_wstring(MemberTable::kRows) + kAfterFullEnd;
    if (leftOut.noAddress > 0) text += L"\r\n" + Entries(leftOut.noAddress) + (leftOut.noAddress == 1 ? kHas : kHave) + kNoAddress;
    return text;
}

LeftOut ListBuilder::CreateList(AddressBook& book, BuilderView& view) {
    LeftOut leftOut;
    // The table is reset before the dialog, so a cancelled dialog starts from empty too.
    Attempt([&] { view.ClearList(); });
    table_.Reset();
    Attempt([&] {
        // Only a dialog that gave a collection replaces the previous selection; otherwise
        // that selection is expanded again below.
        ComPtr<IDispatch> picked = book.PickRecipients();
        myRecips_ = picked;
        recipsBook_ = &typeid(book);
    });
    Attempt([&] { view.ProcessMessages(); });
    Attempt([&] { view.SetMousePointer(kHourglass); });
    Attempt([&] {
        // Held for the whole loop, even if something replaces myRecips meanwhile. A selection
        // made in the other address book (before CDO came or went) can't be read here.
        ComPtr<IDispatch> recips = myRecips_;
        if (!recips || *recipsBook_ != typeid(book)) return;
        orv::ForEach(recips.Get(), [&](const Variant& item) {
            ComPtr<IDispatch> myRep;
            Attempt([&] { myRep = orv::AsObject(item); });
            AddRecips(book, myRep.Get(), view, leftOut);  // a recipient that isn't one is skipped there
            return true;
        });
    });
    Attempt([&] { view.SetMousePointer(kDefaultPointer); });
    return leftOut;
}

void ListBuilder::AddRecips(AddressBook& book, IDispatch* myRep, BuilderView& view, LeftOut& leftOut) {
    try {
        const PickedRecipient recipient = book.ReadRecipient(myRep);
        if (!recipient.IsList()) return AddAddressEntry(book, recipient.entry.Get(), false, view, leftOut);
        // Members 1 to n, the count read once; one that fails is skipped and counted, and the
        // list goes on with the next.
        for (int64_t i = 1; i <= recipient.memberCount; ++i) {
            try {
                AddAddressEntry(book, recipient.member(static_cast<int32_t>(i)).Get(), true, view, leftOut);
            } catch (...) {
                ++leftOut.skipped;
            }
        }
    } catch (...) {
        ++leftOut.skipped;
    }
}

void ListBuilder::AddAddressEntry(AddressBook& book, IDispatch* entry, bool listMember, BuilderView& view, LeftOut& leftOut) {
    EntryValues& values = entry_;
    if (!listMember || !book.ReadListMember(entry, values)) values = ReadAddressEntry(book, entry);
    if (values.type == L"SMTP") values.fields.displayName = TrimDisplayName(values.fields.displayName);
    else if (values.type != L"EX") return;  // fax and other address types are no members
    const EntryFields& f = values.fields;
    CountOutcome(table_.AddListEntry(f.displayName, f.givenName, f.surname, f.address, view), leftOut);
}

}  // namespace orvalis
