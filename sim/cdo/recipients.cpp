// Recipients and Recipient: what the address-book dialog returns.
#include "objects.h"

namespace sim::cdo {

namespace {

constexpr long kCdoTo = 1;  // the dialog's only well here: the "To" list

class Recipient : public Object {
public:
    Recipient(EntryRef entry, long index) : Object(L"Recipient", entry->id), entry_(std::move(entry)), index_(index) {
        Value(L"Name", [this] { return entry_->Answer(L"Name", Variant::Str(entry_->name)); });
        Value(L"Address", [this] { return Variant::Str(entry_->type + L":" + entry_->address); });
        Value(L"Type", [] { return Variant::I4(kCdoTo); });
        Value(L"DisplayType", [this] { return entry_->Answer(L"DisplayType", Variant::I4(entry_->displayType)); });
        Value(L"Index", [this] { return Variant::I4(index_); });
        // The entry behind the recipient is looked up in the address book on each access.
        Value(L"AddressEntry", [this] {
            auto directory = CurrentDirectory();
            const DirectoryEntry* now = directory->Find(entry_->id);
            if (!now) FailWith(kNotFound);
            return NewAddressEntry(EntryRef{std::move(directory), now});
        });
    }

private:
    EntryRef entry_;
    long index_;
};

class Recipients : public Object {
public:
    Recipients(std::vector<EntryRef> picked, std::vector<std::pair<size_t, Variant>> strays)
        : Object(L"Recipients", L""), picked_(std::move(picked)), strays_(std::move(strays)) {
        Value(L"Count", [this] { return Variant::I4(static_cast<int32_t>(picked_.size())); });
        Member(L"Item", {L"Index"}, [this](const CallArgs& args) {
            long i = IndexArg(args);
            if (i < 1 || static_cast<size_t>(i) > picked_.size()) FailWith(kNotFound);
            return Hand(new Recipient(picked_[i - 1], i));
        });
        Value(L"_NewEnum", [this] {
            std::vector<Variant> items;
            for (size_t i = 0; i <= picked_.size(); ++i) {
                for (const auto& [at, value] : strays_)
                    if (at == i) items.push_back(value);
                if (i < picked_.size()) items.push_back(Hand(new Recipient(picked_[i], static_cast<long>(i + 1))));
            }
            return NewEnum(std::move(items));
        });
    }

private:
    std::vector<EntryRef> picked_;
    std::vector<std::pair<size_t, Variant>> strays_;
};

}  // namespace

Variant NewRecipients(std::vector<EntryRef> picked, std::vector<std::pair<size_t, Variant>> strays) {
    return Hand(new Recipients(std::move(picked), std::move(strays)));
}

}  // namespace sim::cdo
