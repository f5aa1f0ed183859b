#pragma once
// "Create List": the address book's dialog, and the expansion of every picked recipient (a
// distribution list one level deep) into the member table, through whichever address book
// the window opened.
#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <string>
#include <typeinfo>

#include "address_book.h"
#include "member_table.h"

namespace orvalis {

// What "Create List" left out, and why (the window reports it after the run).
struct LeftOut {
    int skipped = 0;    // members or picked recipients skipped after a failure
    int didNotFit = 0;  // addresses that came after the table was full
    int noAddress = 0;  // entries without an e-mail address
    int total() const { return skipped + didNotFit + noAddress; }
};

// The message the window shows when total() > 0 (how many and why); empty otherwise.
std::wstring DescribeLeftOut(const LeftOut& leftOut);

// The window's side of "Create List": List1 and the mouse pointer.
class BuilderView : public ListSink {
public:
    virtual void ClearList() = 0;                   // empty List1
    virtual void SetMousePointer(int pointer) = 0;  // 11 hourglass, 0 default
    virtual void ProcessMessages() = 0;             // let pending window messages run once
};

// The list builder's state, owned by the window object for its whole life.
class ListBuilder {
public:
    static constexpr int kHourglass = 11;
    static constexpr int kDefaultPointer = 0;

    MemberTable& table() { return table_; }
    const MemberTable& table() const { return table_; }
    // The recipients of the last successful dialog; nullptr before the first.
    IDispatch* myRecips() const { return myRecips_.Get(); }
    // Lets go of that selection, for an add-in that leaves the host for good: a cancelled
    // dialog then has nothing to expand again. The table keeps its members.
    void ForgetRecips() noexcept {
        myRecips_.Reset();
        recipsBook_ = nullptr;
    }

    // "Create List": resets List1 and the table, opens book's dialog, and adds every
    // recipient of the selection, or of the previous one when the dialog fails. Never
    // throws; returns what was left out of this run.
    LeftOut CreateList(AddressBook& book, BuilderView& view);

private:
    // Adds one picked recipient: a distribution list as its members, anything else as its
    // own address entry. A member that fails is skipped and the rest go on; a recipient that
    // can't be read is skipped.
    void AddRecips(AddressBook& book, IDispatch* myRep, BuilderView& view, LeftOut& leftOut);
    // Adds one address entry of type "SMTP" or "EX"; other types add nothing. A member of a
    // picked list (listMember) is read in one go where the address book can. A failure
    // (reading the entry, or the list box refusing the line) throws; a table that is full or
    // an entry without address is counted in leftOut.
    void AddAddressEntry(AddressBook& book, IDispatch* entry, bool listMember, BuilderView& view, LeftOut& leftOut);

    MemberTable table_;
    // The entry being added, kept from entry to entry: its strings keep their room, so a long
    // list's members are read without an allocation each.
    EntryValues entry_;
    Microsoft::WRL::ComPtr<IDispatch> myRecips_;
    // The kind of address book myRecips came from: a selection is read by that kind alone
    // (a CDO recipient is no client recipient), whichever session of it the window holds.
    const std::type_info* recipsBook_ = nullptr;
};

}  // namespace orvalis
