#include "call_text.h"

#include <htmlhelp.h>

#include <cwchar>

#include "desktop.h"

namespace hhsim {

bool Popup::complete() const { return cbStruct == static_cast<int>(sizeof(HH_POPUP)); }

bool TakesString(UINT command) {
    return command == HH_DISPLAY_TOPIC || command == HH_DISPLAY_TOC || command == HH_DISPLAY_INDEX;
}

std::wstring CommandName(UINT command) {
    struct Name {
        UINT command;
        const wchar_t* name;
    };
    static const Name kNames[] = {
        {HH_DISPLAY_TOPIC, L"HH_DISPLAY_TOPIC"},       {HH_DISPLAY_TOC, L"HH_DISPLAY_TOC"},
        {HH_DISPLAY_INDEX, L"HH_DISPLAY_INDEX"},       {HH_DISPLAY_SEARCH, L"HH_DISPLAY_SEARCH"},
        {HH_SET_WIN_TYPE, L"HH_SET_WIN_TYPE"},         {HH_GET_WIN_TYPE, L"HH_GET_WIN_TYPE"},
        {HH_GET_WIN_HANDLE, L"HH_GET_WIN_HANDLE"},     {HH_SYNC, L"HH_SYNC"},
        {HH_KEYWORD_LOOKUP, L"HH_KEYWORD_LOOKUP"},     {HH_DISPLAY_TEXT_POPUP, L"HH_DISPLAY_TEXT_POPUP"},
        {HH_HELP_CONTEXT, L"HH_HELP_CONTEXT"},         {HH_TP_HELP_CONTEXTMENU, L"HH_TP_HELP_CONTEXTMENU"},
        {HH_TP_HELP_WM_HELP, L"HH_TP_HELP_WM_HELP"},   {HH_CLOSE_ALL, L"HH_CLOSE_ALL"},
        {HH_ALINK_LOOKUP, L"HH_ALINK_LOOKUP"},         {HH_GET_LAST_ERROR, L"HH_GET_LAST_ERROR"},
        {HH_INITIALIZE, L"HH_INITIALIZE"},             {HH_UNINITIALIZE, L"HH_UNINITIALIZE"},
        {HH_SAFE_DISPLAY_TOPIC, L"HH_SAFE_DISPLAY_TOPIC"}, {HH_PRETRANSLATEMESSAGE, L"HH_PRETRANSLATEMESSAGE"},
        {HH_SET_GLOBAL_PROPERTY, L"HH_SET_GLOBAL_PROPERTY"},
    };
    for (const Name& n : kNames)
        if (n.command == command) return n.name;
    wchar_t hex[16];
    swprintf(hex, 16, L"0x%04X", command);
    return hex;
}

std::wstring Quoted(const std::wstring& s) {
    std::wstring q = L"\"";
    for (wchar_t c : s) {
        switch (c) {
            case L'"': q += L"\\\""; break;
            case L'\r': q += L"\\r"; break;
            case L'\n': q += L"\\n"; break;
            case L'\t': q += L"\\t"; break;
            default:
                if (c < 0x20) {
                    wchar_t hex[8];
                    swprintf(hex, 8, L"\\x%02X", static_cast<unsigned>(c));
                    q += hex;
                } else {
                    q += c;
                }
        }
    }
    return q + L"\"";
}

std::wstring ModuleName(HINSTANCE hinst) {
    if (!hinst) return L"NULL";
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(hinst, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return L"?";
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

namespace {

std::wstring OwnerText(HWND owner) {
    if (!owner) return L"HWND NULL";
    if (!IsWindow(owner)) return L"HWND not a window";
    wchar_t cls[256] = L"";
    GetClassNameW(owner, cls, 256);
    return std::wstring(L"HWND ") + cls + L" " + Quoted(desktop::WindowText(owner));
}

std::wstring Number(long long n) { return std::to_wstring(n); }

std::wstring Colour(COLORREF c) {
    return L"RGB(" + Number(GetRValue(c)) + L"," + Number(GetGValue(c)) + L"," + Number(GetBValue(c)) + L")";
}

// Where the pop-up's text comes from, and the text itself.
std::wstring PopupSource(const Popup& p, bool hasFile) {
    if (p.idString == 0) return L"text=" + (p.text ? Quoted(*p.text) : L"NULL");
    if (hasFile) return L"topic=" + Number(p.idString);
    return L"string=" + ModuleName(p.hinst) + L"#" + Number(p.idString) + L" " + (p.shown ? Quoted(*p.shown) : L"missing");
}

std::wstring PopupText(const Popup& p, bool hasFile) {
    if (!p.complete()) return L"HH_POPUP{cbStruct=" + Number(p.cbStruct) + L"}";
    std::wstring s = L"HH_POPUP{" + PopupSource(p, hasFile);
    s += L", pt=(" + Number(p.pt.x) + L"," + Number(p.pt.y) + L")";
    // The system's colours and margins (-1) are what a pop-up has unless told otherwise.
    if (p.foreground != CLR_INVALID) s += L", fg=" + Colour(p.foreground);
    if (p.background != CLR_INVALID) s += L", bg=" + Colour(p.background);
    const RECT& m = p.margins;
    if (m.left != -1 || m.top != -1 || m.right != -1 || m.bottom != -1)
        s += L", margins=(" + Number(m.left) + L"," + Number(m.top) + L"," + Number(m.right) + L"," + Number(m.bottom) + L")";
    if (p.font) s += L", font=" + Quoted(*p.font);
    return s + L"}";
}

std::wstring DataText(const Request& r) {
    if (TakesString(r.command)) return r.topic ? Quoted(*r.topic) : L"NULL";
    if (r.command == HH_DISPLAY_TEXT_POPUP) return r.popup ? PopupText(*r.popup, r.file.has_value()) : L"NULL";
    if (r.command == HH_INITIALIZE) return r.data ? L"&cookie" : L"NULL";
    return std::to_wstring(static_cast<unsigned long long>(r.data));
}

}  // namespace

std::wstring CallLine(const Request& r) {
    return L"HtmlHelp." + r.api + L"(" + OwnerText(r.owner) + L", " + (r.file ? Quoted(*r.file) : L"NULL") + L", " +
           CommandName(r.command) + L", " + DataText(r) + L")";
}

}  // namespace hhsim
