#pragma once
// What the mail-client stand-in remembers in one process: the command bars with their
// controls, the COM add-in list, whether an explorer is open, and whether the host is
// "running" (started by the driver). The automation objects are thin views onto it.
#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "custom_ui_reader.h"

namespace sim::outlook {

using Microsoft::WRL::ComPtr;

// msoControlType values the stand-in creates.
constexpr long kButton = 1;   // msoControlButton
constexpr long kPopup = 10;   // msoControlPopup

struct Control;
using ControlPtr = std::shared_ptr<Control>;

// The controls of a bar or of a pop-up, in their order.
struct ControlList {
    std::vector<ControlPtr> items;
};
using ControlListPtr = std::shared_ptr<ControlList>;

struct Control {
    long id = 0;          // serial number, kept in the state file: "Control[17]" in the log
    long type = kButton;
    long builtInId = 1;   // the Id given to Add; 1 for a custom control
    std::wstring caption;
    bool enabled = true;
    bool visible = true;
    long style = 0;       // msoButtonAutomatic
    std::wstring tooltipText;
    std::wstring helpFile;
    long helpContextId = 0;
    long faceId = 0;
    std::wstring onAction;
    std::wstring parameter;
    std::wstring tag;
    bool temporary = false;      // not written to the state file
    bool deleted = false;        // gone: its automation views fail
    bool hiddenForSession = false;  // deleted temporarily: gone now, back after a restart
    ControlListPtr controls;     // a pop-up's items; null for buttons
    std::weak_ptr<ControlList> owner;
};

struct Bar {
    std::wstring name;
    std::wstring logId;  // name, with "#2", "#3" for later bars of the same name
    bool menuBar = false;
    bool visible = true;
    ControlListPtr controls = std::make_shared<ControlList>();
};
using BarPtr = std::shared_ptr<Bar>;

// A control of an add-in's ribbon as the host shows it: a checkBox ticked or not, the item a
// dropDown shows chosen. What its getPressed or getSelectedItemIndex answered is kept until the
// add-in invalidates the control; then the host asks again the next time it shows it.
struct ShownControl {
    CustomControl control;
    bool pressed = false;  // a checkBox's tick
    long selected = -1;    // the index of a dropDown's chosen item, -1 while it has none
    bool stale = true;     // its state callback is still to be asked
};

// The ribbon the host shows for one connection of an add-in. Each new ribbon, and each time it
// goes, has a generation of its own, so an IRibbonUI handed out for an earlier one knows it.
struct ShownRibbon {
    std::vector<ShownControl> controls;
    unsigned generation = 0;
    bool empty() const { return controls.empty(); }
    // The ribbon goes (with its connection, or for a new document).
    void clear() {
        controls.clear();
        ++generation;
    }
};

struct AddIn {
    std::wstring description;
    std::wstring progId;
    DWORD loadBehavior = 0;   // from the registry entry; bit 1 connects at start-up
    bool connected = false;
    ComPtr<IUnknown> object;  // the connect object while connected; null for a resident add-in
    // A ribbon host asks each connection once for the explorer's ribbon; the controls it shows
    // go with the connection.
    bool ribbonAsked = false;
    ShownRibbon ribbon;
};
using AddInPtr = std::shared_ptr<AddIn>;

struct Host {
    std::vector<BarPtr> bars;
    std::vector<AddInPtr> addIns;
    bool explorerOpen = true;
    bool explorerAtStart = true;
    long barCountOverride = -1;  // -1: Count tells the truth
    long nextControlId = 1;
    ComPtr<IDispatch> runningApp;  // held while the driver has the host "running"
};

// The process's host, loaded on first use (state file, else scenario, else defaults).
Host& TheHost();
// Drops the host (releasing its add-ins' objects without calling them); the next use reloads it.
void ResetHost();
// Adds registry entries that are not yet in the add-in list; updates LoadBehavior of listed ones.
void SyncRegistryAddIns(Host& host);
// Writes the permanent controls to the state file named by ORVALIS_HOST_STATE, if set.
void SaveState();
// The state file's first problem as one line naming it as shownAs; "" when it would load or
// isn't there (the host then starts from the scenario).
std::string CheckStateFile(const std::wstring& path, const std::string& shownAs);

// The controls of a list that are there now (without those deleted for the session).
std::vector<ControlPtr> Present(const ControlList& list);
// Bar of a menu bar: the one marked as such, else the first.
BarPtr ActiveMenuBar(Host& host);
// A new control with the next serial number.
ControlPtr MakeControl(Host& host, long type);
// Marks a control and everything under it deleted.
void MarkDeleted(Control& c);
// True when the control, or a pop-up holding it, is temporary.
bool IsTemporary(const Control& c);

// A control by path: bar name, then captions ("Menu Bar/&Tools/&Orvalis Utility"); a segment
// "#n" takes the n-th bar or control instead. Null when there is none.
ControlPtr FindControl(Host& host, const std::wstring& path);
// The layout as indented lines of captions, for tests and the demo.
std::wstring LayoutText(Host& host);
// "Name=value" lines with every property of a control.
std::wstring ControlText(const Control& c);

// JSON of bars and controls (the state file format).
nlohmann::json BarsToJson(const Host& host);

}  // namespace sim::outlook
