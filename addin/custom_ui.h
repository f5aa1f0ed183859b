#pragma once
// The add-in's ribbon, for clients of 2010 and later: the customUI document it hands the
// client for the main window, and the callback its button names.
#include <windows.h>
#include <oleauto.h>

#include "bstr.h"

namespace orvalis {

// The button's onAction: the client looks this name up on the connect object's IDispatch
// and invokes it with the IRibbonControl of the button. Its DISPID is apart from those of the
// add-in contract's operations (1 to 5).
inline constexpr wchar_t kRibbonButtonCallback[] = L"OnOrvalisButton";
constexpr DISPID kRibbonButtonCallbackId = 1001;

// The customUI document for a ribbon of the client: the main window's ("Microsoft.Outlook.
// Explorer") from the library's resources; an empty string for every other ribbon (the
// inspectors'), which the add-in leaves as they are. Throws orv::Error when the library lacks
// its document.
orv::Bstr CustomUIFor(const wchar_t* ribbonId);

// Checks the arguments of a call of the button's callback: a method call with exactly one
// positional argument, an object (the IRibbonControl). Returns S_OK, or the DISP_E_ result
// for what is wrong, with *argErr set where an argument is at fault.
HRESULT CheckRibbonCallbackArgs(WORD flags, const DISPPARAMS* params, UINT* argErr) noexcept;

}  // namespace orvalis
