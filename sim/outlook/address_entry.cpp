// AddressEntry and what the client derives from one: ExchangeUser, ExchangeDistributionList,
// a list's or contact group's AddressEntries, and the PropertyAccessor over its MAPI properties.
#include <cwchar>
#include <vector>

#include "client_directory.h"
#include "sim_state.h"

namespace sim::outlook {

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x8004010F);  // MAPI_E_NOT_FOUND
constexpr ULONG PR_SMTP_ADDRESS_W = 0x39FE001F;
constexpr ULONG PR_GIVEN_NAME_W = 0x3A06001F;
constexpr ULONG PR_SURNAME_W = 0x3A11001F;
constexpr wchar_t kProptagNamespace[] = L"http://schemas.microsoft.com/mapi/proptag/0x";

// A list's members as Members and GetExchangeDistributionListMembers give them: Nothing for an
// entry that is no list.
Variant MembersOf(const EntryRef& e);

bool IsStringType(ULONG tag) { return (tag & 0xFFFF) == 0x001E || (tag & 0xFFFF) == 0x001F; }

// The entry's property with that tag. The two string types stand for each other, as MAPI
// converts between them; a property without a value is no property.
const orv::Variant* FindProperty(const DirectoryEntry& e, ULONG tag) {
    for (const cdo::Property& p : e.fields) {
        if ((p.tag >> 16) != (tag >> 16) || p.value.vt() == VT_EMPTY) continue;
        if (p.tag == tag || (IsStringType(p.tag) && IsStringType(tag) && p.value.vt() == VT_BSTR)) return &p.value;
    }
    // Every entry has its entry identifier.
    return tag == cdo::PR_ENTRYID ? &e.entryId : nullptr;
}

std::wstring StringProperty(const DirectoryEntry& e, ULONG tag) {
    const orv::Variant* v = FindProperty(e, tag);
    return v ? orv::ToString(*v) : std::wstring();
}

std::wstring PrimarySmtpAddress(const DirectoryEntry& e) {
    return e.hasPrimarySmtp ? e.primarySmtp : StringProperty(e, PR_SMTP_ADDRESS_W);
}

// The tag in a schema name "http://schemas.microsoft.com/mapi/proptag/0xHHHHHHHH"; false for any other form.
bool ProptagOf(const std::wstring& schemaName, ULONG& tag) {
    size_t prefix = wcslen(kProptagNamespace);
    if (schemaName.size() != prefix + 8 || schemaName.compare(0, prefix, kProptagNamespace) != 0) return false;
    tag = 0;
    for (size_t i = prefix; i < schemaName.size(); ++i) {
        wchar_t c = schemaName[i];
        int digit = c >= L'0' && c <= L'9' ? c - L'0' : c >= L'A' && c <= L'F' ? c - L'A' + 10 : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
        if (digit < 0) return false;
        tag = tag << 4 | static_cast<ULONG>(digit);
    }
    return true;
}

// The schema names of a GetProperties call: a one-dimensional array of names (VARIANTs or
// BSTRs, by value or by reference); a name that is no string is kept as an empty one (it then
// names no property). Fails DISP_E_TYPEMISMATCH for anything else.
std::vector<std::wstring> SchemaNamesOf(const VARIANT& arg) {
    const VARTYPE vt = arg.vt & ~VT_BYREF;
    SAFEARRAY* a = !(arg.vt & VT_ARRAY) ? nullptr : (arg.vt & VT_BYREF) ? (arg.pparray ? *arg.pparray : nullptr) : arg.parray;
    if ((vt != (VT_ARRAY | VT_VARIANT) && vt != (VT_ARRAY | VT_BSTR)) || !a || SafeArrayGetDim(a) != 1)
        Fail(DISP_E_TYPEMISMATCH, L"Type mismatch.");
    LONG low = 0, high = -1;
    SafeArrayGetLBound(a, 1, &low);
    SafeArrayGetUBound(a, 1, &high);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(a, &data))) Fail(DISP_E_TYPEMISMATCH, L"Type mismatch.");
    std::vector<std::wstring> names;
    for (LONG i = 0; i <= high - low; ++i) {
        const BSTR name = vt == (VT_ARRAY | VT_BSTR)               ? static_cast<BSTR*>(data)[i]
                        : static_cast<VARIANT*>(data)[i].vt == VT_BSTR ? static_cast<VARIANT*>(data)[i].bstrVal
                                                                       : nullptr;
        names.emplace_back(name ? name : L"", SysStringLen(name));
    }
    SafeArrayUnaccessData(a);
    return names;
}

