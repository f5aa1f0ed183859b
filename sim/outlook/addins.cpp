// The COM add-in list and what the host does to an add-in: it creates the connect class by
// its ProgID and calls the connection interface through its vtable, logging every call and
// every failure (with the add-in's error description).
#include <cwchar>

#include "addin_signature.h"
#include "bstr.h"
#include "host_extensibility.h"
#include "host_objects.h"
#include "sim_state.h"
#include "variant.h"

namespace sim::outlook {
namespace {

const IID IID_COMAddIns = {0x000C0339, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_COMAddIn = {0x000C033A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

ComPtr<IDTExtensibility2> Extensibility(IUnknown* object) {
    ComPtr<IDTExtensibility2> ext;
    if (object) object->QueryInterface(IID_IDTExtensibility2, reinterpret_cast<void**>(ext.GetAddressOf()));
    return ext;
}

// Runs one call with custom: a pointer to an empty array of variants, as the real host passes.
// Error info left from an earlier call is cleared first, so a failure is reported with the
// description the add-in set, or none.
template <class F>
HRESULT WithCustom(F call) {
    SetErrorInfo(0, nullptr);
    SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    HRESULT hr = call(&custom);
    if (custom) SafeArrayDestroy(custom);
    return hr;
}

class COMAddIn : public Object {
public:
    explicit COMAddIn(AddInPtr a) : Object(L"COMAddIn", a->progId, {IID_COMAddIn}), a_(std::move(a)) {
        Field(L"Description", [this] { return Variant::Str(a_->description); },
              [this](const VARIANT& v) { a_->description = orv::ToString(v); });
        Value(L"ProgId", [this] { return Variant::Str(a_->progId); });
        Value(L"Guid", [this] {
            CLSID clsid;
            wchar_t text[64] = L"";
            if (SUCCEEDED(CLSIDFromProgID(a_->progId.c_str(), &clsid))) StringFromGUID2(clsid, text, 64);
            return Variant::Str(text);
        });
        Field(L"Connect", [this] { return Variant::Bool(a_->connected); },
              [this](const VARIANT& v) { SetConnect(orv::ToBool(v)); });
        Value(L"Object", [this] {
            ComPtr<IDispatch> d;
            if (a_->connected && a_->object)
                a_->object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.GetAddressOf()));
            return Variant::Object(d.Get());
        });
        Value(L"Application", [] { return Variant::Object(ApplicationObject().Get()); });
        Value(L"Parent", [] { return NewCOMAddIns(); });
    }

private:
    void SetConnect(bool on) {
        // Switching off a disconnected add-in, or on a connected one, changes nothing.
        if (!on) return DisconnectAddIn(a_, ext_dm_UserClosed);
        if (a_->connected) return;
        ConnectAddIn(a_, ext_cm_AfterStartup);
    }

    AddInPtr a_;
};

class COMAddIns : public Object {
public:
    COMAddIns() : Object(L"COMAddIns", L"", {IID_COMAddIns}) {
        Value(L"Count", [] { return Variant::I4(static_cast<int32_t>(TheHost().addIns.size())); });
        Member(L"Item", {L"Index"}, [](const CallArgs& a) {
            if (!a.Has(0)) Fail(DISP_E_PARAMNOTFOUND, L"Item needs an index");
            Variant index = Variant::CopyOf(*a.At(0));  // the index may come by reference
            const auto& list = TheHost().addIns;
            if (index.vt() == VT_BSTR) {
                std::wstring progId = orv::ToString(index);
                for (const auto& addIn : list)
                    if (_wcsicmp(addIn->progId.c_str(), progId.c_str()) == 0) return NewCOMAddIn(addIn);
                Fail(DISP_E_BADINDEX, L"No add-in has the ProgID " + progId);
            }
            long i = orv::ToLong(index);
            if (i < 1 || static_cast<size_t>(i) > list.size())
                Fail(DISP_E_BADINDEX, L"The index into the collection is out of bounds");
            return NewCOMAddIn(list[i - 1]);
        });
        Value(L"_NewEnum", [] {
            std::vector<Variant> items;
            for (const auto& addIn : TheHost().addIns) items.push_back(NewCOMAddIn(addIn));
            return NewEnum(std::move(items));
        });
        Member(L"Update", {}, [](const CallArgs&) {
            SyncRegistryAddIns(TheHost());
            return Variant();
        });
    }
};

}  // namespace

std::wstring Target(const AddIn& a) { return L"AddIn[" + a.progId + L"]"; }

std::wstring HexCode(HRESULT hr) {
    wchar_t buf[16];
    swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

void ReportFailure(const AddIn& a, const wchar_t* method, HRESULT hr) {
    std::wstring description;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        orv::Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put()))) description = text.str();
        info->Release();
    }
    LogLine(Target(a) + L"." + method + L" failed " + HexCode(hr) + L" \"" + description + L"\"");
}

Variant NewCOMAddIns() { return Hand(new COMAddIns); }
Variant NewCOMAddIn(const AddInPtr& addIn) { return Hand(new COMAddIn(addIn)); }

