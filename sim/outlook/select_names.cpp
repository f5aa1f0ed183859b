// The Select Names dialog and the Recipients it returns. Its answers are the scenario's picks,
// counted together with the CDO stand-in's address-book dialogs: each is the user's next answer.
#include "client_directory.h"
#include "sim_state.h"

namespace sim::outlook {

namespace {

constexpr long olTo = 1;
constexpr long olShowNone = 0;
constexpr long olShowToCcBcc = 3;

class Recipient : public Object {
public:
    Recipient(EntryRef entry, long index) : Object(L"Recipient", entry->id), entry_(std::move(entry)), index_(index) {
        Value(L"Name", [this] { return Variant::Str(entry_->name); });
        Value(L"Address", [this] { return Variant::Str(entry_->address); });
        Value(L"Type", [] { return Variant::I4(olTo); });
        Value(L"DisplayType", [this] { return Variant::I4(entry_->displayType); });
        Value(L"Resolved", [] { return Variant::Bool(true); });
        Value(L"Index", [this] { return Variant::I4(index_); });
        // The entry behind the recipient is looked up in the address book on each access.
        Value(L"AddressEntry", [this] {
            auto directory = cdo::CurrentDirectory();
            const DirectoryEntry* now = directory->Find(entry_->id);
            if (!now) Fail(static_cast<HRESULT>(0x8004010F), L"The attempted operation failed.  An object could not be found.");
            return NewAddressEntry(EntryRef{std::move(directory), now});
        });
    }

private:
    EntryRef entry_;
    long index_;
};

class Recipients : public Object {
public:
    explicit Recipients(std::vector<EntryRef> picked) : Object(L"Recipients", L""), picked_(std::move(picked)) {
        Value(L"Count", [this] { return Variant::I4(static_cast<int32_t>(picked_.size())); });
        Member(L"Item", {L"Index"}, [this](const CallArgs& a) {
            size_t i = ItemPosition(a, picked_.size(), [this](size_t k) -> const std::wstring& { return picked_[k]->name; });
            return Hand(new Recipient(picked_[i], static_cast<long>(i + 1)));
        });
        Value(L"_NewEnum", [this] {
            std::vector<Variant> items;
            for (size_t i = 0; i < picked_.size(); ++i)
                items.push_back(Hand(new Recipient(picked_[i], static_cast<long>(i + 1))));
            return NewEnum(std::move(items));
        });
    }

private:
    std::vector<EntryRef> picked_;
};

// Property puts convert their value as the client's typed properties do: a value that
// doesn't convert fails the put (type mismatch) and changes nothing.
class SelectNamesDialog : public Object {
public:
    SelectNamesDialog() : Object(L"SelectNamesDialog", L"") {
        Text(L"Caption", caption_);
        Text(L"ToLabel", toLabel_);
        Text(L"CcLabel", ccLabel_);
        Text(L"BccLabel", bccLabel_);
        Field(L"NumberOfRecipientSelectors", [this] { return Variant::I4(selectors_); },
              [this](const VARIANT& v) {
                  long n = orv::ToLong(v);
                  if (n < olShowNone || n > olShowToCcBcc) Fail(E_INVALIDARG, L"The value is out of range.");
                  selectors_ = n;
              });
        Flag(L"AllowMultipleSelection", allowMultiple_);
        Flag(L"ForceResolution", forceResolution_);
        Flag(L"ShowOnlyInitialAddressList", showOnlyInitial_);
        Member(L"Recipients", {}, [this](const CallArgs&) { return CurrentRecipients(); },
               [this](const CallArgs&, const VARIANT& v) {
                   Variant value = Variant::CopyOf(v);
                   if (value.vt() != VT_DISPATCH || !value.get().pdispVal) Fail(DISP_E_TYPEMISMATCH, L"Type mismatch.");
                   initial_ = value;
               });
        Member(L"Display", {}, [this](const CallArgs&) { return Display(); });
    }

private:
    void Text(const wchar_t* name, std::wstring& value) {
        Field(name, [&value] { return Variant::Str(value); }, [&value](const VARIANT& v) { value = orv::ToString(v); });
    }
    void Flag(const wchar_t* name, bool& value) {
        Field(name, [&value] { return Variant::Bool(value); }, [&value](const VARIANT& v) { value = orv::ToBool(v); });
    }

    // The recipients set before the dialog until it returns with the user's choice.
    Variant CurrentRecipients() {
        if (answered_) return NewRecipients(picked_);
        if (initial_.vt() == VT_DISPATCH) return initial_;
        return NewRecipients({});
    }

    Variant Display() {
        cdo::Pick pick = cdo::NextPick();
        if (pick.cancel) return Variant::Bool(false);
        // Without any recipient box the dialog ignores AllowMultipleSelection.
        if (!allowMultiple_ && selectors_ != olShowNone && pick.ids.size() > 1) pick.ids.resize(1);
        auto directory = cdo::CurrentDirectory();
        picked_.clear();
        for (const std::wstring& id : pick.ids)
            if (const DirectoryEntry* e = directory->Find(id)) picked_.push_back(EntryRef{directory, e});
        answered_ = true;
        initial_ = Variant();
        return Variant::Bool(true);
    }

    std::wstring caption_ = L"Select Names";
    std::wstring toLabel_ = L"To";
    std::wstring ccLabel_ = L"Cc";
    std::wstring bccLabel_ = L"Bcc";
    long selectors_ = olShowToCcBcc;
    bool allowMultiple_ = true;
    bool forceResolution_ = false;
    bool showOnlyInitial_ = false;
    Variant initial_;  // a Recipients collection the caller put, held until the dialog answers
    bool answered_ = false;
    std::vector<EntryRef> picked_;
};

}  // namespace

Variant NewRecipients(std::vector<EntryRef> picked) { return Hand(new Recipients(std::move(picked))); }
Variant NewSelectNamesDialog() { return Hand(new SelectNamesDialog); }

}  // namespace sim::outlook