class PropertyAccessor : public Object {
public:
    explicit PropertyAccessor(EntryRef e) : Object(L"PropertyAccessor", e->id), entry_(std::move(e)) {
        Member(L"GetProperty", {L"SchemaName"}, [this](const CallArgs& a) {
            if (!a.Has(0)) Fail(DISP_E_PARAMNOTFOUND, L"GetProperty needs a schema name");
            const std::wstring name = orv::ToString(*a.At(0));
            const orv::Variant* value = Property(name);
            if (!value) Fail(kNotFound, L"The property \"" + name + L"\" is unknown or cannot be found.");
            return *value;
        });
        // One answer for every name, in the order asked: the value, or the error code that
        // GetProperty would raise for that name.
        Member(L"GetProperties", {L"SchemaNames"}, [this](const CallArgs& a) {
            if (!a.Has(0)) Fail(DISP_E_PARAMNOTFOUND, L"GetProperties needs an array of schema names");
            const std::vector<std::wstring> names = SchemaNamesOf(*a.At(0));
            orv::SafeArray values = orv::SafeArray::Variants(static_cast<ULONG>(names.size()));
            VARIANT notFound;
            notFound.vt = VT_ERROR;
            notFound.scode = kNotFound;
            for (LONG i = 0; i < static_cast<LONG>(names.size()); ++i) {
                const orv::Variant* value = Property(names[i]);
                SafeArrayPutElement(values.get(), &i, value ? const_cast<VARIANT*>(&value->get()) : &notFound);
            }
            return Variant::Array(std::move(values));
        });
        // Each of them asks the server.
        WithLatency();
    }

private:
    // The property a schema name names; nullptr for an absent one, or a name of another form.
    const orv::Variant* Property(const std::wstring& name) const {
        ULONG tag = 0;
        return ProptagOf(name, tag) ? FindProperty(*entry_.entry, tag) : nullptr;
    }

    EntryRef entry_;
};

// A list's members, read from the address book at each call, as the CDO stand-in's are.
class AddressEntries : public Object {
public:
    explicit AddressEntries(std::wstring listId) : Object(L"AddressEntries", listId), listId_(std::move(listId)) {
        Value(L"Count", [this] { return Variant::I4(static_cast<int32_t>(List().members.size())); });
        Member(L"Item", {L"Index"}, [this](const CallArgs& a) {
            const auto& members = List().members;
            size_t i = ItemPosition(a, members.size(), [&](size_t k) -> const std::wstring& { return EntryOf(members[k])->name; });
            return NewAddressEntry(EntryRef{directory_, EntryOf(members[i])});
        });
        // Fetching a member asks the server; the count and the enumeration come with the list.
        WithLatency({L"Item"});
        Value(L"_NewEnum", [this] {
            std::vector<Variant> items;
            for (const std::wstring& id : List().members) items.push_back(NewAddressEntry(EntryRef{directory_, EntryOf(id)}));
            return NewEnum(std::move(items));
        });
    }

private:
    const DirectoryEntry& List() {
        directory_ = cdo::CurrentDirectory();
        const DirectoryEntry* list = directory_->Find(listId_);
        if (!list || !list->isList) ObjectNotFound();
        return *list;
    }
    const DirectoryEntry* EntryOf(const std::wstring& id) const {
        const DirectoryEntry* e = directory_->Find(id);
        if (!e) ObjectNotFound();
        return e;
    }

    std::wstring listId_;
    std::shared_ptr<const cdo::Directory> directory_;
};

class AddressEntry : public Object {
public:
    AddressEntry(EntryRef e, const wchar_t* kind = L"AddressEntry") : Object(kind, e->id), entry_(std::move(e)) {
        Value(L"Name", [this] { return Variant::Str(entry_->name); });
        Value(L"Address", [this] { return Variant::Str(entry_->address); });
        Value(L"Type", [this] { return Variant::Str(entry_->type); });
        Value(L"DisplayType", [this] { return Variant::I4(entry_->displayType); });
        Value(L"AddressEntryUserType", [this] { return Variant::I4(UserTypeOf(*entry_.entry)); });
        Value(L"PropertyAccessor", [this] { return Hand(new PropertyAccessor(entry_)); });
        Member(L"GetExchangeUser", {}, [this](const CallArgs&) { return ExchangeUserOrNothing(); });
        Member(L"GetExchangeDistributionList", {}, [this](const CallArgs&) { return DistributionListOrNothing(); });
        Value(L"Members", [this] { return MembersOf(entry_); });
        Value(L"ID", [this] { return Variant::Str(cdo::EntryIdText(*entry_.entry)); });
        // Every member of an entry, of a user or list derived from it, asks the server.
        WithLatency();
    }

protected:
    Variant ExchangeUserOrNothing() const;
    Variant DistributionListOrNothing() const;
    EntryRef entry_;
};

