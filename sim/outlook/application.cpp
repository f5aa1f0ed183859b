// The mail client's application, its MAPI namespace with the default folders and the Select
// Names dialog, and the explorer window that a folder's Display opens.
#include "client_directory.h"
#include "client.h"
#include "host_objects.h"
#include "parts.h"
#include "sim_state.h"
#include "variant.h"

namespace sim {
namespace outlook {
namespace {

const IID IID__Application = {0x00063001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID__Explorer = {0x00063003, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_MAPIFolder = {0x00063006, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID__NameSpace = {0x00063002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// OlDefaultFolders the stand-in knows.
struct DefaultFolder {
    long code;
    const wchar_t* name;
};
const DefaultFolder kFolders[] = {
    {3, L"Deleted Items"}, {4, L"Outbox"}, {5, L"Sent Items"}, {6, L"Inbox"},
    {9, L"Calendar"},      {10, L"Contacts"}, {13, L"Tasks"}, {16, L"Drafts"},
};

class Folder : public Object {
public:
    explicit Folder(const std::wstring& name) : Object(L"Folder", name, {IID_MAPIFolder}) {
        Value(L"Name", [name] { return Variant::Str(name); });
        Member(L"Display", {}, [](const CallArgs&) {
            // Showing a folder opens an explorer window when none is active; a new explorer
            // shows the ribbons of the add-ins connected meanwhile.
            Host& h = TheHost();
            const bool opens = !h.explorerOpen;
            h.explorerOpen = true;
            if (opens) LoadExplorerRibbons();
            return Variant();
        });
    }
};

class NameSpace : public Object {
public:
    NameSpace() : Object(L"NameSpace", L"", {IID__NameSpace}) {
        Value(L"Type", [] { return Variant::Str(L"MAPI"); });
        Member(L"GetDefaultFolder", {L"FolderType"}, [](const CallArgs& a) {
            if (!a.Has(0)) Fail(DISP_E_PARAMNOTFOUND, L"GetDefaultFolder needs a folder type");
            long code = orv::ToLong(*a.At(0));
            for (const auto& f : kFolders)
                if (f.code == code) return Hand(new Folder(f.name));
            Fail(E_INVALIDARG, L"The stand-in has no default folder " + std::to_wstring(code));
        });
        // A client of CDO's own era has no such member: asking for it by name fails.
        if (OffersSelectNamesDialog())
            Member(L"GetSelectNamesDialog", {}, [](const CallArgs&) { return NewSelectNamesDialog(); });
    }
};

class Explorer : public Object {
public:
    Explorer() : Object(L"Explorer", L"", {IID__Explorer}) {
        Value(L"Caption", [] { return Variant::Str(L"Inbox"); });
        Value(L"CommandBars", [] { return NewCommandBars(); });
        // From 2010 on the ribbon replaces the explorer's command bars; the member stays for
        // old add-ins, whose controls land on the ribbon's Add-ins tab.
        if (IsRibbonHost()) Hidden(L"CommandBars");
    }
};

class Application;
Application* g_app = nullptr;  // weak: the application lives while someone holds it

class Application : public Object {
public:
    Application() : Object(L"Application", L"", {IID__Application}) {
        g_app = this;
        Value(L"Name", [] { return Variant::Str(L"Outlook"); });
        Value(L"Version", [] { return Variant::Str(ClientVersion()); });
        Value(L"ActiveExplorer", [] { return NewExplorer(); });
        Value(L"COMAddIns", [] { return NewCOMAddIns(); });
        Member(L"GetNamespace", {L"Type"}, [](const CallArgs& a) {
            std::wstring type = a.Has(0) ? orv::ToString(*a.At(0)) : L"";
            if (_wcsicmp(type.c_str(), L"MAPI") != 0) Fail(E_INVALIDARG, L"Only the \"MAPI\" namespace exists");
            return Hand(new NameSpace);
        });
        Member(L"Quit", {}, [](const CallArgs&) {
            ShutdownHost();
            return Variant();
        });
    }

protected:
    ~Application() override { g_app = nullptr; }
};

}  // namespace

Variant NewExplorer() {
    // Nothing (an empty object) when no explorer window is open.
    if (!TheHost().explorerOpen) return Variant::Object(nullptr);
    return Hand(new Explorer);
}

ComPtr<IDispatch> ApplicationObject() {
    if (g_app) return ComPtr<IDispatch>(static_cast<IDispatch*>(g_app));
    // mingw's ComPtr::Attach adds a reference of its own, so the new object's first one is
    // handed over by hand.
    ComPtr<IDispatch> app(static_cast<IDispatch*>(new Application));
    app->Release();
    return app;
}

}  // namespace outlook

HRESULT GetOutlookApplication(IUnknown** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        outlook::TheHost();
        *out = outlook::ApplicationObject().Detach();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace sim
