#include "directory.h"

#include <stdexcept>

#include "sim_object.h"
#include "sim_state.h"

namespace sim::cdo {

namespace {

struct State {
    std::shared_ptr<const Directory> directory = std::make_shared<Directory>();
    size_t nextPick = 0;
};

State& S() {
    static State* s = new State;  // never destroyed: objects may outlive static destruction
    return *s;
}

// Tags a hand-written file may give by name instead of by number.
const std::map<std::string, ULONG>& NamedTags() {
    static const std::map<std::string, ULONG> tags = {
        {"PR_DISPLAY_NAME", PR_DISPLAY_NAME},   {"PR_ADDRTYPE", PR_ADDRTYPE},
        {"PR_EMAIL_ADDRESS", PR_EMAIL_ADDRESS}, {"PR_DISPLAY_TYPE", PR_DISPLAY_TYPE},
        {"PR_SMTP_ADDRESS", 0x39FE001E},        {"PR_GIVEN_NAME", 0x3A06001E},
        {"PR_SURNAME", 0x3A11001E},             {"PR_TITLE", 0x3A17001E},
        {"PR_COMPANY_NAME", 0x3A16001E},        {"PR_DEPARTMENT_NAME", 0x3A18001E},
        {"PR_BUSINESS_TELEPHONE_NUMBER", 0x3A08001E},
    };
    return tags;
}

[[noreturn]] void Invalid(const std::string& what) { throw std::invalid_argument("cdo scenario: " + what); }

ULONG ParseTag(const nlohmann::json& tag, const std::string& entryId) {
    if (tag.is_number_unsigned() || tag.is_number_integer()) return static_cast<ULONG>(tag.get<long long>());
    if (!tag.is_string()) Invalid("a field tag of \"" + entryId + "\" is neither a number nor a string");
    std::string text = tag.get<std::string>();
    auto named = NamedTags().find(text);
    if (named != NamedTags().end()) return named->second;
    size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size()) Invalid("field tag \"" + text + "\" of \"" + entryId + "\" is not a number");
    return static_cast<ULONG>(value);
}

orv::Variant ParseValue(const nlohmann::json& v) {
    try {
        return TypedValue(v);
    } catch (const std::invalid_argument& e) {
        Invalid(std::string("a field value: ") + e.what());
    }
}

void SetField(std::vector<Property>& fields, Property field) {
    for (Property& p : fields)
        if (p.tag == field.tag) {
            p = std::move(field);
            return;
        }
    fields.push_back(std::move(field));
}

DirectoryEntry ParseEntry(const nlohmann::json& j) {
    if (!j.is_object()) Invalid("a directory entry is not an object");
    DirectoryEntry e;
    e.id = Widen(j.at("id").get<std::string>());
    if (e.id.empty()) Invalid("a directory entry has an empty id");
    std::string id = Narrow(e.id);
    e.name = Widen(j.value("name", ""));
    e.type = Widen(j.value("type", "SMTP"));
    e.address = Widen(j.value("address", ""));
    e.isList = j.contains("members");
    e.displayType = j.value("displayType", e.isList ? 1L : 0L);
    if (e.isList && !j.at("members").is_array()) Invalid("the members of \"" + id + "\" are not a list");
    if (e.isList)
        for (const auto& m : j.at("members")) e.members.push_back(Widen(m.get<std::string>()));
    e.userType = j.value("userType", -1L);
    if (j.contains("userType") && e.userType < 0) Invalid("the user type of \"" + id + "\" is negative");
    e.hasPrimarySmtp = j.contains("primarySmtpAddress");
    if (e.hasPrimarySmtp) e.primarySmtp = Widen(j.at("primarySmtpAddress").get<std::string>());

    // Every entry carries the basic properties, as the address book's own entries do; the
    // scenario's fields follow, and one with the same tag takes its place instead.
    e.fields.push_back(Property{PR_DISPLAY_NAME, orv::Variant::Str(e.name), {}, false});
    e.fields.push_back(Property{PR_ADDRTYPE, orv::Variant::Str(e.type), {}, false});
    e.fields.push_back(Property{PR_EMAIL_ADDRESS, orv::Variant::Str(e.address), {}, false});
    e.fields.push_back(Property{PR_DISPLAY_TYPE, orv::Variant::I4(e.displayType), {}, false});
    if (j.contains("answers")) {
        if (!j.at("answers").is_object()) Invalid("the answers of \"" + id + "\" are not an object");
        for (const auto& [member, value] : j.at("answers").items()) e.answers[Widen(member)] = ParseValue(value);
    }
    if (j.contains("fields")) {
        const auto& f = j.at("fields");
        if (f.is_object()) {
            for (const auto& [tag, value] : f.items()) SetField(e.fields, Property{ParseTag(tag, id), ParseValue(value), {}, false});
        } else if (f.is_array()) {
            for (const auto& pair : f) {
                if (!pair.is_array() || pair.size() < 2 || pair.size() > 3)
                    Invalid("a field of \"" + id + "\" is not a [tag, value] pair (or [tag, value, ID answer])");
                Property field{ParseTag(pair[0], id), ParseValue(pair[1]), {}, pair.size() == 3};
                if (field.hasId) field.id = ParseValue(pair[2]);
                SetField(e.fields, std::move(field));
            }
        } else if (!f.is_null()) {
            Invalid("the fields of \"" + id + "\" are neither an object nor a list of pairs");
        }
    }
    return e;
}

Pick ParsePick(const nlohmann::json& j) {
    Pick p;
    if (j.is_string() && j.get<std::string>() == "cancel") {
        p.cancel = true;
        return p;
    }
    if (!j.is_array()) Invalid("a pick is neither a list of entry ids nor \"cancel\"");
    for (const auto& id : j) {
        if (id.is_string()) p.ids.push_back(Widen(id.get<std::string>()));
        else p.strays.emplace_back(p.ids.size(), ParseValue(id));
    }
    return p;
}

}  // namespace

