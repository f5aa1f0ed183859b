#pragma once
// Module Global: the state the add-in's operations share, and the procedure by which the
// add-in disconnects itself from the host.
//
// Each piece lives until the process ends and is never destroyed: at exit the host's objects
// may already be gone, and releasing them from a static destructor would crash the host on
// its way out.
//  - hostApp: the host application through _Application. Empty at first; set by the install
//    path of OnConnection (on the ribbon path by every connection), replaced by DisconnectSelf
//    (command bars only), emptied by OnDisconnection and OnBeginShutdown.
//  - place: the add-in's place in the client that connected last (host_place.h), as its
//    connect object chose and holds it; the window's unload step goes through it. Where no
//    connect object holds one (none connected yet, or the host let go of it), the command
//    bars', which holds nothing.
//  - createdApp: the application object DisconnectSelf makes on its first call; kept for good.
//  - the builder window object: made by whichever operation touches it first; it outlasts
//    every load and unload of its window.
//
// The in-process server keeps its own bookkeeping beside this, where its exports are: the
// module handle DllMain is given and the one class factory (dll_main.cpp), and the count of
// live objects and factory locks that DllCanUnloadNow reads (server.cpp). Those are plain
// values that hold no host object and need no destruction, and only the server reads them.
// Likewise the help keeps its handle of hhctrl.ocx beside its calls (builder/help.cpp), from
// the first help call that loads it to the window's unload (which the add-in's shutdown and
// disconnection from a ribbon client run too): every help call is made while the window is
// loaded.
#include <windows.h>
#include <ole2.h>

#include <memory>

#include "host_place.h"

class Form1;

namespace Global {

IDispatch* hostApp() noexcept;
void SetHostApp(IDispatch* app) noexcept;  // takes its own reference
void EmptyHostApp() noexcept;

// Held by whoever uses it for as long as it does: a nested connection may choose another.
std::shared_ptr<orvalis::HostPlace> place() noexcept;
// Kept without holding it: the connect object that chose it owns it.
void SetPlace(const std::shared_ptr<orvalis::HostPlace>& place) noexcept;

// The one builder window object. Its unload step ends in the place's WindowUnloaded: where
// the client has command bars the add-in leaves the host (a click loads it again); on the
// ribbon it stays connected, since its button goes with the connection.
Form1& TheForm1();

// Finds this add-in in the host's COM add-in list by its description and sets its
// Connect to false. Throws orv::Error on failure.
void DisconnectSelf();

}  // namespace Global
