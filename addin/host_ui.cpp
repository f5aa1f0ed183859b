#include "host_ui.h"

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

}  // namespace

HostUi HostUiOf(IDispatch* application) noexcept {
    try {
        if (!application) return HostUi::CommandBars;
        const orv::Variant version = orv::Call(application, L"Version");
        if (version.vt() != VT_BSTR) return HostUi::CommandBars;
        return MajorVersion(orv::ToString(version)) >= kFirstRibbonVersion ? HostUi::Ribbon : HostUi::CommandBars;
    } catch (...) {
        return HostUi::CommandBars;
    }
}

}  // namespace orvalis
