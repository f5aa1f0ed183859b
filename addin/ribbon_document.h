#pragma once
// The add-in's ribbon, for clients of 2010 and later: the customUI document it hands the client
// for the main window, and the callbacks its controls name.
#include <windows.h>
#include <oleauto.h>

#include "bstr.h"
#include "ribbon.h"

namespace orvalis {

// The button's onAction: the client looks this name up on the connect object's IDispatch and
// invokes it with the IRibbonControl of the button. Its DISPID is apart from those of the add-in
// contract's operations (1 to 5).
inline constexpr wchar_t kRibbonButtonCallback[] = L"" ORVALIS_RIBBON_BUTTON_CALLBACK;
constexpr DISPID kRibbonButtonCallbackId = 1001;

// The DISPID of the document's callback of that name, looked up without regard to case as
// automation does; DISPID_UNKNOWN for a name the document doesn't use.
DISPID RibbonCallbackId(const wchar_t* name) noexcept;

// The customUI document for a ribbon of the client: the main window's ("Microsoft.Outlook.
// Explorer") from the library's resources; an empty string for every other ribbon (the
// inspectors'), which the add-in leaves as they are. Throws orv::Error when the library lacks
// its document.
orv::Bstr CustomUIFor(const wchar_t* ribbonId);

// A call of the document's callback id through the connect object's IDispatch::Invoke, with
// Invoke's arguments and answer. The button's shows the list builder (loaded first when it
// isn't, with hostApp's address book) and answers nothing; a method call with exactly one
// positional argument, an object (the IRibbonControl). Wrong arguments get the DISP_E_ result
// for what is wrong, with *argErr set where an argument is at fault; a failure comes back as
// DISP_E_EXCEPTION with its description in *excep.
HRESULT InvokeRibbonCallback(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                             UINT* argErr) noexcept;

}  // namespace orvalis
