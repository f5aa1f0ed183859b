#pragma once
// The mail client's ribbon interfaces (2010 and later), declared once for the client's side
// and the add-in's side: a connect object that offers IRibbonExtensibility hands the client a
// customUI document for each ribbon it shows; a click on one of its controls reaches the
// callback named in the document through the connect object's IDispatch, with an
// IRibbonControl that says which control it was. Both are dual interfaces whose members
// follow IDispatch's in the vtable; their DISPIDs are the published ones (1, 2, 3).
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>

namespace contract {

// What the add-in's customUI document and the code share, as plain macros too: the build
// writes them into the document (addin/ribbon_explorer.xml.in), so the two never differ.
// The namespace of the customUI documents the client reads from its 2010 version on.
#define ORVALIS_CUSTOMUI_NAMESPACE "http://schemas.microsoft.com/office/2009/07/customui"
// The add-in's button, and the callback its onAction names on the connect object.
#define ORVALIS_RIBBON_BUTTON_ID "OrvalisButton"
#define ORVALIS_RIBBON_BUTTON_CALLBACK "OnOrvalisButton"
// Its two options beside it: the checkBox "Lists in lists" with its getPressed and onAction,
// and the dropDown "Format" with its getSelectedItemIndex and onAction and one item per form
// of the list.
#define ORVALIS_RIBBON_NESTED_ID "OrvalisExpandNested"
#define ORVALIS_RIBBON_NESTED_PRESSED_CALLBACK "GetOrvalisExpandNested"
#define ORVALIS_RIBBON_NESTED_ACTION_CALLBACK "OnOrvalisExpandNested"
#define ORVALIS_RIBBON_FORMAT_ID "OrvalisListFormat"
#define ORVALIS_RIBBON_FORMAT_INDEX_CALLBACK "GetOrvalisListFormat"
#define ORVALIS_RIBBON_FORMAT_ACTION_CALLBACK "OnOrvalisListFormat"
#define ORVALIS_RIBBON_FORMAT_ADDRESS_NAME "FormatAddressName"
#define ORVALIS_RIBBON_FORMAT_MAILMAN "FormatMailman"
#define ORVALIS_RIBBON_FORMAT_CSV "FormatCsv"

inline constexpr wchar_t kCustomUINamespace[] = L"" ORVALIS_CUSTOMUI_NAMESPACE;
// The ribbon of the main window (the explorer). The inspectors have ribbons of their own
// ("Microsoft.Outlook.Mail.Read", "Microsoft.Outlook.Mail.Compose", ...).
inline constexpr wchar_t kExplorerRibbonId[] = L"Microsoft.Outlook.Explorer";

}  // namespace contract

// {000C0396-0000-0000-C000-000000000046}
struct IRibbonExtensibility : public IDispatch {
    // DISPID 1. The customUI document for the ribbon RibbonID, or an empty string for none.
    virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) = 0;
};
__CRT_UUID_DECL(IRibbonExtensibility, 0x000C0396, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)

// {000C0395-0000-0000-C000-000000000046}
struct IRibbonControl : public IDispatch {
    // DISPID 1: the control's id in the document.
    virtual HRESULT STDMETHODCALLTYPE get_Id(BSTR* Id) = 0;
    // DISPID 2: the window whose ribbon holds the control (the explorer, or an inspector).
    virtual HRESULT STDMETHODCALLTYPE get_Context(IDispatch** Context) = 0;
    // DISPID 3: the control's tag in the document, "" when it has none.
    virtual HRESULT STDMETHODCALLTYPE get_Tag(BSTR* Tag) = 0;
};
__CRT_UUID_DECL(IRibbonControl, 0x000C0395, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)

// {000C03A7-0000-0000-C000-000000000046}: what the add-in's onLoad callback gets. A control's
// callbacks are asked once and their answers kept; through this object the add-in says that
// some are out of date, and the client asks them again when it next shows the control.
struct IRibbonUI : public IDispatch {
    // DISPID 1: every control of the add-in's document.
    virtual HRESULT STDMETHODCALLTYPE Invalidate() = 0;
    // DISPID 2: the control with that id in the add-in's document.
    virtual HRESULT STDMETHODCALLTYPE InvalidateControl(BSTR ControlID) = 0;
    // DISPID 3: a built-in control (idMso).
    virtual HRESULT STDMETHODCALLTYPE InvalidateControlMso(BSTR ControlID) = 0;
    // DISPIDs 4 to 6: brings a tab of the document, a built-in tab, or a tab by qualified id to the front.
    virtual HRESULT STDMETHODCALLTYPE ActivateTab(BSTR ControlID) = 0;
    virtual HRESULT STDMETHODCALLTYPE ActivateTabMso(BSTR ControlID) = 0;
    virtual HRESULT STDMETHODCALLTYPE ActivateTabQ(BSTR ControlID, BSTR Namespace) = 0;
};
__CRT_UUID_DECL(IRibbonUI, 0x000C03A7, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)
