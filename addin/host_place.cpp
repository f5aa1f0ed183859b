// The one choice between the client's two places for the add-in.
#include "host_place.h"

#include <string>

#include "dispatch.h"

namespace orvalis {

namespace {

// The number before the first point ("16" in "16.0.0.0"), or -1 when there is none.
int MajorVersion(const std::wstring& version) {
    int major = 0;
    size_t i = 0;
    for (; i < version.size() && i < 6 && version[i] >= L'0' && version[i] <= L'9'; ++i)
        major = major * 10 + (version[i] - L'0');
    if (i == 0 || (i < version.size() && version[i] != L'.')) return -1;
    return major;
}

// The version as the client reports it; "" where it says nothing readable.
std::wstring VersionOf(IDispatch* application) {
    if (!application) return std::wstring();
    try {
        const orv::Variant version = orv::Call(application, L"Version");
        return version.vt() == VT_BSTR ? orv::ToString(version) : std::wstring();
    } catch (const orv::Error&) {
        return std::wstring();  // a client that can't tell its version is one of the old ones
    }
}

}  // namespace

std::shared_ptr<HostPlace> PlaceFor(IDispatch* application) {
    return MajorVersion(VersionOf(application)) >= kFirstRibbonVersion ? NewRibbonPlace() : NewCommandBarPlace();
}

}  // namespace orvalis
