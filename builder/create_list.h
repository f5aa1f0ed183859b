#pragma once
// "Create List": the address-book dialog, and the expansion of every picked recipient (a
// distribution list one level deep) into the member table. The address book is CDO's where
// CDO is installed, and otherwise the mail client's own (its namespace's Select Names dialog);
// the two differ only in how they reach the entries. Everything is late-bound by name, so
// any client or CDO version (and the stand-ins) will do.
#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

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

// Which address book a window's session is.
enum class AddressBook {
    Cdo,     // a logged-on CDO session
    Client,  // the mail client's own namespace
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

    // "Create List": resets List1 and the table, opens the address book of mySession (which
    // may be null: then the dialog counts as failed), and adds every recipient of the
    // selection, or of the previous one when the dialog fails. Never throws; returns what
    // was left out of this run.
    LeftOut CreateList(IDispatch* mySession, BuilderView& view, AddressBook book = AddressBook::Cdo);

    // Adds one picked recipient: a distribution list (display type 1 or 5) as its members,
    // anything else as its own address entry. A member that fails is skipped and the rest
    // go on; a recipient that can't be read is skipped. Never throws.
    void AddRecips(IDispatch* myRep, BuilderView& view, LeftOut& leftOut);

    // Adds one address entry of type "SMTP" or "EX"; other types add nothing. A failure
    // (reading the entry, or the list box refusing the line) throws orv::Error or what the
    // view threw; a table that is full or an entry without address is counted in leftOut.
    void AddAddressEntry(IDispatch* myRep, BuilderView& view, LeftOut& leftOut);

    // The same for a recipient and an entry of the mail client's own address book: Exchange
    // lists and contact groups are expanded, Exchange users and lists give their primary SMTP
    // address.
    void AddClientRecipient(IDispatch* myRep, BuilderView& view, LeftOut& leftOut);
    void AddClientEntry(IDispatch* entry, BuilderView& view, LeftOut& leftOut);

private:
    Microsoft::WRL::ComPtr<IDispatch> PickRecipients(IDispatch* mySession, AddressBook book);
    static Microsoft::WRL::ComPtr<IDispatch> PickClientRecipients(IDispatch* myNamespace);
    void AddPicked(IDispatch* myRep, AddressBook book, BuilderView& view, LeftOut& leftOut);
    void ExpandList(IDispatch* myRep, BuilderView& view, LeftOut& leftOut);
    void ExpandClientList(IDispatch* members, BuilderView& view, LeftOut& leftOut);
    // Members 1 to n (the count read once, before the loop), each fetched by its index and
    // added; one that fails is skipped and counted, and the list goes on with the next.
    template <class Fetch, class Add>
    static void ForEachMember(int32_t n, Fetch fetch, Add add, LeftOut& leftOut) {
        for (int64_t i = 1; i <= n; ++i) {
            try {
                add(fetch(static_cast<int32_t>(i)).Get());
            } catch (...) {
                ++leftOut.skipped;
            }
        }
    }
    // An SMTP entry, the same in both address books: its address and its trimmed display name.
    static void ReadSmtpEntry(IDispatch* entry, std::wstring& address, std::wstring& displayName);
    void AddMember(const std::wstring& displayName, const std::wstring& givenName, const std::wstring& surname,
                   const std::wstring& address, BuilderView& view, LeftOut& leftOut);

    MemberTable table_;
    Microsoft::WRL::ComPtr<IDispatch> myRecips_;
    // The address book the previous selection came from: only its own code can expand it.
    AddressBook recipsBook_ = AddressBook::Cdo;
};

}  // namespace orvalis
