// The command bars of the explorer window: the bar collection, each bar, a control list
// (of a bar or of a pop-up) and the controls. Changes to permanent controls go to the state file.
#include <algorithm>

#include "host_objects.h"
#include "variant.h"

namespace sim::outlook {
namespace {

const IID IID__CommandBars = {0x000C0302, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_CommandBar = {0x000C0304, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_CommandBarControls = {0x000C0306, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_CommandBarControl = {0x000C0308, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_CommandBarPopup = {0x000C030A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID__CommandBarButton = {0x000C030E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

[[noreturn]] void BadIndex() { Fail(DISP_E_BADINDEX, L"The index into the collection is out of bounds"); }

// An Item index as given: a number, or a string to look up by name.
struct Index {
    bool byName = false;
    long number = 0;
    std::wstring name;
};

Index ReadIndex(const CallArgs& a) {
    if (!a.Has(0)) Fail(DISP_E_PARAMNOTFOUND, L"Item needs an index");
    Variant v = Variant::CopyOf(*a.At(0));  // also dereferences a by-reference integer
    Index i;
    if (v.vt() == VT_BSTR) {
        i.byName = true;
        i.name = orv::ToString(v);
    } else {
        i.number = orv::ToLong(v);
    }
    return i;
}

// Item of a control list: a 1-based position, or the first control with exactly that caption.
Variant ControlItem(const ControlList& list, const CallArgs& a) {
    Index i = ReadIndex(a);
    auto items = Present(list);
    if (i.byName) {
        for (const auto& c : items)
            if (c->caption == i.name) return NewControl(c);
        BadIndex();
    }
    if (i.number < 1 || static_cast<size_t>(i.number) > items.size()) BadIndex();
    return NewControl(items[i.number - 1]);
}

// Controls, or with an index Controls.Item(Index): a late-bound Controls(k) passes the index to
// the property, and automation applies it to the collection's default member.
Variant ControlsOrItem(const ControlListPtr& list, const std::wstring& ownerId, const CallArgs& a) {
    if (a.Has(0)) return ControlItem(*list, a);
    return NewControls(list, ownerId);
}

std::vector<Variant> BarItems() {
    std::vector<Variant> items;
    for (const auto& b : TheHost().bars) items.push_back(NewCommandBar(b));
    return items;
}

class CommandBars : public Object {
public:
    CommandBars() : Object(L"CommandBars", L"", {IID__CommandBars}) {
        Value(L"Count", [] {
            Host& h = TheHost();
            long n = h.barCountOverride >= 0 ? h.barCountOverride : static_cast<long>(h.bars.size());
            return Variant::I4(n);
        });
        Member(L"Item", {L"Index"}, [](const CallArgs& a) {
            Index i = ReadIndex(a);
            Host& h = TheHost();
            if (i.byName) {
                for (const auto& b : h.bars)
                    if (_wcsicmp(b->name.c_str(), i.name.c_str()) == 0) return NewCommandBar(b);
                BadIndex();
            }
            if (i.number < 1 || static_cast<size_t>(i.number) > h.bars.size()) BadIndex();
            return NewCommandBar(h.bars[i.number - 1]);
        });
        Value(L"ActiveMenuBar", [] {
            BarPtr bar = ActiveMenuBar(TheHost());
            if (!bar) Fail(E_FAIL, L"The window has no menu bar");
            return NewCommandBar(bar);
        });
        Value(L"_NewEnum", [] { return NewEnum(BarItems()); });
    }
};

class CommandBar : public Object {
public:
    explicit CommandBar(BarPtr bar) : Object(L"CommandBar", bar->logId, {IID_CommandBar}), bar_(std::move(bar)) {
        Field(L"Name", [this] { return Variant::Str(bar_->name); },
              [this](const VARIANT& v) {
                  bar_->name = orv::ToString(v);
                  SaveState();
              });
        Value(L"Type", [this] { return Variant::I4(bar_->menuBar ? 1 : 0); });  // msoBarTypeMenuBar / Normal
        Field(L"Visible", [this] { return Variant::Bool(bar_->visible); },
              [this](const VARIANT& v) {
                  bar_->visible = orv::ToBool(v);
                  SaveState();
              });
        Member(L"Controls", {L"Index"}, [this](const CallArgs& a) { return ControlsOrItem(bar_->controls, bar_->logId, a); });
    }

private:
    BarPtr bar_;
};

long AddType(const CallArgs& a) {
    if (!a.Has(0)) return kButton;
    long type = orv::ToLong(*a.At(0));
    if (type != kButton && type != kPopup)
        Fail(E_INVALIDARG, L"The stand-in adds buttons (1) and pop-ups (10) only, not type " + std::to_wstring(type));
    return type;
}

class Controls : public Object {
public:
    Controls(ControlListPtr list, const std::wstring& ownerId)
        : Object(L"Controls", ownerId, {IID_CommandBarControls}), list_(std::move(list)) {
        Value(L"Count", [this] { return Variant::I4(static_cast<int32_t>(Present(*list_).size())); });
        Member(L"Item", {L"Index"}, [this](const CallArgs& a) { return ControlItem(*list_, a); });
        Member(L"Add", {L"Type", L"Id", L"Parameter", L"Before", L"Temporary"},
               [this](const CallArgs& a) { return Add(a); });
        Value(L"_NewEnum", [this] {
            std::vector<Variant> items;
            for (const auto& c : Present(*list_)) items.push_back(NewControl(c));
            return NewEnum(std::move(items));
        });
    }

private:
    Variant Add(const CallArgs& a) {
        Host& h = TheHost();
        long type = AddType(a);
        auto present = Present(*list_);
        // Before counts the controls there are now; the new one goes in front of that one.
        auto at = list_->items.end();
        if (a.Has(3)) {
            long before = orv::ToLong(*a.At(3));
            if (before < 1 || static_cast<size_t>(before) > present.size() + 1)
                Fail(E_INVALIDARG, L"Before must lie between 1 and " + std::to_wstring(present.size() + 1));
            if (static_cast<size_t>(before) <= present.size())
                at = std::find(list_->items.begin(), list_->items.end(), present[before - 1]);
        }
        ControlPtr c = MakeControl(h, type);
        if (a.Has(1)) c->builtInId = orv::ToLong(*a.At(1));
        if (a.Has(2)) c->parameter = orv::ToString(*a.At(2));
        c->temporary = a.Has(4) && orv::ToBool(*a.At(4));
        c->owner = list_;
        list_->items.insert(at, c);
        if (!IsTemporary(*c)) SaveState();
        return NewControl(c);
    }

    ControlListPtr list_;
};

std::vector<IID> ControlInterfaces(const Control& c) {
    if (c.type == kPopup) return {IID_CommandBarControl, IID_CommandBarPopup};
    return {IID_CommandBarControl, IID__CommandBarButton};
}

class ControlObject : public Object {
public:
    explicit ControlObject(ControlPtr c)
        : Object(L"Control", std::to_wstring(c->id), ControlInterfaces(*c)), c_(std::move(c)) {
        Text(L"Caption", &Control::caption);
        Flag(L"Enabled", &Control::enabled);
        Flag(L"Visible", &Control::visible);
        Text(L"TooltipText", &Control::tooltipText);
        Text(L"HelpFile", &Control::helpFile);
        Number(L"HelpContextId", &Control::helpContextId);
        Text(L"OnAction", &Control::onAction);
        Text(L"Parameter", &Control::parameter);
        Text(L"Tag", &Control::tag);
        if (c_->type == kButton) {
            Number(L"Style", &Control::style);
            Number(L"FaceId", &Control::faceId);
        }
        Value(L"Type", [this] { return Variant::I4(Alive().type); });
        Value(L"Id", [this] { return Variant::I4(Alive().builtInId); });
        Value(L"BuiltIn", [this] { return Variant::Bool(Alive().builtInId != 1); });
        Value(L"Index", [this] {
            Alive();
            auto owner = c_->owner.lock();
            auto items = owner ? Present(*owner) : std::vector<ControlPtr>();
            auto it = std::find(items.begin(), items.end(), c_);
            return Variant::I4(static_cast<int32_t>(it - items.begin() + 1));
        });
        Member(L"Delete", {L"Temporary"}, [this](const CallArgs& a) {
            Delete(a.Has(0) && orv::ToBool(*a.At(0)));
            return Variant();
        });
        Member(L"Execute", {}, [this](const CallArgs&) {
            ClickControl(Alive(c_));
            return Variant();
        });
        if (c_->type == kPopup)
            Member(L"Controls", {L"Index"}, [this](const CallArgs& a) {
                return ControlsOrItem(Alive().controls, std::to_wstring(c_->id), a);
            });
    }

private:
    const ControlPtr& Alive(const ControlPtr& c) const {
        if (c->deleted || c->hiddenForSession) Fail(E_FAIL, L"The control has been deleted");
        return c;
    }
    Control& Alive() const { return *Alive(c_); }

    void Changed() {
        if (!IsTemporary(*c_)) SaveState();
    }

    void Text(const wchar_t* name, std::wstring Control::*field) {
        Field(name, [this, field] { return Variant::Str(Alive().*field); },
              [this, field](const VARIANT& v) {
                  Alive().*field = orv::ToString(v);
                  Changed();
              });
    }
    void Number(const wchar_t* name, long Control::*field) {
        Field(name, [this, field] { return Variant::I4(Alive().*field); },
              [this, field](const VARIANT& v) {
                  Alive().*field = orv::ToLong(v);
                  Changed();
              });
    }
    void Flag(const wchar_t* name, bool Control::*field) {
        Field(name, [this, field] { return Variant::Bool(Alive().*field); },
              [this, field](const VARIANT& v) {
                  Alive().*field = orv::ToBool(v);
                  Changed();
              });
    }

    void Delete(bool temporary) {
        Alive();
        bool wasTemporary = IsTemporary(*c_);
        if (temporary && !wasTemporary) {
            // Gone for this session only: the state file keeps it for the next start.
            c_->hiddenForSession = true;
            return;
        }
        if (auto owner = c_->owner.lock()) {
            auto& items = owner->items;
            items.erase(std::remove(items.begin(), items.end(), c_), items.end());
        }
        MarkDeleted(*c_);
        if (!wasTemporary) SaveState();
    }

    ControlPtr c_;
};

}  // namespace

Variant NewCommandBars() { return Hand(new CommandBars); }
Variant NewCommandBar(const BarPtr& bar) { return Hand(new CommandBar(bar)); }
Variant NewControls(const ControlListPtr& list, const std::wstring& ownerId) { return Hand(new Controls(list, ownerId)); }
Variant NewControl(const ControlPtr& control) { return Hand(new ControlObject(control)); }

}  // namespace sim::outlook
