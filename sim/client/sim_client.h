#pragma once
// What a test in another module uses of the stand-ins: loads the registered OrvalisSim.dll
// (the very module COM loads) and calls its control exports.
#include <windows.h>
#include <unknwn.h>

#include <map>
#include <string>
#include <vector>

namespace simclient {

// Loads a scenario given as JSON text (UTF-16); throws orv::Error with the problem (its place
// and what is wrong) when it doesn't load, and the stand-ins stay as they were.
void LoadScenario(const std::wstring& json);
// What keeps the data files of ORVALIS_SIM_SCENARIO and ORVALIS_HOST_STATE from loading: one
// line naming the file, the place and what is wrong, or "" when both would load (or aren't
// set). The scenario file is named as ORVALIS_SCENARIO_FILE says where that is set (the
// spelling its user gave). Nothing is loaded.
std::wstring CheckDataFiles();
// Every call the stand-ins received since the last ClearLog, one line each.
std::wstring Log();
void ClearLog();
// The lines of a log or report text, without their line feeds.
std::vector<std::wstring> SplitLines(const std::wstring& text);
// Live stand-in objects of one kind, or of every kind for "".
long LiveObjects(const std::wstring& kind = L"");
// "Kind=count" lines for the kinds with live objects (for messages of failed assertions).
std::wstring LiveReport();
// The calls the stand-ins received for kind.member since the last ClearLog; "" for any kind
// or any member.
long CallCount(const std::wstring& kind, const std::wstring& member = L"");

// For a stand-in in a module of its own (sim/hhctrl): RecordCall puts its call's line into the
// one log, in order with every other stand-in's calls, and says how the scenario's fault rule
// for kind[id].member, if one matches this call, makes it go wrong (an empty member: a note in
// the log that no rule applies to); RecordAnswer logs what it answered where answers are logged
// (ORVALIS_SIM_LOG_RESULTS=1); CountObject counts its objects among the live ones. Each throws
// orv::Error where the stand-ins' server can't be loaded.
enum class Fault { None, Failure, Nothing, WrongType };
Fault RecordCall(const std::wstring& kind, const std::wstring& id, const std::wstring& member, const std::wstring& line);
void RecordAnswer(const std::wstring& line);
void CountObject(const std::wstring& kind, long delta);

// A machine without CDO: moves the "MAPI.Session" ProgID and the CDO session's class
// registration (machine and user) aside to HKCU\Software\OrvalisTest\WithoutCdo, so that
// creating the session fails as where CDO was never installed (CLSIDFromProgID:
// CO_E_CLASSSTRING; by class id: REGDB_E_CLASSNOTREG). Throws orv::Error when any of it stays
// (what did move stays aside until RestoreCdoRegistration).
void HideCdoRegistration();
// Puts back what HideCdoRegistration moved aside, also after the process that hid it died;
// does nothing when nothing is aside.
void RestoreCdoRegistration();

// The mail-client host driver (sim/outlook/README.md). Each throws orv::Error on failure.
// Start-up: connects the registry's add-in entries with LoadBehavior bit 1, then OnStartupComplete.
void HostStartup();
// A click on the control at a caption path ("Standard/Orvalis"; "#n" picks the n-th).
void HostClick(const std::wstring& path);
// OnBeginShutdown and OnDisconnection(0) to connected add-ins; releases the application.
void HostShutdown();
// Forgets the host's state in this process; the next use reloads the state file (a restart).
void HostReset();
struct HostAddIn {
    bool connected = false;
    std::wstring progId;
    std::wstring description;
};
std::vector<HostAddIn> HostAddIns();
// Lists the caller's connect object as an add-in: connectMode >= 0 calls OnConnection with it,
// -1 lists it connected without a call, a null object lists it disconnected. Returns the
// HRESULT of OnConnection.
HRESULT HostAddAddIn(IUnknown* object, const std::wstring& description, const std::wstring& progId,
                     long connectMode = -1);
// The bars and their controls as indented captions, one per line.
std::wstring HostLayout();
// Every property of the control at path ("Caption" -> "Orvalis", ...); empty when there is none.
std::map<std::wstring, std::wstring> HostControl(const std::wstring& path);

// The ribbon host (a client of the 2010 version or later, "outlook.version" in the scenario).
// Plays a client of that version ("16.0.0.0") until the next scenario load; throws orv::Error
// for a text that is no version number.
void HostSetVersion(const std::wstring& version);
// A button the host shows on its explorer's ribbon, from a connected add-in's customUI document.
struct RibbonButton {
    std::wstring progId;   // the add-in whose document holds it
    std::wstring tabBy;    // "idMso", "id" or "idQ": how the document names the tab
    std::wstring tab;      // "TabMail"
    std::wstring groupBy;
    std::wstring group;
    std::wstring groupLabel;
    std::map<std::wstring, std::wstring> attributes;  // the button's own: id, label, size, onAction, ...
    // The attribute's value, "" when the button doesn't have it.
    std::wstring Attribute(const std::wstring& name) const;
};
std::vector<RibbonButton> HostRibbon();
// A click on the shown ribbon control with that id: GetIDsOfNames for its onAction on the
// add-in's IDispatch, then Invoke with an IRibbonControl; a checkBox is ticked (or unticked)
// first, and its onAction gets the new state too. Throws orv::Error with the HRESULT of what
// failed (E_INVALIDARG for no such control, or a dropDown) and a description saying what.
void HostRibbonClick(const std::wstring& controlId);
// The user chooses an item of the shown ribbon dropDown with that id, by the item's id or by its
// index from 0: onAction(control, selectedId, selectedIndex). Throws as HostRibbonClick does,
// E_INVALIDARG also for no such item.
void HostRibbonSelect(const std::wstring& dropDownId, const std::wstring& itemId);
void HostRibbonSelectIndex(const std::wstring& dropDownId, long index);
// A control the host shows on its explorer's ribbon (a button, checkBox or dropDown), with what
// it shows now: everything a RibbonButton has, plus the state.
struct RibbonControl : RibbonButton {
    std::wstring kind;     // "button", "checkBox" or "dropDown"
    bool pressed = false;  // a checkBox ticked
    long selected = -1;    // the index (from 0) of a dropDown's chosen item, -1 for none
    std::vector<std::pair<std::wstring, std::wstring>> items;  // a dropDown's: id and label
    std::wstring Id() const { return Attribute(L"id"); }
    // The id of a dropDown's chosen item, "" for none.
    std::wstring SelectedItem() const;
};
// The shown controls in the add-in list's order and each document's, as the host shows them
// now: the state callbacks due (a control's first showing, or after the add-in invalidated it)
// are asked first.
std::vector<RibbonControl> HostRibbonControls();
// The shown control with that id; throws orv::Error (E_INVALIDARG) when there is none.
RibbonControl HostRibbonControl(const std::wstring& id);
// The listed add-in's GetCustomUI(ribbonId), as the host asks it when that ribbon opens (an
// inspector's, "Microsoft.Outlook.Mail.Read"); logged and judged like the explorer's document.
// Throws orv::Error when the add-in offers no IRibbonExtensibility or the call fails.
std::wstring HostGetCustomUI(const std::wstring& progId, const std::wstring& ribbonId);
// The fast shutdown of current clients: logs Host.FastExit(), saves the host's state and ends
// the process with exitCode at once, calling no add-in.
[[noreturn]] void HostFastExit(unsigned exitCode = 0);

}  // namespace simclient
