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
// The active explorer (ActiveExplorer's answer): Nothing while no explorer window is open.
Variant NewExplorer();
// The control a ribbon callback gets: IRibbonControl with the control's id and tag, the active
// explorer as its context.
ComPtr<IDispatch> NewRibbonControl(const std::wstring& id, const std::wstring& tag);
// The IRibbonUI the add-in's onLoad callback gets, for the ribbon the host shows it now.
ComPtr<IDispatch> NewRibbonUI(const AddInPtr& addIn);
// A call through a dual interface's vtable, run as the call by DISPID is (logged, open to fault
// rules): a failure's description goes into the error info for iid.
HRESULT InvokeFromVtable(Object& object, DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, REFIID iid);

// "AddIn[ProgID]": how the log names the host's calls to an add-in.
std::wstring Target(const AddIn& a);
std::wstring HexCode(HRESULT hr);
// Logs a failed call to the add-in with the description it left in its error info:
// AddIn[ProgID].method failed 0x80004005 "description".
void ReportFailure(const AddIn& a, const wchar_t* method, HRESULT hr);

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

// The ribbon host (from 2010 on). After a connection, while an explorer is open, the host asks
// the connect object once for IRibbonExtensibility and the explorer's customUI document, and
// shows the buttons of a document it accepts; nothing on an older client.
void LoadExplorerRibbon(const AddInPtr& addIn);
// The same for every connected add-in not asked yet: an explorer has opened.
void LoadExplorerRibbons();
// The add-in's answer to GetCustomUI(ribbonId), logged and judged as the explorer's is, but
// nothing is shown. Throws Failure when the add-in offers no ribbon or the call fails.
std::wstring AskCustomUI(const AddInPtr& addIn, const std::wstring& ribbonId);
// The host shows its ribbons: the state callbacks (getPressed, getSelectedItemIndex) of every
// control not asked since it was loaded or invalidated are asked now.
void ShowRibbons();
// A click on the shown ribbon control with that id (a button, or a checkBox, which it ticks or
// unticks): the add-in's onAction callback, by name through its IDispatch, with an
// IRibbonControl (and a checkBox's new state). Throws Failure (also when the callback fails).
void ClickRibbonControl(const std::wstring& id);
// The user chooses an item of the shown dropDown with that id, by the item's id (itemId) or, when
// itemId is null, by its index from 0: onAction(control, selectedId, selectedIndex).
void SelectRibbonItem(const std::wstring& id, const std::wstring* itemId, long index);
// The add-in's ribbon of that generation while the host still shows it; null once it is gone.
ShownRibbon* LiveRibbon(const std::weak_ptr<AddIn>& addIn, unsigned generation);

}  // namespace sim::outlook
