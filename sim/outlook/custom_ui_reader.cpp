// Reading a customUI document the way the client does: xmllite (the system's XML reader) for
// well-formedness and namespaces, then the schema's rules for the elements the stand-in shows.
// The document arrives as a string, so its XML declaration's encoding says nothing: the reader
// is told the text is UTF-16.
#include "custom_ui_reader.h"

#include <windows.h>
#include <ole2.h>
#include <shlwapi.h>
#include <wrl/client.h>
#include <xmllite.h>

#include <set>
#include <tuple>

#include "ribbon.h"

namespace sim::outlook {

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kXmlnsNamespace[] = L"http://www.w3.org/2000/xmlns/";
// Far beyond any ribbon; it keeps a runaway document (or reader) from holding the host.
constexpr size_t kMaxNodes = 100000;
constexpr size_t kMaxString = 1024;
constexpr size_t kMaxLongString = 4096;

[[noreturn]] void Refuse(unsigned line, unsigned column, std::wstring problem) {
    throw CustomUIRefusal{line, column, std::move(problem)};
}

using CreateReaderFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
using CreateInputFn = HRESULT(WINAPI*)(IUnknown*, IMalloc*, LPCWSTR, BOOL, LPCWSTR, IXmlReaderInput**);

// xmllite.dll comes with the system but mingw has no import library for it: its two entry
// points are looked up by name, once.
struct XmlLite {
    CreateReaderFn createReader = nullptr;
    CreateInputFn createInput = nullptr;
};

const XmlLite& Library() {
    static const XmlLite lib = [] {
        XmlLite l;
        if (HMODULE m = LoadLibraryW(L"xmllite.dll")) {
            l.createReader = reinterpret_cast<CreateReaderFn>(reinterpret_cast<void*>(GetProcAddress(m, "CreateXmlReader")));
            l.createInput = reinterpret_cast<CreateInputFn>(
                reinterpret_cast<void*>(GetProcAddress(m, "CreateXmlReaderInputWithEncodingName")));
        }
        return l;
    }();
    return lib;
}

std::wstring Hex(HRESULT hr) {
    wchar_t buf[16];
    swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

// What the reader's error code means, for the log.
std::wstring ReaderProblem(HRESULT hr) {
    struct Known {
        unsigned long hr;  // XmlError's values, which don't fit an HRESULT's type as written
        const wchar_t* text;
    };
    static const Known kKnown[] = {
        {MX_E_INPUTEND, L"the document ends early"},
        {WC_E_WHITESPACE, L"a blank is missing"},
        {WC_E_SEMICOLON, L"a reference lacks its ';'"},
        {WC_E_GREATERTHAN, L"a '>' is missing"},
        {WC_E_QUOTE, L"an attribute value lacks its quotes"},
        {WC_E_EQUAL, L"an attribute lacks its '='"},
        {WC_E_LESSTHAN, L"a '<' stands in an attribute value"},
        {WC_E_XMLCHARACTER, L"a character XML does not allow"},
        {WC_E_NAMECHARACTER, L"a name holds a character names cannot hold"},
        {WC_E_SYNTAX, L"a syntax error (text outside the root element, or a second root)"},
        {WC_E_COMMENT, L"a comment is not closed properly"},
        {WC_E_ELEMENTMATCH, L"an end tag does not match its start tag"},
        {WC_E_UNIQUEATTRIBUTE, L"an attribute appears twice"},
        {WC_E_LEADINGXML, L"the XML declaration is not at the start"},
        {WC_E_XMLDECL, L"the XML declaration is malformed"},
        {WC_E_UNDECLAREDENTITY, L"a reference to an undeclared entity"},
        {WC_E_DTDPROHIBITED, L"a document type declaration (DTD) is not allowed"},
        {NC_E_UNDECLAREDPREFIX, L"a prefix without its namespace declaration"},
        {SC_E_MAXELEMENTDEPTH, L"the elements are nested too deeply"},
    };
    for (const Known& k : kKnown)
        if (static_cast<HRESULT>(k.hr) == hr) return std::wstring(k.text) + L" (" + Hex(hr) + L")";
    return L"the text is not well-formed XML (" + Hex(hr) + L")";
}

// XML 1.0 allows tab, line feed, carriage return and everything from the blank on, except
// lone surrogates and U+FFFE, U+FFFF. Not every reader refuses the rest, so the text is
// checked before it is read.
void CheckCharacters(const std::wstring& text) {
    unsigned line = 1, column = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        ++column;
        bool allowed = c >= 0x20 || c == L'\t' || c == L'\n' || c == L'\r';
        if (c == 0xFFFE || c == 0xFFFF) allowed = false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            allowed = i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            if (allowed) ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            allowed = false;
        }
        if (!allowed) {
            wchar_t code[16];
            swprintf(code, 16, L"U+%04X", static_cast<unsigned>(c));
            Refuse(line, column, std::wstring(L"the character ") + code + L" is not allowed in XML");
        }
        if (c == L'\n') {
            ++line;
            column = 0;
        }
    }
}

