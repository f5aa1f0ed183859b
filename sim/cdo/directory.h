#pragma once
// The address book behind the CDO stand-in: its directory entries and what the user picks in
// each address-book dialog, both taken from the scenario's "cdo" section.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "variant.h"

namespace sim::cdo {

// HRESULTs the address book answers with, and the description that goes with each.
constexpr HRESULT kNotInitialized = static_cast<HRESULT>(0x80040605);  // MAPI_E_NOT_INITIALIZED
constexpr HRESULT kUserCancel = static_cast<HRESULT>(0x80040113);      // MAPI_E_USER_CANCEL
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x8004010F);        // MAPI_E_NOT_FOUND
constexpr HRESULT kNoSupport = static_cast<HRESULT>(0x80040102);       // MAPI_E_NO_SUPPORT
constexpr HRESULT kInvalidParameter = static_cast<HRESULT>(0x80070057);  // MAPI_E_INVALID_PARAMETER
constexpr HRESULT kNoAccess = static_cast<HRESULT>(0x80070005);        // MAPI_E_NO_ACCESS
[[noreturn]] void FailWith(HRESULT hr);

// Property tags the stand-in fills in for every entry, before the scenario's own fields.
constexpr ULONG PR_DISPLAY_NAME = 0x3001001E;
constexpr ULONG PR_ADDRTYPE = 0x3002001E;
constexpr ULONG PR_EMAIL_ADDRESS = 0x3003001E;
constexpr ULONG PR_DISPLAY_TYPE = 0x39000003;
// The entry identifier, binary: how a client tells one entry from another, whatever the path
// that reached it.
constexpr ULONG PR_ENTRYID = 0x0FFF0102;

struct Property {
    ULONG tag;
    orv::Variant value;
    orv::Variant id;  // what ID answers instead of the tag, when given (EMPTY: the tag)
    bool hasId = false;
};

struct DirectoryEntry {
    std::wstring id;
    std::wstring name;
    std::wstring type;
    std::wstring address;
    long displayType = 0;               // 0 user, 1 distribution list, 5 private list, ...
    std::vector<Property> fields;       // in the order the Fields collection lists them
    bool isList = false;                // only lists have Members
    std::vector<std::wstring> members;  // entry ids, in the list's order
    bool membersDenied = false;         // a list whose members the user may not read
    orv::Variant entryId;               // PR_ENTRYID's bytes (VT_ARRAY | VT_UI1), made from id
    // Only the mail client's own view of the address book reads these.
    long userType = -1;                 // its AddressEntryUserType, -1 to derive it from type and displayType
    bool hasPrimarySmtp = false;        // PrimarySmtpAddress given apart from the fields
    std::wstring primarySmtp;
    // What members answer instead of the entry's own values ("Name", "Address", "Type",
    // "DisplayType", "ID"; "Count" for a list's members), typed as the scenario says.
    std::map<std::wstring, orv::Variant> answers;
    // The answer of member, or fallback when the scenario gives none.
    orv::Variant Answer(const std::wstring& member, orv::Variant fallback) const {
        auto it = answers.find(member);
        return it == answers.end() ? fallback : it->second;
    }
};

// The entry identifier as both address books hand it out as a string (AddressEntry.ID): the hex
// digits of its PR_ENTRYID bytes, four flag bytes of 0 and then the id's UTF-8 bytes.
std::wstring EntryIdText(const DirectoryEntry& e);

// One answer of the address-book dialog: the entries picked, in order, or the user's cancel.
struct Pick {
    bool cancel = false;
    std::vector<std::wstring> ids;
    // Values that are no recipient, which the collection's enumeration yields before the
    // entry at that position (at the end for ids.size()).
    std::vector<std::pair<size_t, orv::Variant>> strays;
};

struct Directory {
    std::map<std::wstring, DirectoryEntry> entries;
    std::vector<Pick> picks;
    const DirectoryEntry* Find(const std::wstring& id) const;
};

// An entry of one loaded directory, which it keeps alive (a loaded directory never changes;
// a new scenario brings a new one). Cheap to copy, however long a list's members are.
struct EntryRef {
    std::shared_ptr<const Directory> directory;
    const DirectoryEntry* entry;
    const DirectoryEntry* operator->() const { return entry; }
};

// Builds a directory from a "cdo" section (null for none); throws sim::DataError naming the
// place and what is wrong (an unknown key, a value of the wrong kind, an id used twice or
// naming no entry), so a hand-edited file fails loudly instead of half-loading.
Directory ParseDirectory(const nlohmann::json& cdo);

// The directory as it is now (an empty one before any scenario).
std::shared_ptr<const Directory> CurrentDirectory();
// Replaces the directory and starts the picks from the first again.
void ReplaceDirectory(Directory directory);
// The next dialog's answer, counted across every session of the process; a cancel once
// the picks are used up.
Pick NextPick();

}  // namespace sim::cdo
