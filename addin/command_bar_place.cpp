#include "command_bar_place.h"

#include <cstdint>
#include <string>

#include "Global.h"
#include "dispatch.h"
#include "form1.h"
#include "help.h"
#include "host_contract.h"
#include "standard_bars.h"

namespace orvalis {

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

void CommandBarPlace::Connect(IDispatch* application, ext_ConnectMode mode) {
    // A demand connection: the window, shown modeless; nothing else happens here, and hostApp
    // stays as it was.
    if (mode == ext_cm_AfterStartup) return Global::TheForm1().Show(application);
    InstallControls(application);
}

// The add-in leaves the host after start-up: a click on its controls loads it again.
void CommandBarPlace::CompleteStartup() { Global::DisconnectSelf(); }

// Closing the window leaves the host too, until the next click.
void CommandBarPlace::WindowUnloaded() { Global::DisconnectSelf(); }

void CommandBarPlace::Disconnect() { ReleaseControls(); }

void CommandBarPlace::BeginShutdown() {
    // The unload step disconnects the add-in, so the host may call OnDisconnection before
    // Unload returns; emptying what is already empty does nothing. The help's windows go with
    // the window's.
    Global::TheForm1().Unload();
    ReleaseControls();
}

// The window loaded hidden, the help pop-up, hostApp, then the add-in's controls in the host's
// user interface, unless a "Standard" bar already carries the button.
void CommandBarPlace::InstallControls(IDispatch* application) {
    HWND hwnd = Global::TheForm1().hWnd(application);
    ShowStartupHelp(hwnd);
    const ComPtr<IDispatch> app = orv::QueryAs<IDispatch>(application, IID__Application);
    Global::SetHostApp(app.Get());
    if (!InstallToolbarButtons(app.Get())) return;
    InstallMenuItem(app.Get());
}

bool CommandBarPlace::InstallToolbarButtons(IDispatch* app) {
    bool installed = false;
    ForEachStandardBar(app, [&](int16_t, IDispatch* bar) {
        auto controls = orv::GetObj(bar, L"Controls");
        installed = HoldsCaption(controls.Get(), kButtonCaption);
        if (installed) return false;
        // Type alone: the button goes at the end of the bar and is permanent.
        auto added = orv::AsObject(orv::Call(controls.Get(), L"Add", {Variant::I4(kControlButton)}));
        myToolbarButton = orv::QueryAs<IDispatch>(added.Get(), IID__CommandBarButton);
        IDispatch* button = myToolbarButton.Get();
        orv::Put(button, L"Caption", Variant::Str(kButtonCaption));
        orv::Put(button, L"Enabled", Variant::Bool(true));
        orv::Put(button, L"Style", Variant::I4(kIconAndCaption));
        orv::Put(button, L"TooltipText", Variant::Str(kButtonTooltip));
        orv::Put(button, L"HelpFile", Variant::Str(ControlsHelpFile()));
        orv::Put(button, L"HelpContextId", Variant::I4(kControlsHelpContext));
        orv::Put(button, L"FaceId", Variant::I4(kButtonFace));
        orv::Put(button, L"OnAction", Variant::Str(kOnAction));
        return true;
    });
    return !installed;
}

// Under the last "&Tools" control of the active menu bar, unless that parent already has such an
// item: a start-up after the user removed only the button must not stack a second item under
// Tools.
void CommandBarPlace::InstallMenuItem(IDispatch* app) {
    myCommandBars = orv::QueryAs<IDispatch>(ActiveCommandBars(app).Get(), IID__CommandBars);
    myMenuBar = orv::QueryAs<IDispatch>(orv::GetObj(myCommandBars.Get(), L"ActiveMenuBar").Get(), IID_CommandBar);
    const int16_t m = orv::ToCount16(orv::Call(orv::GetObj(myMenuBar.Get(), L"Controls").Get(), L"Count"));
    ComPtr<IDispatch> parent;
    for (int j = 1; j <= m; ++j) {
        auto control = orv::GetObj(orv::GetObj(myMenuBar.Get(), L"Controls").Get(), L"Item",
                                   {Variant::I2(static_cast<int16_t>(j))});
        if (orv::GetString(control.Get(), L"Caption") == kToolsCaption)
            parent = orv::QueryAs<IDispatch>(control.Get(), IID_CommandBarControl);
    }
    if (!parent) orv::Raise(orv::RuntimeError(orv::kObjectNotSet));

    // A generic control doesn't declare Controls: both calls go by name.
    auto items = orv::GetObj(parent.Get(), L"Controls");
    if (HoldsCaption(items.Get(), kMenuItemCaption)) return;
    auto added = orv::AsObject(orv::Call(items.Get(), L"Add", {orv::Named(L"Type", Variant::I4(kControlButton))}));
    myMenuItem = orv::QueryAs<IDispatch>(added.Get(), IID__CommandBarButton);
    IDispatch* item = myMenuItem.Get();
    orv::Put(item, L"Caption", Variant::Str(kMenuItemCaption));
    orv::Put(item, L"Enabled", Variant::Bool(true));
    orv::Put(item, L"HelpContextId", Variant::I4(kControlsHelpContext));
    orv::Put(item, L"HelpFile", Variant::Str(ControlsHelpFile()));
    orv::Put(item, L"OnAction", Variant::Str(kOnAction));
}

std::shared_ptr<HostPlace> NewCommandBarPlace() { return std::make_shared<CommandBarPlace>(); }

void CommandBarPlace::ReleaseControls() noexcept {
    Global::EmptyHostApp();
    myCommandBars.Reset();
    myMenuBar.Reset();
    myMenuItem.Reset();
    myToolbarButton.Reset();
}

}  // namespace orvalis
