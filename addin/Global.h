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
//  - hostUi: how the client that connected last gives the add-in its place (host_ui.h); the
//    command bars until a connection says otherwise.
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

#include "host_ui.h"

class Form1;

namespace Global {

IDispatch* hostApp() noexcept;
void SetHostApp(IDispatch* app) noexcept;  // takes its own reference
void EmptyHostApp() noexcept;

orvalis::HostUi hostUi() noexcept;
void SetHostUi(orvalis::HostUi ui) noexcept;

// The one builder window object. Its unload step makes the add-in leave the host through
// DisconnectSelf where the client has command bars (a click loads it again); on the ribbon
// path the add-in stays connected, since its button goes with the connection.
Form1& TheForm1();

// Finds this add-in in the host's COM add-in list by its description and sets its
// Connect to false. Throws orv::Error on failure.
void DisconnectSelf();

}  // namespace Global
