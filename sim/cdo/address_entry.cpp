// AddressEntry, AddressEntries (a list's members), Fields and Field.
#include "objects.h"
#include "sim_state.h"

namespace sim::cdo {

namespace {

class FieldObject : public Object {
public:
    FieldObject(const std::wstring& entryId, const Property& p) : Object(L"Field", entryId), property_(p) {
        Value(L"ID", [this] { return property_.hasId ? property_.id : Variant::I4(static_cast<int32_t>(property_.tag)); });
        Value(L"Value", [this] { return property_.value; });
        Value(L"Type", [this] { return Variant::I2(static_cast<int16_t>(property_.value.vt())); });
        Value(L"Name", [] { return Variant::Str(L""); });
    }

private:
    Property property_;
};

class Fields : public Object {
public:
    explicit Fields(EntryRef e) : Object(L"Fields", e->id), entry_(std::move(e)) {
        Value(L"Count", [this] { return Variant::I4(static_cast<int32_t>(entry_->fields.size())); });
        // A number up to Count is a position; anything larger is a property tag.
        Member(L"Item", {L"Index", L"PropsetID"}, [this](const CallArgs& args) {
            long i = IndexArg(args);
            const auto& fields = entry_->fields;
            if (i >= 1 && static_cast<size_t>(i) <= fields.size()) return Hand(new FieldObject(entry_->id, fields[i - 1]));
            for (const Property& p : fields)
                if (static_cast<long>(p.tag) == i) return Hand(new FieldObject(entry_->id, p));
            FailWith(kNotFound);
        });
        Value(L"_NewEnum", [this] {
            std::vector<Variant> items;
            for (const Property& p : entry_->fields) items.push_back(Hand(new FieldObject(entry_->id, p)));
            return NewEnum(std::move(items));
        });
    }

private:
    EntryRef entry_;
};

// A list's members, read from the address book at each call: a rebuild sees the list as it is now.
class AddressEntries : public Object {
public:
    explicit AddressEntries(std::wstring listId) : Object(L"AddressEntries", listId), listId_(std::move(listId)) {
        Value(L"Count", [this] {
            const DirectoryEntry& list = List();
            return list.Answer(L"Count", Variant::I4(static_cast<int32_t>(list.members.size())));
        });
        Member(L"Item", {L"Index"}, [this](const CallArgs& args) {
            long i = IndexArg(args);
            const DirectoryEntry& list = List();
            if (i < 1 || static_cast<size_t>(i) > list.members.size()) FailWith(kNotFound);
            return EntryOf(list.members[i - 1]);
        });
        Value(L"_NewEnum", [this] {
            std::vector<Variant> items;
            for (const std::wstring& id : List().members) items.push_back(EntryOf(id));
            return NewEnum(std::move(items));
        });
    }

private:
    const DirectoryEntry& List() {
        directory_ = CurrentDirectory();
        const DirectoryEntry* list = directory_->Find(listId_);
        if (!list || !list->isList) FailWith(kNotFound);
        return *list;
    }
    Variant EntryOf(const std::wstring& id) {
        const DirectoryEntry* e = directory_->Find(id);
        if (!e) FailWith(kNotFound);
        return NewAddressEntry(EntryRef{directory_, e});
    }

    std::wstring listId_;
    std::shared_ptr<const Directory> directory_;
};

class AddressEntry : public Object {
public:
    explicit AddressEntry(EntryRef e) : Object(L"AddressEntry", e->id), entry_(std::move(e)) {
        Value(L"Name", [this] { return entry_->Answer(L"Name", Variant::Str(entry_->name)); });
        Value(L"Address", [this] { return entry_->Answer(L"Address", Variant::Str(entry_->address)); });
        Value(L"Type", [this] { return entry_->Answer(L"Type", Variant::Str(entry_->type)); });
        Value(L"DisplayType", [this] { return entry_->Answer(L"DisplayType", Variant::I4(entry_->displayType)); });
        Value(L"ID", [this] { return entry_->Answer(L"ID", Variant::Str(EntryIdText(*entry_.entry))); });
        Value(L"Fields", [this] { return Hand(new Fields(entry_)); });
        Value(L"Members", [this]() -> Variant {
            if (!entry_->isList) FailWith(kNoSupport);
            if (entry_->membersDenied) FailWith(kNoAccess);
            return Hand(new AddressEntries(entry_->id));
        });
    }

private:
    EntryRef entry_;
};

}  // namespace

Variant NewAddressEntry(EntryRef entry) { return Hand(new AddressEntry(std::move(entry))); }

}  // namespace sim::cdo
