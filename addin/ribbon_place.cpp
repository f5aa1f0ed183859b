// The add-in's place in a client with a ribbon (2010 and later): every connection only keeps
// the client's application as hostApp; the client asks for the ribbon document
// (IRibbonExtensibility, ribbon_document.h), whose button shows the list builder with it, and
// the add-in stays connected, also when the window closes, until the client lets it go: then
// the window closes and everything of the client's is let go.
#include "host_place.h"

#include "Global.h"
#include "dispatch.h"
#include "form1.h"
#include "host_contract.h"

namespace orvalis {

namespace {

class RibbonPlace final : public HostPlace {
public:
    // The client's application and the list's options, nothing else: start-up must stay quick,
    // and the ribbon's controls come from the document the client asks for.
    void Connect(IDispatch* application, ext_ConnectMode) override {
        Global::SetHostApp(orv::QueryAs<IDispatch>(application, contract::IID__Application).Get());
        // Two values of the user's own key: the controls ask for them before start-up ends.
        Global::TheForm1().OfferOptions();
    }

    // The add-in stays connected after start-up and when the window closes: its button goes
    // with the connection.
    void CompleteStartup() override {}
    void WindowUnloaded() override {}

    // The window goes (its unload step lets the add-in stay connected, which it no longer is
    // anyway), and with it the session and the help's windows; the last selection goes too,
    // and hostApp.
    void Disconnect() override {
        Global::TheForm1().UnloadAndForget();
        Global::EmptyHostApp();
    }

    // A shutdown lets go of everything as a disconnection does: current clients may end
    // without calling OnDisconnection after it.
    void BeginShutdown() override { Disconnect(); }
};

}  // namespace

std::shared_ptr<HostPlace> NewRibbonPlace() { return std::make_shared<RibbonPlace>(); }

}  // namespace orvalis
