#include "Global.h"

#include "dispatch.h"
#include "host_contract.h"

namespace Global {

namespace {

using namespace contract;

// Created by the first DisconnectSelf and kept for the life of the module state.
Microsoft::WRL::ComPtr<IDispatch>& createdApp() {
    // Deliberately never destroyed: at process exit the host's objects may already be gone,
    // and releasing them from a static destructor would crash the host on its way out.
    static auto* app = new Microsoft::WRL::ComPtr<IDispatch>;
    return *app;
}

}  // namespace

// Never destroyed, like createdApp: OnDisconnection and OnBeginShutdown empty it.
Microsoft::WRL::ComPtr<IDispatch>& hostApp = *new Microsoft::WRL::ComPtr<IDispatch>;

void DisconnectSelf() {
    auto& app = createdApp();
    if (!app) app = orv::QueryAs<IDispatch>(orv::CreateObject(CLSID_OutlookApplication, IID__Application).Get(), IID__Application);
    hostApp = app;

    // Nothing below reads hostApp: the Connect put can make the host call OnDisconnection,
    // which empties it, before the put returns.
    auto addIns = orv::GetObj(app.Get(), L"COMAddIns");
    Microsoft::WRL::ComPtr<IDispatch> self;
    orv::ForEach(addIns.Get(), [&](const orv::Variant& item) {
        auto addIn = orv::AsObject(item);
        if (orv::GetString(addIn.Get(), L"Description") != kAddInDescription) return true;
        self = addIn;
        return false;
    });
    if (self) orv::Put(self.Get(), L"Connect", orv::Variant::Bool(false));
}

}  // namespace Global
