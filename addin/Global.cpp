#include "Global.h"

#include <wrl/client.h>

#include "dispatch.h"
#include "form1.h"
#include "host_contract.h"

namespace Global {

namespace {

using namespace contract;
using Microsoft::WRL::ComPtr;

struct ModuleState {
    ComPtr<IDispatch> hostApp;
    ComPtr<IDispatch> createdApp;
    std::weak_ptr<orvalis::HostPlace> place;
    std::shared_ptr<orvalis::HostPlace> commandBars = orvalis::NewCommandBarPlace();
};

ModuleState& State() {
    static auto* state = new ModuleState;  // never destroyed, see Global.h
    return *state;
}

}  // namespace

IDispatch* hostApp() noexcept { return State().hostApp.Get(); }
void SetHostApp(IDispatch* app) noexcept { State().hostApp = app; }
void EmptyHostApp() noexcept { State().hostApp.Reset(); }
std::shared_ptr<orvalis::HostPlace> place() noexcept {
    std::shared_ptr<orvalis::HostPlace> held = State().place.lock();
    return held ? held : State().commandBars;
}
void SetPlace(const std::shared_ptr<orvalis::HostPlace>& place) noexcept { State().place = place; }

Form1& TheForm1() {
    static auto* form = new Form1([] { place()->WindowUnloaded(); });  // never destroyed, see Global.h
    return *form;
}

void DisconnectSelf() {
    ComPtr<IDispatch>& app = State().createdApp;
    if (!app) app = orv::QueryAs<IDispatch>(orv::CreateObject(CLSID_OutlookApplication, IID__Application).Get(), IID__Application);
    State().hostApp = app;

    // Nothing below reads hostApp: the Connect put can make the host call OnDisconnection,
    // which empties it, before the put returns.
    auto addIns = orv::GetObj(app.Get(), L"COMAddIns");
    ComPtr<IDispatch> self;
    orv::ForEach(addIns.Get(), [&](const orv::Variant& item) {
        auto addIn = orv::AsObject(item);
        if (orv::GetString(addIn.Get(), L"Description") != kAddInDescription) return true;
        self = addIn;
        return false;
    });
    if (self) orv::Put(self.Get(), L"Connect", orv::Variant::Bool(false));
}

}  // namespace Global
