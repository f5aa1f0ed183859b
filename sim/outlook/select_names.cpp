// The Select Names dialog and the Recipients it returns. Its answers are the scenario's picks,
// counted together with the CDO stand-in's address-book dialogs: each is the user's next answer.
#include "cdo/recipients.h"
#include "client_directory.h"
#include "sim_state.h"

namespace sim::outlook {

namespace {

constexpr long olShowNone = 0;
constexpr long olShowToCcBcc = 3;

// The client's recipients: the entry's own name, address and display type, an index by
// number or by name, and the client's words for an entry that has gone.
class ClientRecipientBook final : public cdo::RecipientBook {
public:
    Variant Name(const DirectoryEntry& e) const override { return Variant::Str(e.name); }
    Variant Address(const DirectoryEntry& e) const override { return Variant::Str(e.address); }
    Variant DisplayType(const DirectoryEntry& e) const override { return Variant::I4(e.displayType); }
    bool AnswersResolved() const override { return true; }
    size_t Position(const CallArgs& args, const std::vector<EntryRef>& picked) const override {
        return ItemPosition(args, picked.size(), [&](size_t k) -> const std::wstring& { return picked[k]->name; });
    }
    [[noreturn]] void EntryGone() const override { ObjectNotFound(); }
    Variant AddressEntry(EntryRef entry) const override { return NewAddressEntry(std::move(entry)); }
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

Variant NewRecipients(std::vector<EntryRef> picked) {
    static const ClientRecipientBook* book = new ClientRecipientBook;  // never destroyed: recipients may outlive statics
    return cdo::NewRecipients(*book, std::move(picked));
}
Variant NewSelectNamesDialog() { return Hand(new SelectNamesDialog); }

}  // namespace sim::outlook
