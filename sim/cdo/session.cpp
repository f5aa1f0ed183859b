// The CDO session ("MAPI.Session"): Logon, Logoff and the address-book dialog, whose answers
// come from the scenario's picks.
#include "objects.h"
#include "parts.h"
#include "sim_state.h"

namespace sim {

namespace cdo {

namespace {

const IID IID_CdoSession = {0x3FA7DEA8, 0x6438, 0x101B, {0xAC, 0xC1, 0x00, 0xAA, 0x00, 0x42, 0x33, 0x26}};

// Reading each argument that was given checks its type the way the library does: a value
// that doesn't convert fails the call (type mismatch) before anything happens.
void CheckStrings(const CallArgs& args, std::initializer_list<size_t> positions) {
    for (size_t i : positions)
        if (const VARIANT* v = args.At(i)) orv::ToString(*v);
}
void CheckBools(const CallArgs& args, std::initializer_list<size_t> positions) {
    for (size_t i : positions)
        if (const VARIANT* v = args.At(i)) orv::ToBool(*v);
}
bool BoolArg(const CallArgs& args, size_t i) {
    const VARIANT* v = args.At(i);
    return v && orv::ToBool(*v);
}

class Session : public Object {
public:
    Session() : Object(L"Session", L"", {IID_CdoSession}) {
        Member(L"Logon",
               {L"ProfileName", L"ProfilePassword", L"ShowDialog", L"NewSession", L"ParentWindow", L"NoMail",
                L"ProfileInfo"},
               [this](const CallArgs& args) {
                   CheckStrings(args, {0, 1, 6});
                   CheckBools(args, {2, 3, 5});
                   if (const VARIANT* w = args.At(4)) orv::ToLong(*w);
                   loggedOn_ = true;
                   return Variant();
               });
        Member(L"Logoff", {}, [this](const CallArgs&) {
            if (!loggedOn_) FailWith(kNotInitialized);
            loggedOn_ = false;
            return Variant();
        });
        Member(L"AddressBook",
               {L"Recipients", L"Title", L"OneAddress", L"ForceResolution", L"RecipLists", L"ToLabel", L"CcLabel",
                L"BccLabel", L"ParentWindow"},
               [this](const CallArgs& args) { return AddressBook(args); });
    }

private:
    Variant AddressBook(const CallArgs& args) {
        if (!loggedOn_) FailWith(kNotInitialized);
        CheckStrings(args, {1, 5, 6, 7});
        CheckBools(args, {2, 3});
        if (const VARIANT* w = args.At(8)) orv::ToLong(*w);
        if (const VARIANT* lists = args.At(4)) {
            long n = orv::ToLong(*lists);
            if (n < 0 || n > 3) FailWith(kInvalidParameter);
        }
        // The user's answer to this dialog.
        Pick pick = NextPick();
        if (pick.cancel) FailWith(kUserCancel);
        if (BoolArg(args, 2) && pick.ids.size() > 1) pick.ids.resize(1);
        auto directory = CurrentDirectory();
        std::vector<EntryRef> picked;
        for (const std::wstring& id : pick.ids)
            if (const DirectoryEntry* e = directory->Find(id)) picked.push_back(EntryRef{directory, e});
        return NewRecipients(std::move(picked), pick.strays);
    }

    bool loggedOn_ = false;
};

void LoadCdoSection(const nlohmann::json& scenario) {
    ReplaceDirectory(ParseDirectory(scenario.contains("cdo") ? scenario["cdo"] : nlohmann::json()));
}

void CheckCdoSection(const nlohmann::json& cdo, const std::string&) { ParseDirectory(cdo); }

const bool registered = (RegisterScenarioLoader("cdo", &CheckCdoSection, &LoadCdoSection), true);

}  // namespace

}  // namespace cdo

HRESULT CreateCdoSession(IUnknown** out) {
    *out = static_cast<IDispatch*>(new cdo::Session);
    return S_OK;
}

}  // namespace sim
