#pragma once
// Which way the mail client gives the add-in its place. Up to its 2007 version the client has
// command bars: the add-in installs its button and menu item at start-up, leaves the host and
// is loaded again by a click. From 2010 on the command bars of its main window are hidden and
// the ribbon is the documented place: the add-in gives a ribbon button and stays connected.
#include <windows.h>
#include <ole2.h>

namespace orvalis {

enum class HostUi {
    CommandBars,  // up to 2007 (major version below 14), and whatever can't tell its version
    Ribbon,       // 2010, 2013, 2016 and later
};

// The first major version of the client that shows a ribbon in its main window.
constexpr int kFirstRibbonVersion = 14;

// Reads the Version of the application the client connects with ("14.0.0.4760": major 14).
// A version that can't be read, isn't a string or doesn't start with a number means the
// command bars, as the add-in has always used them. Never throws.
HostUi HostUiOf(IDispatch* application) noexcept;

}  // namespace orvalis
