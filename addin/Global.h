#pragma once
// Module Global: the shared reference to the mail client's application, and the
// procedure by which the add-in disconnects itself from the host.
#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

namespace Global {

// The host application through its _Application interface (held as the dual interface's
// IDispatch). Set by the install path of OnConnection, replaced by DisconnectSelf,
// emptied by OnDisconnection and OnBeginShutdown.
extern Microsoft::WRL::ComPtr<IDispatch>& hostApp;

// Finds this add-in in the host's COM add-in list by its description and sets its
// Connect to false. Throws orv::Error on failure.
void DisconnectSelf();

}  // namespace Global
