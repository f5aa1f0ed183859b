#pragma once
// The address book "Create List" reads: CDO's where CDO is installed, the mail client's own
// otherwise. The steps and rules of a run are written once, in the list builder, on top of
// this interface; each implementation knows only how its own objects are reached. Everything
// is late-bound by name, so any client or CDO version (and the stand-ins) will do.
#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dispatch.h"

namespace orvalis {

// The dialog's title and its one box's label, the same in both address books.
inline constexpr wchar_t kSelectNamesTitle[] = L"Select Names";
inline constexpr wchar_t kNamesLabel[] = L"Names";

// A picked recipient as the list builder takes it: one address entry, or a distribution list
// whose members are added one level deep.
struct PickedRecipient {
    Microsoft::WRL::ComPtr<IDispatch> entry;  // not a list: the recipient's own address entry
    int32_t memberCount = 0;                 // a list: its count, read once, before the loop
    // A list: member i (1 to memberCount) as an address entry, fetched when asked for.
    std::function<Microsoft::WRL::ComPtr<IDispatch>(int32_t)> member;
    bool IsList() const { return static_cast<bool>(member); }
};

// An address entry's member fields; what the directory doesn't give stays empty.
struct EntryFields {
    std::wstring address, displayName, givenName, surname;
};

// An address entry as the list rules take it: its address type and, for the two types that
// become members, the fields that type reads (an SMTP entry's display name not yet trimmed).
struct EntryValues {
    std::wstring type;
    EntryFields fields;
};

class AddressBook {
public:
    virtual ~AddressBook() = default;

    // The window's load step joins the session, and its unload step leaves it again.
    virtual void LogOn() = 0;
    virtual void LogOff() = 0;
    // The modal Select Names dialog; the recipients picked in it. Throws orv::Error when the
    // dialog is cancelled (0x80040113) or can't be shown, or when there is no session to ask.
    virtual Microsoft::WRL::ComPtr<IDispatch> PickRecipients() = 0;
    // Whether a picked recipient is a list, and its entry or members. Throws orv::Error when
    // the recipient can't be read.
    virtual PickedRecipient ReadRecipient(IDispatch* myRep) = 0;
    // The address and names of an Exchange directory entry (type "EX"). Throws orv::Error
    // when the entry can't be read.
    virtual EntryFields ReadExchangeEntry(IDispatch* entry) = 0;
    // A member of a picked list in one read, where the address book can and the read gives
    // all the rules need; false otherwise, and the member is then read like any other entry,
    // so nothing is lost. values may hold an earlier entry's: what the member's type takes is
    // set. Throws nothing the read itself raises.
    virtual bool ReadListMember(IDispatch* /*member*/, EntryValues& /*values*/) { return false; }
};

// A CDO 1.21 session: its own logon joins the mail client's running MAPI session.
class CdoAddressBook final : public AddressBook {
public:
    explicit CdoAddressBook(Microsoft::WRL::ComPtr<IDispatch> mySession) : mySession_(std::move(mySession)) {}
    void LogOn() override;
    void LogOff() override;
    Microsoft::WRL::ComPtr<IDispatch> PickRecipients() override;
    PickedRecipient ReadRecipient(IDispatch* myRep) override;
    EntryFields ReadExchangeEntry(IDispatch* entry) override;

private:
    Microsoft::WRL::ComPtr<IDispatch> mySession_;
};

// The mail client's own address book, through the namespace of the client that loaded the
// add-in: Exchange users and lists give their primary SMTP addresses; contact groups are
// lists too. The session is the client's, already on: there is no logon or logoff of ours.
// A list's members are read by their properties, all in one call each: online, every call
// to the directory is a round trip to the server.
class ClientAddressBook final : public AddressBook {
public:
    explicit ClientAddressBook(Microsoft::WRL::ComPtr<IDispatch> myNamespace) : myNamespace_(std::move(myNamespace)) {}
    void LogOn() override {}
    void LogOff() override {}
    Microsoft::WRL::ComPtr<IDispatch> PickRecipients() override;
    PickedRecipient ReadRecipient(IDispatch* myRep) override;
    EntryFields ReadExchangeEntry(IDispatch* entry) override;
    bool ReadListMember(IDispatch* member, EntryValues& values) override;

private:
    Microsoft::WRL::ComPtr<IDispatch> myNamespace_;
    orv::Args memberProperties_;  // GetProperties' one argument, made at the first member
};

// The address book of a window's load step, not yet logged on: a new CDO session where CDO
// is installed; where it isn't, the client's own, from hostApplication (the application of
// the connection that loads the window; may be null). Throws CDO's failure as orv::Error when
// neither is there: a client of CDO's own era without CDO has no Select Names dialog.
std::shared_ptr<AddressBook> ChooseAddressBook(IDispatch* hostApplication);

}  // namespace orvalis