// What the stand-in does with an element: those it shows, and the rest (passed over).
enum class Kind { None, CustomUI, Ribbon, Tabs, Tab, Group, Button, CheckBox, DropDown, Item, PassedOver };

struct ElementRule {
    const wchar_t* name;
    Kind kind;
    Kind parent;
    bool named;  // needs exactly one of id, idMso, idQ
    std::vector<const wchar_t*> attributes;
    bool needsId = false;  // an item: id only, and required
};

const std::vector<ElementRule>& Rules() {
    static const std::vector<ElementRule> rules = {
        {L"customUI", Kind::CustomUI, Kind::None, false, {L"onLoad", L"loadImage"}},
        {L"ribbon", Kind::Ribbon, Kind::CustomUI, false, {L"startFromScratch"}},
        {L"tabs", Kind::Tabs, Kind::Ribbon, false, {}},
        {L"tab", Kind::Tab, Kind::Tabs, true,
         {L"id", L"idQ", L"idMso", L"tag", L"label", L"getLabel", L"insertAfterMso", L"insertBeforeMso", L"insertAfterQ",
          L"insertBeforeQ", L"visible", L"getVisible", L"keytip", L"getKeytip"}},
        {L"group", Kind::Group, Kind::Tab, true,
         {L"id", L"idQ", L"idMso", L"tag", L"label", L"getLabel", L"image", L"imageMso", L"getImage", L"insertAfterMso",
          L"insertBeforeMso", L"insertAfterQ", L"insertBeforeQ", L"screentip", L"getScreentip", L"supertip",
          L"getSupertip", L"visible", L"getVisible", L"keytip", L"getKeytip", L"autoScale", L"centerVertically"}},
        {L"button", Kind::Button, Kind::Group, true,
         {L"id", L"idQ", L"idMso", L"tag", L"label", L"getLabel", L"image", L"imageMso", L"getImage", L"insertAfterMso",
          L"insertBeforeMso", L"insertAfterQ", L"insertBeforeQ", L"enabled", L"getEnabled", L"description",
          L"getDescription", L"visible", L"getVisible", L"keytip", L"getKeytip", L"screentip", L"getScreentip",
          L"supertip", L"getSupertip", L"showImage", L"getShowImage", L"showLabel", L"getShowLabel", L"size", L"getSize",
          L"onAction"}},
        {L"checkBox", Kind::CheckBox, Kind::Group, true,
         {L"id", L"idQ", L"idMso", L"tag", L"label", L"getLabel", L"insertAfterMso", L"insertBeforeMso", L"insertAfterQ",
          L"insertBeforeQ", L"enabled", L"getEnabled", L"description", L"getDescription", L"visible", L"getVisible",
          L"keytip", L"getKeytip", L"screentip", L"getScreentip", L"supertip", L"getSupertip", L"getPressed", L"onAction"}},
        {L"dropDown", Kind::DropDown, Kind::Group, true,
         {L"id", L"idQ", L"idMso", L"tag", L"label", L"getLabel", L"image", L"imageMso", L"getImage", L"insertAfterMso",
          L"insertBeforeMso", L"insertAfterQ", L"insertBeforeQ", L"enabled", L"getEnabled", L"visible", L"getVisible",
          L"keytip", L"getKeytip", L"screentip", L"getScreentip", L"supertip", L"getSupertip", L"showImage",
          L"getShowImage", L"showLabel", L"getShowLabel", L"showItemLabel", L"showItemImage", L"sizeString",
          L"getItemCount", L"getItemLabel", L"getItemScreentip", L"getItemSupertip", L"getItemImage", L"getItemID",
          L"getSelectedItemID", L"getSelectedItemIndex", L"onAction"}},
        {L"item", Kind::Item, Kind::DropDown, false, {L"id", L"label", L"image", L"imageMso", L"screentip", L"supertip"}, true},
    };
    return rules;
}

