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
constexpr HRESULT kPropertyNotFound = static_cast<HRESULT>(0x8004010F);  // MAPI_E_NOT_FOUND
// PR_SMTP_ADDRESS as a Unicode string, for an Exchange entry whose primary address is empty.
constexpr wchar_t kSmtpAddressProperty[] = L"http://schemas.microsoft.com/mapi/proptag/0x39FE001F";

// What a list member is read by (Unicode string properties), in the order GetProperties
// answers them.
enum MemberProperty { kAddrType, kEmailAddress, kDisplayName, kGivenName, kSurname, kSmtpAddress, kMemberProperties };
constexpr const wchar_t* kMemberSchemaNames[kMemberProperties] = {
    L"http://schemas.microsoft.com/mapi/proptag/0x3002001F",  // PR_ADDRTYPE
    L"http://schemas.microsoft.com/mapi/proptag/0x3003001F",  // PR_EMAIL_ADDRESS: an SMTP entry's address
    L"http://schemas.microsoft.com/mapi/proptag/0x3001001F",  // PR_DISPLAY_NAME
    L"http://schemas.microsoft.com/mapi/proptag/0x3A06001F",  // PR_GIVEN_NAME
    L"http://schemas.microsoft.com/mapi/proptag/0x3A11001F",  // PR_SURNAME
    kSmtpAddressProperty,                                     // an Exchange entry's address
};

// The schema names as one array of VARIANTs, GetProperties' argument.
orv::Args MemberSchemaNames() {
    orv::SafeArray names = orv::SafeArray::Variants(kMemberProperties);
    for (LONG i = 0; i < kMemberProperties; ++i) {
        Variant name = Variant::Str(kMemberSchemaNames[i]);
        orv::ThrowIfFailed(SafeArrayPutElement(names.get(), &i, const_cast<VARIANT*>(&name.get())), L"GetProperties");
    }
    return {Variant::Array(std::move(names))};
}

class ArrayData {
public:
    explicit ArrayData(SAFEARRAY* a) : a_(a) { orv::ThrowIfFailed(SafeArrayAccessData(a_, reinterpret_cast<void**>(&data_)), L"GetProperties"); }
    ~ArrayData() { SafeArrayUnaccessData(a_); }
    ArrayData(const ArrayData&) = delete;
    ArrayData& operator=(const ArrayData&) = delete;
    const VARIANT& operator[](size_t i) const { return data_[i]; }

private:
    SAFEARRAY* a_;
    VARIANT* data_ = nullptr;
};

// One element of GetProperties' answer into s: its text, or empty where the property isn't
// there. False for an element that failed for another reason (a network error is no absent
// property). Throws orv::Error for a value that isn't text.
bool ReadElement(const VARIANT& element, std::wstring& s) {
    if (element.vt == VT_BSTR) {
        s.assign(element.bstrVal ? element.bstrVal : L"", SysStringLen(element.bstrVal));
        return true;
    }
    s.clear();
    if (element.vt == VT_ERROR) return element.scode == kPropertyNotFound;
    s = orv::ToString(element);
    return true;
}

// GetProperties' answer as a member's values, by the rules of its type: "SMTP" takes the
// e-mail address and the display name; "EX" the SMTP address, display name, given name and
// surname; any other type nothing more. False for an answer that isn't one element for each
// name, an element the type takes that failed, or an Exchange entry without the SMTP property,
// whose primary address the directory may still know: such a member is asked as every entry is.
bool ReadMemberProperties(const Variant& answer, EntryValues& values) {
    SAFEARRAY* a = answer.vt() == (VT_ARRAY | VT_VARIANT) ? answer.get().parray : nullptr;
    if (!a || SafeArrayGetDim(a) != 1) return false;
    LONG low = 0, high = -1;
    if (FAILED(SafeArrayGetLBound(a, 1, &low)) || FAILED(SafeArrayGetUBound(a, 1, &high)) ||
        high - low + 1 != kMemberProperties)
        return false;
    ArrayData element(a);
    EntryFields& f = values.fields;
    if (!ReadElement(element[kAddrType], values.type)) return false;
    if (values.type == L"SMTP") {
        f.givenName.clear();
        f.surname.clear();
        return ReadElement(element[kEmailAddress], f.address) && ReadElement(element[kDisplayName], f.displayName);
    }
    if (values.type != L"EX") return true;
    return ReadElement(element[kSmtpAddress], f.address) && !f.address.empty() &&
           ReadElement(element[kDisplayName], f.displayName) && ReadElement(element[kGivenName], f.givenName) &&
           ReadElement(element[kSurname], f.surname);
}

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

bool ClientAddressBook::ReadListMember(IDispatch* member, EntryValues& values) {
    try {
        if (memberProperties_.empty()) memberProperties_ = MemberSchemaNames();
        ComPtr<IDispatch> accessor = orv::GetObj(member, L"PropertyAccessor");
        return ReadMemberProperties(orv::Call(accessor.Get(), L"GetProperties", memberProperties_), values);
    } catch (const orv::Error&) {
        return false;
    }
}

}  // namespace orvalis
