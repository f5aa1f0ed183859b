// Recipients and Recipient, for both address books; CDO's own answers.
#include "recipients.h"

#include "objects.h"

namespace sim::cdo {

namespace {

constexpr long kToList = 1;  // the dialog's only well here: the "To" list (CdoTo, olTo)

class Recipient : public Object {
public:
    Recipient(const RecipientBook& book, EntryRef entry, long index)
        : Object(L"Recipient", entry->id), book_(book), entry_(std::move(entry)), index_(index) {
        Value(L"Name", [this] { return book_.Name(*entry_.entry); });
        Value(L"Address", [this] { return book_.Address(*entry_.entry); });
        Value(L"Type", [] { return Variant::I4(kToList); });
        Value(L"DisplayType", [this] { return book_.DisplayType(*entry_.entry); });
        if (book_.AnswersResolved()) Value(L"Resolved", [] { return Variant::Bool(true); });
        Value(L"Index", [this] { return Variant::I4(index_); });
        // The entry behind the recipient is looked up in the address book on each access.
        Value(L"AddressEntry", [this] {
            auto directory = CurrentDirectory();
            const DirectoryEntry* now = directory->Find(entry_->id);
            if (!now) book_.EntryGone();
            return book_.AddressEntry(EntryRef{std::move(directory), now});
        });
    }

private:
    const RecipientBook& book_;
    EntryRef entry_;
    long index_;
};

class Recipients : public Object {
public:
    Recipients(const RecipientBook& book, std::vector<EntryRef> picked, std::vector<std::pair<size_t, Variant>> strays)
        : Object(L"Recipients", L""), book_(book), picked_(std::move(picked)), strays_(std::move(strays)) {
        Value(L"Count", [this] { return Variant::I4(static_cast<int32_t>(picked_.size())); });
        Member(L"Item", {L"Index"}, [this](const CallArgs& args) { return RecipientAt(book_.Position(args, picked_)); });
        Value(L"_NewEnum", [this] {
            std::vector<Variant> items;
            for (size_t i = 0; i <= picked_.size(); ++i) {
                for (const auto& [at, value] : strays_)
                    if (at == i) items.push_back(value);
                if (i < picked_.size()) items.push_back(RecipientAt(i));
            }
            return NewEnum(std::move(items));
        });
    }

private:
    Variant RecipientAt(size_t i) const { return Hand(new Recipient(book_, picked_[i], static_cast<long>(i + 1))); }

    const RecipientBook& book_;
    std::vector<EntryRef> picked_;
    std::vector<std::pair<size_t, Variant>> strays_;
};

// CDO's recipients: the entry's answers where the scenario gives them, an address with its
// type in front ("SMTP:ann@example.com"), and a number as the only index.
class CdoRecipientBook final : public RecipientBook {
public:
    Variant Name(const DirectoryEntry& e) const override { return e.Answer(L"Name", Variant::Str(e.name)); }
    Variant Address(const DirectoryEntry& e) const override { return Variant::Str(e.type + L":" + e.address); }
    Variant DisplayType(const DirectoryEntry& e) const override {
        return e.Answer(L"DisplayType", Variant::I4(e.displayType));
    }
    bool AnswersResolved() const override { return false; }
    size_t Position(const CallArgs& args, const std::vector<EntryRef>& picked) const override {
        long i = IndexArg(args);
        if (i < 1 || static_cast<size_t>(i) > picked.size()) FailWith(kNotFound);
        return static_cast<size_t>(i - 1);
    }
    [[noreturn]] void EntryGone() const override { FailWith(kNotFound); }
    Variant AddressEntry(EntryRef entry) const override { return NewAddressEntry(std::move(entry)); }
};

}  // namespace

Variant NewRecipients(const RecipientBook& book, std::vector<EntryRef> picked, std::vector<std::pair<size_t, Variant>> strays) {
    return Hand(new Recipients(book, std::move(picked), std::move(strays)));
}

Variant NewRecipients(std::vector<EntryRef> picked, std::vector<std::pair<size_t, Variant>> strays) {
    static const CdoRecipientBook* book = new CdoRecipientBook;  // never destroyed: recipients may outlive statics
    return NewRecipients(*book, std::move(picked), std::move(strays));
}

}  // namespace sim::cdo