const ElementRule* RuleFor(const std::wstring& name) {
    for (const ElementRule& r : Rules())
        if (name == r.name) return &r;
    return nullptr;
}

// Attributes of which the schema allows one at most (a value and the callback that gives it
// instead, or the four ways to place a control).
const std::vector<std::vector<const wchar_t*>>& ExclusiveSets() {
    static const std::vector<std::vector<const wchar_t*>> sets = {
        {L"label", L"getLabel"},
        {L"image", L"imageMso", L"getImage"},
        {L"screentip", L"getScreentip"},
        {L"supertip", L"getSupertip"},
        {L"enabled", L"getEnabled"},
        {L"visible", L"getVisible"},
        {L"keytip", L"getKeytip"},
        {L"size", L"getSize"},
        {L"description", L"getDescription"},
        {L"showImage", L"getShowImage"},
        {L"showLabel", L"getShowLabel"},
        {L"insertAfterMso", L"insertBeforeMso", L"insertAfterQ", L"insertBeforeQ"},
    };
    return sets;
}

bool NameStart(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' || c >= 0x80; }
bool NameChar(wchar_t c) { return NameStart(c) || (c >= L'0' && c <= L'9') || c == L'.' || c == L'-'; }

// A name without a colon, as ids are.
bool IsNCName(const std::wstring& s) {
    if (s.empty() || !NameStart(s[0])) return false;
    for (wchar_t c : s)
        if (!NameChar(c)) return false;
    return true;
}

bool IsQName(const std::wstring& s) {
    size_t colon = s.find(L':');
    if (colon == std::wstring::npos) return IsNCName(s);
    return IsNCName(s.substr(0, colon)) && IsNCName(s.substr(colon + 1));
}

bool IsBoolean(const std::wstring& s) { return s == L"true" || s == L"false" || s == L"1" || s == L"0"; }

// Why the value doesn't fit the attribute's type in the schema, or "".
std::wstring ValueProblem(const std::wstring& name, const std::wstring& value) {
    auto quoted = L"\"" + value + L"\"";
    if (name == L"id" || name == L"idMso" || name == L"imageMso" || name == L"insertAfterMso" || name == L"insertBeforeMso")
        return IsNCName(value) && value.size() <= kMaxString ? L"" : quoted + L" is not an id (a name without blanks or colons)";
    if (name == L"idQ" || name == L"insertAfterQ" || name == L"insertBeforeQ")
        return IsQName(value) && value.size() <= kMaxString ? L"" : quoted + L" is not a qualified id";
    if (name == L"size") return value == L"normal" || value == L"large" ? L"" : quoted + L" is neither normal nor large";
    if (name == L"startFromScratch" || name == L"visible" || name == L"enabled" || name == L"showImage" ||
        name == L"showLabel" || name == L"autoScale" || name == L"centerVertically" || name == L"showItemLabel" ||
        name == L"showItemImage")
        return IsBoolean(value) ? L"" : quoted + L" is not true or false";
    if (name == L"keytip") {
        size_t b = value.find_first_not_of(L" \t\r\n");
        size_t e = value.find_last_not_of(L" \t\r\n");
        size_t n = b == std::wstring::npos ? 0 : e - b + 1;
        return n >= 1 && n <= 3 ? L"" : quoted + L" is not a key tip of 1 to 3 characters";
    }
    const size_t max = name == L"description" ? kMaxLongString : kMaxString;
    if (value.empty()) return L"the value is empty";
    if (value.size() > max) return L"the value is longer than " + std::to_wstring(max) + L" characters";
    return L"";
}

class Reader {
public:
    explicit Reader(const std::wstring& document) {
        const XmlLite& lib = Library();
        if (!lib.createReader || !lib.createInput) Refuse(0, 0, L"the system's XML reader (xmllite.dll) is not available");
        // Taken over as it comes (mingw's ComPtr::Attach would add a reference of its own).
        *stream_.GetAddressOf() = SHCreateMemStream(reinterpret_cast<const BYTE*>(document.data()),
                                                    static_cast<UINT>(document.size() * sizeof(wchar_t)));
        ComPtr<IUnknown> input;
        HRESULT hr = stream_ ? lib.createReader(__uuidof(IXmlReader), reinterpret_cast<void**>(reader_.GetAddressOf()), nullptr)
                             : E_OUTOFMEMORY;
        if (SUCCEEDED(hr)) hr = lib.createInput(stream_.Get(), nullptr, L"utf-16", FALSE, nullptr, input.GetAddressOf());
        if (SUCCEEDED(hr)) hr = reader_->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
        if (SUCCEEDED(hr)) hr = reader_->SetInput(input.Get());
        if (FAILED(hr)) Refuse(0, 0, L"the XML reader cannot be set up (" + Hex(hr) + L")");
    }

    CustomUI Run() {
        XmlNodeType type;
        HRESULT hr;
        while ((hr = reader_->Read(&type)) == S_OK) {
            Position();
            // A reader that hands out the same node again has stopped making progress: it
            // reached the end of the text inside an element.
            if (type == lastType_ && line_ == lastLine_ && column_ == lastColumn_) EndsEarly();
            lastType_ = type;
            lastLine_ = line_;
            lastColumn_ = column_;
            if (++nodes_ > kMaxNodes) Refuse(line_, column_, L"the document has more than " + std::to_wstring(kMaxNodes) + L" nodes");
            switch (type) {
                case XmlNodeType_Element: Element(); break;
                case XmlNodeType_EndElement: EndElement(); break;
                case XmlNodeType_Text:
                case XmlNodeType_CDATA: Text(); break;
                default: break;
            }
        }
        if (FAILED(hr)) {
            Position();
            Refuse(line_, column_, ReaderProblem(hr));
        }
        if (!open_.empty()) EndsEarly();
        if (!rootSeen_) Refuse(0, 0, L"the document holds no element");
        return std::move(ui_);
    }

private:
    struct Open {
        Kind kind;
        std::wstring name;  // as written, prefix included
        bool holdsButtons = false;  // a dropDown past its items: its buttons come last
    };

    void Position() {
        UINT line = 0, column = 0;
        reader_->GetLineNumber(&line);
        reader_->GetLinePosition(&column);
        line_ = line;
        column_ = column;
    }

    [[noreturn]] void EndsEarly() {
        Refuse(line_, column_, open_.empty() ? L"the document ends early" : L"the document ends inside <" + open_.back().name + L">");
    }

    std::wstring Get(HRESULT (STDMETHODCALLTYPE IXmlReader::*member)(LPCWSTR*, UINT*)) {
        LPCWSTR text = nullptr;
        UINT length = 0;
        if (FAILED((reader_.Get()->*member)(&text, &length)) || !text) return L"";
        return std::wstring(text, length);
    }

    struct RawAttribute {
        std::wstring name;  // as written
        std::wstring ns;
        std::wstring value;
    };

    // The attributes as the reader gives them, namespace declarations included.
    std::vector<RawAttribute> ReadAttributes() {
        std::vector<RawAttribute> out;
        for (HRESULT hr = reader_->MoveToFirstAttribute(); hr == S_OK; hr = reader_->MoveToNextAttribute())
            out.push_back(RawAttribute{Get(&IXmlReader::GetQualifiedName), Get(&IXmlReader::GetNamespaceUri),
                                       Get(&IXmlReader::GetValue)});
        reader_->MoveToElement();
        return out;
    }

    static std::wstring PrefixOf(const std::wstring& qualified) {
        size_t colon = qualified.find(L':');
        return colon == std::wstring::npos ? L"" : qualified.substr(0, colon);
    }

    // Refuses a name whose prefix no declaration in scope binds. Not every reader does: one
    // takes the default namespace instead.
    void CheckPrefix(const std::wstring& qualified, const std::wstring& shownAs) {
        const std::wstring prefix = PrefixOf(qualified);
        if (prefix.empty() || prefix == L"xml") return;
        for (const auto& scope : prefixes_)
            if (scope.count(prefix)) return;
        Refuse(line_, column_, L"the prefix of " + shownAs + L" is not declared");
    }

    // The element's attributes without the namespace declarations, each checked for a declared
    // prefix and appearing once (neither is checked by every reader). The declarations open
    // the element's scope of prefixes, which its end closes.
    Attributes TakeAttributes(const std::wstring& element, const std::vector<RawAttribute>& raw, bool shown) {
        std::set<std::wstring> declared;
        for (const RawAttribute& a : raw)
            if (a.ns == kXmlnsNamespace && PrefixOf(a.name) == L"xmlns") declared.insert(a.name.substr(6));
        prefixes_.push_back(std::move(declared));
        CheckPrefix(element, L"<" + element + L">");
        Attributes out;
        std::set<std::wstring> seen;
        for (const RawAttribute& a : raw) {
            if (a.ns == kXmlnsNamespace) continue;
            CheckPrefix(a.name, a.name);
            const size_t colon = a.name.find(L':');
            const std::wstring local = colon == std::wstring::npos ? a.name : a.name.substr(colon + 1);
            if (!seen.insert(a.ns + L"|" + local).second) Refuse(line_, column_, L"<" + element + L"> has the attribute " + a.name + L" twice");
            if (!shown && a.ns.empty() && a.name == L"id") NoteId(a.value);
            out.emplace_back(a.ns.empty() ? a.name : L"{" + a.ns + L"}" + a.name, a.value);
        }
        return out;
    }

    void NoteId(const std::wstring& id) {
        if (!ids_.insert(id).second) Refuse(line_, column_, L"the id \"" + id + L"\" is given twice");
    }

    void Element() {
        const std::wstring name = Get(&IXmlReader::GetQualifiedName);
        const std::wstring local = Get(&IXmlReader::GetLocalName);
        const std::wstring ns = Get(&IXmlReader::GetNamespaceUri);
        const bool empty = reader_->IsEmptyElement() != FALSE;
        const Kind parent = open_.empty() ? Kind::None : open_.back().kind;
        // A dropDown's own buttons follow its items; the stand-in doesn't show them.
        const bool dropDownButton = parent == Kind::DropDown && local == L"button";
        const ElementRule* rule = parent == Kind::PassedOver || dropDownButton ? nullptr : RuleFor(local);
        Attributes attributes = TakeAttributes(name, ReadAttributes(), rule != nullptr);

        if (parent == Kind::None) {
            rootSeen_ = true;
            if (ns != contract::kCustomUINamespace)
                Refuse(line_, column_, (ns.empty() ? std::wstring(L"the document is of no namespace") : L"the document's namespace is " + ns) +
                                           L", not " + contract::kCustomUINamespace);
            if (local != L"customUI") Refuse(line_, column_, L"the root element is <" + name + L">, not <customUI>");
        } else if (ns != contract::kCustomUINamespace) {
            Refuse(line_, column_, L"<" + name + L"> is not of the customUI namespace");
        }
        if (rule && rule->parent != parent)
            Refuse(line_, column_, L"<" + name + L"> cannot stand in <" + (open_.empty() ? L"" : open_.back().name) + L">");
        if (dropDownButton) open_.back().holdsButtons = true;
        if (rule && rule->kind == Kind::Item && open_.back().holdsButtons)
            Refuse(line_, column_, L"<" + name + L"> cannot follow a <button> in <" + open_.back().name + L">");
        const Kind kind = rule ? rule->kind : Kind::PassedOver;
        if (rule) Check(*rule, name, attributes);
        Keep(kind, attributes);
        if (empty) prefixes_.pop_back();
        else open_.push_back(Open{kind, name});
    }

    // The schema's rules for an element the stand-in shows.
    void Check(const ElementRule& rule, const std::wstring& element, const Attributes& attributes) {
        auto has = [&](const wchar_t* n) {
            for (const auto& a : attributes)
                if (a.first == n) return true;
            return false;
        };
        for (const auto& [name, value] : attributes) {
            bool known = false;
            for (const wchar_t* k : rule.attributes) known = known || name == k;
            if (!known) Refuse(line_, column_, L"<" + element + L"> has no attribute " + name);
            std::wstring problem = ValueProblem(name, value);
            if (!problem.empty()) Refuse(line_, column_, L"<" + element + L"> " + name + L": " + problem);
            if (name == L"id") NoteId(value);
        }
        if (rule.named && has(L"id") + has(L"idMso") + has(L"idQ") != 1)
            Refuse(line_, column_, L"<" + element + L"> needs exactly one of id, idMso and idQ");
        if (rule.needsId && !has(L"id")) Refuse(line_, column_, L"<" + element + L"> needs an id");
        for (const auto& set : ExclusiveSets()) {
            std::vector<std::wstring> given;
            for (const wchar_t* n : set)
                if (has(n)) given.push_back(n);
            if (given.size() > 1) Refuse(line_, column_, L"<" + element + L"> has both " + given[0] + L" and " + given[1]);
        }
    }

    static std::pair<std::wstring, std::wstring> NameOf(const Attributes& attributes) {
        for (const auto& a : attributes)
            if (a.first == L"id" || a.first == L"idMso" || a.first == L"idQ") return a;
        return {};
    }

    static std::wstring Value(const Attributes& attributes, const wchar_t* name) {
        for (const auto& a : attributes)
            if (a.first == name) return a.second;
        return L"";
    }

    void Keep(Kind kind, const Attributes& attributes) {
        switch (kind) {
            case Kind::CustomUI: ui_.onLoad = Value(attributes, L"onLoad"); break;
            case Kind::Tab:
                ++ui_.tabs;
                std::tie(tabBy_, tab_) = NameOf(attributes);
                break;
            case Kind::Group:
                ++ui_.groups;
                std::tie(groupBy_, group_) = NameOf(attributes);
                groupLabel_ = Value(attributes, L"label");
                break;
            case Kind::Button:
            case Kind::CheckBox:
            case Kind::DropDown: {
                const std::wstring element = kind == Kind::Button ? L"button" : kind == Kind::CheckBox ? L"checkBox" : L"dropDown";
                ui_.controls.push_back(CustomControl{element, tabBy_, tab_, groupBy_, group_, groupLabel_, attributes, {}});
                break;
            }
            case Kind::Item:
                // Items stand only in a dropDown, the control kept last.
                ui_.controls.back().items.push_back(DropDownItem{Value(attributes, L"id"), Value(attributes, L"label")});
                break;
            default: break;
        }
    }

    void EndElement() {
        if (open_.empty()) return;
        open_.pop_back();
        prefixes_.pop_back();
    }

    // The elements the stand-in shows hold elements only; blanks between them are fine.
    void Text() {
        if (open_.empty() || open_.back().kind == Kind::PassedOver) return;
        const std::wstring text = Get(&IXmlReader::GetValue);
        if (text.find_first_not_of(L" \t\r\n") != std::wstring::npos)
            Refuse(line_, column_, L"<" + open_.back().name + L"> holds text");
    }

    ComPtr<IStream> stream_;
    ComPtr<IXmlReader> reader_;
    std::vector<Open> open_;
    std::vector<std::set<std::wstring>> prefixes_;  // declared in each open element (and the current one)
    std::set<std::wstring> ids_;
    bool rootSeen_ = false;
    size_t nodes_ = 0;
    unsigned line_ = 0, column_ = 0;
    XmlNodeType lastType_ = XmlNodeType_None;
    unsigned lastLine_ = 0, lastColumn_ = 0;
    std::wstring tabBy_, tab_, groupBy_, group_, groupLabel_;
    CustomUI ui_;
};

}  // namespace

std::wstring CustomControl::Attribute(const std::wstring& name, const std::wstring& fallback) const {
    for (const auto& a : attributes)
        if (a.first == name) return a.second;
    return fallback;
}

std::wstring CustomUIRefusal::Text() const {
    if (line == 0) return problem;
    return L"line " + std::to_wstring(line) + L", column " + std::to_wstring(column) + L": " + problem;
}

CustomUI ParseCustomUI(const std::wstring& document) {
    CheckCharacters(document);
    return Reader(document).Run();
}

}  // namespace sim::outlook
