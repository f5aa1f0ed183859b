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
// The options' callbacks: the checkBox's getPressed and onAction, the dropDown's
// getSelectedItemIndex and onAction.
constexpr DISPID kNestedPressedId = 1002;
constexpr DISPID kNestedActionId = 1003;
constexpr DISPID kFormatIndexId = 1004;
constexpr DISPID kFormatActionId = 1005;

// The DISPID of the document's callback of that name, looked up without regard to case as
// automation does; DISPID_UNKNOWN for a name the document doesn't use.
DISPID RibbonCallbackId(const wchar_t* name) noexcept;

// The customUI document for a ribbon of the client: the main window's ("Microsoft.Outlook.
// Explorer") from the library's resources; an empty string for every other ribbon (the
// inspectors'), which the add-in leaves as they are. Throws orv::Error when the library lacks
// its document.
orv::Bstr CustomUIFor(const wchar_t* ribbonId);

// A call of the document's callback id through the connect object's IDispatch::Invoke, with
// Invoke's arguments and answer: a method call with the IRibbonControl and then the callback's
// own positional arguments, as the client passes them (last first in DISPPARAMS).
//  - the button's onAction(control): shows the list builder (loaded first when it isn't, with
//    hostApp's address book);
//  - the checkBox's getPressed(control): VT_BOOL, whether lists in lists are expanded;
//    onAction(control, pressed): sets that and keeps it for the user;
//  - the dropDown's getSelectedItemIndex(control): VT_I4, the item of the list's format;
//    onAction(control, selectedId, selectedIndex): sets the format of that item and keeps it.
// Wrong arguments get the DISP_E_ result for what is wrong, with *argErr set where an argument
// is at fault; a failure comes back as DISP_E_EXCEPTION with its description in *excep.
HRESULT InvokeRibbonCallback(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                             UINT* argErr) noexcept;

}  // namespace orvalis
