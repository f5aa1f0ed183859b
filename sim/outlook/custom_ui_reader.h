#pragma once
// What the client makes of an add-in's customUI document: it reads it with a real XML parser,
// refuses what is not well-formed, not of the 2009/07 customUI namespace or against the
// schema where the stand-in shows it (ribbon, tabs, tab, group, button, checkBox, dropDown,
// item), and keeps the controls of the ribbon's groups with where they stand.
#include <string>
#include <utility>
#include <vector>

namespace sim::outlook {

// An element's attributes as the document gives them, in its order.
using Attributes = std::vector<std::pair<std::wstring, std::wstring>>;

// A static item of a dropDown.
struct DropDownItem {
    std::wstring id;
    std::wstring label;  // "" when it has none
};

// A control in a group of the document: a button, a checkBox or a dropDown.
struct CustomControl {
    std::wstring kind;    // the element's name: "button", "checkBox" or "dropDown"
    std::wstring tabBy;   // how the tab is named: "idMso" (a built-in tab), "id" or "idQ"
    std::wstring tab;     // "TabMail"
    std::wstring groupBy;
    std::wstring group;
    std::wstring groupLabel;  // "" when the group has none
    Attributes attributes;
    std::vector<DropDownItem> items;  // a dropDown's, in the document's order

    // The attribute's value, or fallback when the control doesn't have it.
    std::wstring Attribute(const std::wstring& name, const std::wstring& fallback = L"") const;
    // The control's own id: "" for a built-in control (idMso) or one of another document (idQ).
    std::wstring Id() const { return Attribute(L"id"); }
    bool IsButton() const { return kind == L"button"; }
    bool IsCheckBox() const { return kind == L"checkBox"; }
    bool IsDropDown() const { return kind == L"dropDown"; }
};

struct CustomUI {
    size_t tabs = 0;
    size_t groups = 0;
    std::wstring onLoad;  // the customUI element's callback, "" without one
    std::vector<CustomControl> controls;
};

// Why a document is refused: where (line and column, from 1; 0 when the place is the whole
// document) and what is wrong.
struct CustomUIRefusal {
    unsigned line = 0;
    unsigned column = 0;
    std::wstring problem;
    // "line 3, column 7: <problem>", or the problem alone.
    std::wstring Text() const;
};

// The document's ribbon; throws CustomUIRefusal for one the client would not show.
CustomUI ParseCustomUI(const std::wstring& document);

}  // namespace sim::outlook
