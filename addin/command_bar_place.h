#pragma once
// The add-in's place in a client with command bars (up to its 2007 version): a start-up
// connection loads the builder window hidden, pops up the start-up note, keeps the client's
// application as hostApp and installs the toolbar button on every "Standard" bar and the item
// under "&Tools", both of which demand-load the add-in; it then leaves the host. A demand
// connection (mode 0) shows the window and does nothing else; closing the window leaves the
// host again. The four references to the client's command bars, menu bar and the two new
// controls are held from the install to the disconnection or shutdown.
#include <wrl/client.h>

#include "host_place.h"

namespace orvtest {
class Seam;
}

namespace orvalis {

class CommandBarPlace final : public HostPlace {
public:
    void Connect(IDispatch* application, ext_ConnectMode mode) override;
    void CompleteStartup() override;
    void WindowUnloaded() override;
    void Disconnect() override;
    void BeginShutdown() override;

private:
    friend class orvtest::Seam;

    // The start-up connection's install: window, start-up note, hostApp, then the controls.
    void InstallControls(IDispatch* application);
    // Adds the button to every bar named "Standard" of app; false when one of them already has
    // it, which means the controls are installed and the connection is done.
    bool InstallToolbarButtons(IDispatch* app);
    // Adds "&Orvalis Utility" under the last "&Tools" control of app's active menu bar.
    void InstallMenuItem(IDispatch* app);
    // Empties hostApp and the four references, in that order; what is empty already stays so.
    void ReleaseControls() noexcept;

    Microsoft::WRL::ComPtr<IDispatch> myCommandBars;
    Microsoft::WRL::ComPtr<IDispatch> myMenuBar;
    Microsoft::WRL::ComPtr<IDispatch> myMenuItem;
    Microsoft::WRL::ComPtr<IDispatch> myToolbarButton;
};

}  // namespace orvalis
