// Which address book a window's load step opens. The choice is made here and nowhere else.
#include "address_book.h"

#include "dispatch.h"
#include "host_contract.h"
#include "handles.h"

namespace orvalis {

namespace {

using orv::ComPtr;

// CDO is installed when its ProgID names a class with a server registered for it. When it
// is, a failure to make the session (a server that fails to start, say) is CDO's own and
// stays the load's failure.
bool CdoInstalled() {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(contract::kCdoProgId, &clsid))) return false;
    wchar_t guid[40];
    if (!StringFromGUID2(clsid, guid, 40)) return false;
    for (const wchar_t* server : {L"\\InprocServer32", L"\\LocalServer32"}) {
        const std::wstring key = L"CLSID\\" + std::wstring(guid) + server;
        orv::RegKey k;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, k.put()) == ERROR_SUCCESS) return true;
    }
    return false;
}

// The client's namespace, from the application the client handed this connection: objects
// reached from it raise no security prompts, and its session is the client's own. A client
// of CDO's own era has no Select Names dialog in its object model; there the load fails as
// it always has without CDO.
std::shared_ptr<AddressBook> ClientAddressBookOf(IDispatch* hostApplication, const orv::Error& cdoFailure) {
    if (!hostApplication) orv::Raise(cdoFailure.hr(), cdoFailure.description());
    ComPtr<IDispatch> ns = orv::GetObj(hostApplication, L"GetNamespace", {orv::Variant::Str(L"MAPI")});
    if (!orv::HasMember(ns.Get(), L"GetSelectNamesDialog")) orv::Raise(cdoFailure.hr(), cdoFailure.description());
    return std::make_shared<ClientAddressBook>(ns);
}

}  // namespace

std::shared_ptr<AddressBook> ChooseAddressBook(IDispatch* hostApplication) {
    ComPtr<IUnknown> created;
    try {
        created = orv::CreateObject(contract::kCdoProgId, contract::IID_CdoSession);
    } catch (const orv::Error& e) {
        if (CdoInstalled()) throw;
        return ClientAddressBookOf(hostApplication, e);
    }
    return std::make_shared<CdoAddressBook>(orv::QueryAs<IDispatch>(created.Get(), contract::IID_CdoSession));
}

}  // namespace orvalis
