#pragma once
// The mail client's automation objects (views onto the host model) and what the host does to
// its add-ins: connect, disconnect, start up, shut down, and a click on a control.
#include "host_model.h"
#include "sim_object.h"

namespace sim::outlook {

// The process's one application object (created when there is none).
ComPtr<IDispatch> ApplicationObject();

Variant NewCommandBars();
Variant NewCommandBar(const BarPtr& bar);
Variant NewControls(const ControlListPtr& list, const std::wstring& ownerId);
Variant NewControl(const ControlPtr& control);
Variant NewCOMAddIns();
Variant NewCOMAddIn(const AddInPtr& addIn);

// Creates the add-in's class by its ProgID and connects it; a failure to create throws
// sim::Failure. A failing OnConnection is logged and leaves the add-in disconnected.
void ConnectAddIn(const AddInPtr& addIn, LONG connectMode);
// Connects an existing connect object (OnConnection with the mode) and returns what
// OnConnection returned; after a failure the add-in is disconnected again.
HRESULT AttachAddIn(const AddInPtr& addIn, IUnknown* object, LONG connectMode);
// Marks the add-in disconnected, calls OnDisconnection, then lets go of the connect object.
void DisconnectAddIn(const AddInPtr& addIn, LONG removeMode);
void CallStartupComplete(const AddInPtr& addIn);
void CallBeginShutdown(const AddInPtr& addIn);

// The host's start-up: connects the add-ins that load at start-up, then tells them start-up
// is complete. The host holds its application object until ShutdownHost.
void StartHost();
// OnBeginShutdown, then OnDisconnection(ext_dm_HostShutdown), to each connected add-in;
// releases the application and saves the state file.
void ShutdownHost();
// What a click on the control makes the host do: a demand load for an action "!<ProgID>".
void ClickControl(const ControlPtr& control);

}  // namespace sim::outlook
