#include "directory.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "data_file.h"
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

ULONG ParseTag(const nlohmann::json& tag, const std::string& path) {
    if (tag.is_number_unsigned() || tag.is_number_integer()) return static_cast<ULONG>(tag.get<long long>());
    std::string text = StringValue(tag, path);
    auto named = NamedTags().find(text);
    if (named != NamedTags().end()) return named->second;
    unsigned long value = 0;
    if (!WholeNumberText(text, &value))
        throw DataError(path, "\"" + text + "\" is neither a property tag's number nor one of its names");
    return static_cast<ULONG>(value);
}

orv::Variant ParseValue(const nlohmann::json& v, const std::string& path) {
    try {
        return TypedValue(v);
    } catch (const std::invalid_argument& e) {
        throw DataError(path, e.what());
    }
}

// Four flag bytes, then the id's UTF-8 bytes: unique as the id is, and the same entry's
// whichever list or pick it is reached through.
std::string EntryIdBytes(const std::wstring& id) { return std::string(4, '\0') + Narrow(id); }

orv::Variant BinaryValue(const std::string& bytes) {
    orv::Variant v;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) throw std::bad_alloc();
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
        memcpy(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array);
    }
    VARIANT* p = v.put();
    p->parray = array;
    p->vt = VT_ARRAY | VT_UI1;
    return v;
}

void SetField(std::vector<Property>& fields, Property field) {
    for (Property& p : fields)
        if (p.tag == field.tag) {
            p = std::move(field);
            return;
        }
    fields.push_back(std::move(field));
}

DirectoryEntry ParseEntry(const nlohmann::json& j, const std::string& path) {
    ExpectObject(j, path);
    OnlyKeys(j, path, {"id", "name", "type", "address", "displayType", "members", "membersDenied", "fields", "userType",
                      "primarySmtpAddress", "answers"});
    DirectoryEntry e;
    if (!j.contains("id")) throw DataError(path, "an entry needs an id");
    e.id = Widen(StringValue(j["id"], Member(path, "id")));
    if (e.id.empty()) throw DataError(Member(path, "id"), "the id is empty");
    e.name = Widen(StringAt(j, path, "name", ""));
    e.type = Widen(StringAt(j, path, "type", "SMTP"));
    e.address = Widen(StringAt(j, path, "address", ""));
    e.isList = j.contains("members");
    e.displayType = IntegerAt(j, path, "displayType", e.isList ? 1L : 0L);
    if (e.isList) {
        const std::string at = Member(path, "members");
        ExpectArray(j["members"], at);
        for (size_t i = 0; i < j["members"].size(); ++i) e.members.push_back(Widen(StringValue(j["members"][i], Element(at, i))));
    }
    e.membersDenied = BoolAt(j, path, "membersDenied", false);
    if (e.membersDenied && !e.isList)
        throw DataError(Member(path, "membersDenied"), "only a list (an entry with \"members\") has members to deny");
    e.entryId = BinaryValue(EntryIdBytes(e.id));
    e.userType = IntegerAt(j, path, "userType", -1L);
    if (j.contains("userType") && e.userType < 0) throw DataError(Member(path, "userType"), "a user type is never negative");
    e.hasPrimarySmtp = j.contains("primarySmtpAddress");
    if (e.hasPrimarySmtp) e.primarySmtp = Widen(StringAt(j, path, "primarySmtpAddress", ""));

    // Every entry carries the basic properties, as the address book's own entries do; the
    // scenario's fields follow, and one with the same tag takes its place instead.
    e.fields.push_back(Property{PR_DISPLAY_NAME, orv::Variant::Str(e.name), {}, false});
    e.fields.push_back(Property{PR_ADDRTYPE, orv::Variant::Str(e.type), {}, false});
    e.fields.push_back(Property{PR_EMAIL_ADDRESS, orv::Variant::Str(e.address), {}, false});
    e.fields.push_back(Property{PR_DISPLAY_TYPE, orv::Variant::I4(e.displayType), {}, false});
    if (j.contains("answers")) {
        const std::string at = Member(path, "answers");
        ExpectObject(j["answers"], at);
        for (const auto& [member, value] : j["answers"].items()) {
            if (member != "Name" && member != "Address" && member != "Type" && member != "DisplayType" && member != "ID" &&
                member != "Count")
                throw DataError(Member(at, member), "no member of an entry answers by that name");
            e.answers[Widen(member)] = ParseValue(value, Member(at, member));
        }
    }
    if (j.contains("fields")) {
        const auto& f = j.at("fields");
        const std::string at = Member(path, "fields");
        if (f.is_object()) {
            for (const auto& [tag, value] : f.items())
                SetField(e.fields, Property{ParseTag(tag, Member(at, tag)), ParseValue(value, Member(at, tag)), {}, false});
        } else if (f.is_array()) {
            for (size_t i = 0; i < f.size(); ++i) {
                const auto& pair = f[i];
                const std::string pat = Element(at, i);
                if (!pair.is_array() || pair.size() < 2 || pair.size() > 3)
                    throw DataError(pat, std::string("expected a [tag, value] pair or [tag, value, ID answer], not ") +
                                             (pair.is_array() ? "a list of " + std::to_string(pair.size()) : KindName(pair)));
                Property field{ParseTag(pair[0], Element(pat, 0)), ParseValue(pair[1], Element(pat, 1)), {}, pair.size() == 3};
                if (field.hasId) field.id = ParseValue(pair[2], Element(pat, 2));
                SetField(e.fields, std::move(field));
            }
        } else if (!f.is_null()) {
            throw DataError(at, std::string("expected an object or a list of [tag, value] pairs, not ") + KindName(f));
        }
    }
    return e;
}