class ExchangeUser : public AddressEntry {
public:
    explicit ExchangeUser(EntryRef e) : AddressEntry(std::move(e), L"ExchangeUser") {
        Value(L"PrimarySmtpAddress", [this] { return Variant::Str(PrimarySmtpAddress(*entry_.entry)); });
        Value(L"FirstName", [this] { return Variant::Str(StringProperty(*entry_.entry, PR_GIVEN_NAME_W)); });
        Value(L"LastName", [this] { return Variant::Str(StringProperty(*entry_.entry, PR_SURNAME_W)); });
        WithLatency();
    }
};

class ExchangeDistributionList : public AddressEntry {
public:
    explicit ExchangeDistributionList(EntryRef e) : AddressEntry(std::move(e), L"ExchangeDistributionList") {
        Value(L"PrimarySmtpAddress", [this] { return Variant::Str(PrimarySmtpAddress(*entry_.entry)); });
        Member(L"GetExchangeDistributionListMembers", {}, [this](const CallArgs&) { return MembersOf(entry_); });
        WithLatency();
    }
};

Variant MembersOf(const EntryRef& e) {
    if (!e->isList) return Variant::Object(nullptr);
    if (e->membersDenied) Fail(cdo::kNoAccess, L"You don't have appropriate permission to perform this operation.");
    return Hand(new AddressEntries(e->id));
}

Variant AddressEntry::ExchangeUserOrNothing() const {
    long type = UserTypeOf(*entry_.entry);
    if (type != olExchangeUserAddressEntry && type != olExchangeRemoteUserAddressEntry) return Variant::Object(nullptr);
    return Hand(new ExchangeUser(entry_));
}

Variant AddressEntry::DistributionListOrNothing() const {
    if (UserTypeOf(*entry_.entry) != olExchangeDistributionListAddressEntry) return Variant::Object(nullptr);
    return Hand(new ExchangeDistributionList(entry_));
}

}  // namespace

long UserTypeOf(const DirectoryEntry& e) {
    if (e.userType >= 0) return e.userType;
    if (e.displayType == 5) return olOutlookDistributionListAddressEntry;  // a personal list: a contact group
    if (e.type == L"SMTP") return olSmtpAddressEntry;
    if (e.type != L"EX") return olOtherAddressEntry;
    if (e.isList) return olExchangeDistributionListAddressEntry;
    switch (e.displayType) {
        case 1: return olExchangeDistributionListAddressEntry;
        case 2: return olExchangePublicFolderAddressEntry;
        case 3: return olExchangeAgentAddressEntry;
        case 4: return olExchangeOrganizationAddressEntry;
        case 6: return olExchangeRemoteUserAddressEntry;
        default: return olExchangeUserAddressEntry;
    }
}

size_t ItemPosition(const CallArgs& args, size_t count, const std::function<const std::wstring&(size_t)>& nameAt) {
    if (!args.Has(0)) Fail(DISP_E_PARAMNOTFOUND, L"Item needs an index");
    Variant index = Variant::CopyOf(*args.At(0));
    if (index.vt() == VT_BSTR) {
        std::wstring name = orv::ToString(index);
        for (size_t i = 0; i < count; ++i)
            if (_wcsicmp(nameAt(i).c_str(), name.c_str()) == 0) return i;
        ObjectNotFound();
    }
    long n = orv::ToLong(index);
    if (n < 1 || static_cast<size_t>(n) > count) Fail(DISP_E_BADINDEX, L"Array index out of bounds.");
    return static_cast<size_t>(n - 1);
}

Variant NewAddressEntry(EntryRef entry) { return Hand(new AddressEntry(std::move(entry))); }

void ObjectNotFound() { Fail(kNotFound, L"The attempted operation failed.  An object could not be found."); }

}  // namespace sim::outlook
