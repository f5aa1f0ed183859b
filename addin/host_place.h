#pragma once
// Where the mail client gives the add-in its place, and what the add-in contract's operations
// and the builder window's unload step do there. Up to its 2007 version the client has command
// bars: the add-in installs its button and menu item at start-up, leaves the host and is loaded
// again by a click. From 2010 on the command bars of its main window are hidden and the ribbon
// is the documented place: the add-in gives a ribbon button and stays connected. The place is
// chosen once per connection, from the client's version; the connect class only delegates.
#include <windows.h>
#include <ole2.h>

#include <memory>

#include "OrvalisAddin.h"

namespace orvalis {

class HostPlace {
public:
    virtual ~HostPlace() = default;

    // OnConnection, with the client's application and the connect mode it gives.
    virtual void Connect(IDispatch* application, ext_ConnectMode mode) = 0;
    // OnStartupComplete.
    virtual void CompleteStartup() = 0;
    // The builder window's unload step, once the window has let go of its address book.
    virtual void WindowUnloaded() = 0;
    // OnDisconnection, the same for every remove mode.
    virtual void Disconnect() = 0;
    // OnBeginShutdown.
    virtual void BeginShutdown() = 0;
};

// The first major version of the client that shows a ribbon in its main window.
constexpr int kFirstRibbonVersion = 14;

// The place of the client whose application this is, from its Version ("14.0.0.4760": major
// 14): the ribbon from 14 on; the command bars below, and where the version can't be read, isn't
// a string or doesn't start with a number, as the add-in has always used them (application
// null included). Throws only when memory runs out.
std::shared_ptr<HostPlace> PlaceFor(IDispatch* application);

// The two places, new, with nothing held yet (command_bar_place.cpp, ribbon_place.cpp).
std::shared_ptr<HostPlace> NewCommandBarPlace();
std::shared_ptr<HostPlace> NewRibbonPlace();

}  // namespace orvalis