Pick ParsePick(const nlohmann::json& j, const std::string& path) {
    Pick p;
    if (j.is_string() && j.get<std::string>() == "cancel") {
        p.cancel = true;
        return p;
    }
    if (!j.is_array()) throw DataError(path, std::string("expected a list of entry ids or \"cancel\", not ") + KindName(j));
    for (size_t i = 0; i < j.size(); ++i) {
        if (j[i].is_string()) p.ids.push_back(Widen(j[i].get<std::string>()));
        else p.strays.emplace_back(p.ids.size(), ParseValue(j[i], Element(path, i)));
    }
    return p;
}

}  // namespace

[[noreturn]] void FailWith(HRESULT hr) {
    const wchar_t* name = hr == kNotInitialized ? L"MAPI_E_NOT_INITIALIZED"
                        : hr == kUserCancel     ? L"MAPI_E_USER_CANCEL"
                        : hr == kNotFound       ? L"MAPI_E_NOT_FOUND"
                        : hr == kNoSupport      ? L"MAPI_E_NO_SUPPORT"
                        : hr == kNoAccess       ? L"MAPI_E_NO_ACCESS"
                                                : L"MAPI_E_INVALID_PARAMETER";
    wchar_t code[16];
    swprintf(code, 16, L"%08lX", static_cast<unsigned long>(hr));
    Fail(hr, std::wstring(L"[Collaboration Data Objects - [") + name + L"(" + code + L")]]");
}

std::wstring EntryIdText(const DirectoryEntry& e) {
    std::wstring text;
    for (unsigned char c : EntryIdBytes(e.id)) {
        wchar_t hex[3];
        swprintf(hex, 3, L"%02X", c);
        text += hex;
    }
    return text;
}

const DirectoryEntry* Directory::Find(const std::wstring& id) const {
    auto it = entries.find(id);
    return it == entries.end() ? nullptr : &it->second;
}

Directory ParseDirectory(const nlohmann::json& cdo) {
    Directory d;
    if (cdo.is_null()) return d;
    ExpectObject(cdo, "cdo");
    OnlyKeys(cdo, "cdo", {"directory", "picks"});
    // Where each entry is, in the file's order, for the messages below.
    std::vector<std::wstring> order;
    std::map<std::wstring, std::string> placeOf;
    if (cdo.contains("directory")) {
        const auto& list = cdo["directory"];
        ExpectArray(list, "cdo.directory");
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string at = Element("cdo.directory", i);
            DirectoryEntry e = ParseEntry(list[i], at);
            std::wstring id = e.id;
            if (!d.entries.emplace(id, std::move(e)).second)
                throw DataError(Member(at, "id"), "\"" + Narrow(id) + "\" is already the id of " + placeOf[id]);
            placeOf[id] = at;
            order.push_back(id);
        }
    }
    if (cdo.contains("picks")) {
        ExpectArray(cdo["picks"], "cdo.picks");
        for (size_t i = 0; i < cdo["picks"].size(); ++i) d.picks.push_back(ParsePick(cdo["picks"][i], Element("cdo.picks", i)));
    }

    // Every id must name an entry: a typing error in a hand-edited file shows at once.
    for (const std::wstring& id : order) {
        const auto& members = d.entries.at(id).members;
        for (size_t i = 0; i < members.size(); ++i)
            if (!d.Find(members[i]))
                throw DataError(Element(Member(placeOf[id], "members"), i), "\"" + Narrow(members[i]) + "\" is not in the directory");
    }
    for (size_t p = 0; p < d.picks.size(); ++p)
        for (size_t i = 0; i < d.picks[p].ids.size(); ++i)
            if (!d.Find(d.picks[p].ids[i]))
                throw DataError(Element(Element("cdo.picks", p), i), "\"" + Narrow(d.picks[p].ids[i]) + "\" is not in the directory");
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
