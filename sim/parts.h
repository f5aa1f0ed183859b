#pragma once
// The stand-ins the server hands out.
#include <windows.h>
#include <ole2.h>

namespace sim {

using Creator = HRESULT (*)(IUnknown** out);

// {3FA7DEA3-6438-101B-ACC1-00AA00423326}: the class behind "MAPI.Session".
inline constexpr CLSID CLSID_CdoSession = {0x3FA7DEA3, 0x6438, 0x101B, {0xAC, 0xC1, 0x00, 0xAA, 0x00, 0x42, 0x33, 0x26}};
// {0006F03A-0000-0000-C000-000000000046}: the class behind "Outlook.Application".
inline constexpr CLSID CLSID_OutlookApplication = {0x0006F03A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A new CDO session (sim/cdo).
HRESULT CreateCdoSession(IUnknown** out);
// The process's one application object, created on first use (sim/outlook).
HRESULT GetOutlookApplication(IUnknown** out);

}  // namespace sim