[[noreturn]] void FailWith(HRESULT hr) {
    const wchar_t* name = hr == kNotInitialized ? L"MAPI_E_NOT_INITIALIZED"
                        : hr == kUserCancel     ? L"MAPI_E_USER_CANCEL"
                        : hr == kNotFound       ? L"MAPI_E_NOT_FOUND"
                        : hr == kNoSupport      ? L"MAPI_E_NO_SUPPORT"
                                                : L"MAPI_E_INVALID_PARAMETER";
    wchar_t code[16];
    swprintf(code, 16, L"%08lX", static_cast<unsigned long>(hr));
    Fail(hr, std::wstring(L"[Collaboration Data Objects - [") + name + L"(" + code + L")]]");
}

const DirectoryEntry* Directory::Find(const std::wstring& id) const {
    auto it = entries.find(id);
    return it == entries.end() ? nullptr : &it->second;
}

Directory ParseDirectory(const nlohmann::json& cdo) {
    Directory d;
    if (cdo.is_null()) return d;
    if (!cdo.is_object()) Invalid("the section is not an object");
    if (cdo.contains("directory"))
        for (const auto& j : cdo.at("directory")) {
            DirectoryEntry e = ParseEntry(j);
            std::wstring id = e.id;
            if (!d.entries.emplace(id, std::move(e)).second) Invalid("entry id \"" + Narrow(id) + "\" is used twice");
        }
    if (cdo.contains("picks"))
        for (const auto& j : cdo.at("picks")) d.picks.push_back(ParsePick(j));

    // Every id must name an entry: a typing error in a hand-edited file shows at once.
    for (const auto& [id, e] : d.entries)
        for (const auto& m : e.members)
            if (!d.Find(m)) Invalid("member \"" + Narrow(m) + "\" of \"" + Narrow(id) + "\" is not in the directory");
    for (const Pick& p : d.picks)
        for (const auto& id : p.ids)
            if (!d.Find(id)) Invalid("picked entry \"" + Narrow(id) + "\" is not in the directory");
    return d;
}

std::shared_ptr<const Directory> CurrentDirectory() { return S().directory; }

void ReplaceDirectory(Directory directory) {
    S().directory = std::make_shared<const Directory>(std::move(directory));
    S().nextPick = 0;
}

Pick NextPick() {
    State& s = S();
    if (s.nextPick >= s.directory->picks.size()) {
        ++s.nextPick;
        return Pick{true, {}, {}};
    }
    return s.directory->picks[s.nextPick++];
}

}  // namespace sim::cdo