void ConnectAddIn(const AddInPtr& addIn, LONG connectMode) {
    LogLine(Target(*addIn) + L".Create()");
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(addIn->progId.c_str(), &clsid);
    if (FAILED(hr)) {
        LogLine(Target(*addIn) + L".Create failed " + HexCode(hr) + L" \"not registered\"");
        Fail(hr, L"The add-in " + addIn->progId + L" is not registered");
    }
    // Under the signing policy the server is checked first; the check keeps the file as it was
    // checked until the class is created.
    ServerCheck check;
    if (RequiresSignedAddIns()) {
        check = CheckServerSignature(clsid);
        if (!check.refusal.empty()) {
            LogLine(Target(*addIn) + L".Create refused " + HexCode(check.hr) + L" \"" + check.refusal + L"\": " +
                    (check.path.empty() ? L"no InprocServer32" : check.path));
            Fail(check.hr, L"The add-in " + addIn->progId + L" is not loaded: " + check.refusal);
        }
        LogLine(Target(*addIn) + L".Create accepted: signed by \"" + check.signer + L"\", a trusted publisher: " +
                check.path);
    }
    ComPtr<IUnknown> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                          reinterpret_cast<void**>(object.GetAddressOf()));
    if (FAILED(hr)) {
        LogLine(Target(*addIn) + L".Create failed " + HexCode(hr) + L" \"cannot create\"");
        Fail(hr, L"The add-in " + addIn->progId + L" could not be created");
    }
    AttachAddIn(addIn, object.Get(), connectMode);
}

HRESULT AttachAddIn(const AddInPtr& addIn, IUnknown* object, LONG connectMode) {
    ComPtr<IUnknown> hold = object;
    ComPtr<IDTExtensibility2> ext = Extensibility(object);
    if (!ext) {
        LogLine(Target(*addIn) + L".OnConnection failed " + HexCode(E_NOINTERFACE) + L" \"no IDTExtensibility2\"");
        return E_NOINTERFACE;
    }
    // Connected from here on: the add-in may already switch itself off inside OnConnection.
    addIn->object = object;
    addIn->connected = true;
    ComPtr<IDispatch> app = ApplicationObject();
    Variant instance = NewCOMAddIn(addIn);
    LogLine(Target(*addIn) + L".OnConnection(mode " + std::to_wstring(connectMode) + L")");
    HRESULT hr = WithCustom([&](SAFEARRAY** custom) {
        return ext->OnConnection(app.Get(), connectMode, instance.get().pdispVal, custom);
    });
    if (FAILED(hr)) {
        ReportFailure(*addIn, L"OnConnection", hr);
        if (addIn->object.Get() == object) {
            addIn->connected = false;
            addIn->object.Reset();
        }
    } else if (addIn->connected && addIn->object.Get() == object) {
        LoadExplorerRibbon(addIn);  // unless the add-in switched itself off meanwhile
    }
    return hr;
}

void DisconnectAddIn(const AddInPtr& addIn, LONG removeMode) {
    if (!addIn->connected) return;
    // Off before the call, so a nested switch-off inside OnDisconnection finds nothing to do;
    // the host's reference goes only after the call has returned.
    ComPtr<IUnknown> object = std::move(addIn->object);
    addIn->connected = false;
    // Its ribbon goes with the connection; the next one is asked again.
    addIn->ribbon.clear();
    addIn->ribbonAsked = false;
    LogLine(Target(*addIn) + L".OnDisconnection(mode " + std::to_wstring(removeMode) + L")");
    if (auto ext = Extensibility(object.Get())) {
        HRESULT hr = WithCustom([&](SAFEARRAY** custom) { return ext->OnDisconnection(removeMode, custom); });
        if (FAILED(hr)) ReportFailure(*addIn, L"OnDisconnection", hr);
    }
}

void CallStartupComplete(const AddInPtr& addIn) {
    if (!addIn->connected) return;
    ComPtr<IUnknown> object = addIn->object;  // kept alive if the add-in disconnects itself
    LogLine(Target(*addIn) + L".OnStartupComplete()");
    if (auto ext = Extensibility(object.Get())) {
        HRESULT hr = WithCustom([&](SAFEARRAY** custom) { return ext->OnStartupComplete(custom); });
        if (FAILED(hr)) ReportFailure(*addIn, L"OnStartupComplete", hr);
    }
}

void CallBeginShutdown(const AddInPtr& addIn) {
    if (!addIn->connected) return;
    ComPtr<IUnknown> object = addIn->object;
    LogLine(Target(*addIn) + L".OnBeginShutdown()");
    if (auto ext = Extensibility(object.Get())) {
        HRESULT hr = WithCustom([&](SAFEARRAY** custom) { return ext->OnBeginShutdown(custom); });
        if (FAILED(hr)) ReportFailure(*addIn, L"OnBeginShutdown", hr);
    }
}

}  // namespace sim::outlook
