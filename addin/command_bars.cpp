// The add-in's controls in the mail client's command bars: the toolbar button on every
// "Standard" bar and the item under "&Tools", both of which demand-load the add-in.
#include <cstdint>
#include <string>

#include "Addin.h"
#include "Global.h"
#include "command_bars.h"
#include "dispatch.h"
#include "help.h"
#include "host_contract.h"

namespace {

using Microsoft::WRL::ComPtr;
using orv::Variant;

using namespace contract;

constexpr int32_t kControlButton = 1;   // msoControlButton
constexpr int32_t kIconAndCaption = 3;  // msoButtonIconAndCaption
constexpr int32_t kButtonFace = 5;

// True when some control of the collection is captioned exactly caption.
bool HoldsCaption(IDispatch* controls, const std::wstring& caption) {
    bool found = false;
    orv::ForEach(controls, [&](const Variant& item) {
        found = orv::GetString(orv::AsObject(item).Get(), L"Caption") == caption;
        return !found;
    });
    return found;
}

}  // namespace

// The two controls, unless a "Standard" bar already carries the button.
void Addin::InstallCommandBarControls() {
    if (!InstallToolbarButtons()) return;
    InstallMenuItem();
}

// Adds the button to every bar named "Standard"; false when one of them already has it,
// which means the controls are installed and the connection is done.
bool Addin::InstallToolbarButtons() {
    ComPtr<IDispatch> app = Global::hostApp();
    const int16_t n = orv::ToCount16(orv::Call(ActiveCommandBars(app.Get()).Get(), L"Count"));
    for (int i = 1; i <= n; ++i) {
        auto bar = orv::GetObj(ActiveCommandBars(app.Get()).Get(), L"Item", {Variant::I2(static_cast<int16_t>(i))});
        if (orv::GetString(bar.Get(), L"Name") != kStandardBar) continue;
        auto controls = orv::GetObj(bar.Get(), L"Controls");
        if (HoldsCaption(controls.Get(), kButtonCaption)) return false;
        // Type alone: the button goes at the end of the bar and is permanent.
        auto added = orv::AsObject(orv::Call(controls.Get(), L"Add", {Variant::I4(kControlButton)}));
        myToolbarButton = orv::QueryAs<IDispatch>(added.Get(), IID__CommandBarButton);
        IDispatch* button = myToolbarButton.Get();
        orv::Put(button, L"Caption", Variant::Str(kButtonCaption));
        orv::Put(button, L"Enabled", Variant::Bool(true));
        orv::Put(button, L"Style", Variant::I4(kIconAndCaption));
        orv::Put(button, L"TooltipText", Variant::Str(kButtonTooltip));
        orv::Put(button, L"HelpFile", Variant::Str(orvalis::ControlsHelpFile()));
        orv::Put(button, L"HelpContextId", Variant::I4(orvalis::kControlsHelpContext));
        orv::Put(button, L"FaceId", Variant::I4(kButtonFace));
        orv::Put(button, L"OnAction", Variant::Str(kOnAction));
    }
    return true;
}

// Adds "&Orvalis Utility" under the last "&Tools" control of the active menu bar, unless that
// parent already has such an item: a start-up after the user removed only the button must not
// stack a second item under Tools.
void Addin::InstallMenuItem() {
    ComPtr<IDispatch> app = Global::hostApp();
    myCommandBars = orv::QueryAs<IDispatch>(ActiveCommandBars(app.Get()).Get(), IID__CommandBars);
    myMenuBar = orv::QueryAs<IDispatch>(orv::GetObj(myCommandBars.Get(), L"ActiveMenuBar").Get(), IID_CommandBar);
    const int16_t m = orv::ToCount16(orv::Call(orv::GetObj(myMenuBar.Get(), L"Controls").Get(), L"Count"));
    ComPtr<IDispatch> parent;
    for (int j = 1; j <= m; ++j) {
        auto control = orv::GetObj(orv::GetObj(myMenuBar.Get(), L"Controls").Get(), L"Item",
                                   {Variant::I2(static_cast<int16_t>(j))});
        if (orv::GetString(control.Get(), L"Caption") == kToolsCaption)
            parent = orv::QueryAs<IDispatch>(control.Get(), IID_CommandBarControl);
    }
    if (!parent) orv::RaiseRuntime(orv::kObjectNotSet);

    // A generic control doesn't declare Controls: both calls go by name.
    auto items = orv::GetObj(parent.Get(), L"Controls");
    if (HoldsCaption(items.Get(), kMenuItemCaption)) return;
    auto added = orv::AsObject(orv::Call(items.Get(), L"Add", {orv::Named(L"Type", Variant::I4(kControlButton))}));
    myMenuItem = orv::QueryAs<IDispatch>(added.Get(), IID__CommandBarButton);
    IDispatch* item = myMenuItem.Get();
    orv::Put(item, L"Caption", Variant::Str(kMenuItemCaption));
    orv::Put(item, L"Enabled", Variant::Bool(true));
    orv::Put(item, L"HelpContextId", Variant::I4(orvalis::kControlsHelpContext));
    orv::Put(item, L"HelpFile", Variant::Str(orvalis::ControlsHelpFile()));
    orv::Put(item, L"OnAction", Variant::Str(kOnAction));
}
