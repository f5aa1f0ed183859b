// Module1: undoes in the mail client what the add-in installs there. It deletes the toolbar
// button from every "Standard" bar and the menu item from every "&Tools" entry, sets Connect
// to false on every add-in listed under our description, and quits the client. Everything
// goes late-bound through the client's automation objects; no step catches a failure, so the
// first one ends the run in the error box and what was done before it stays done.
#include "Module1.h"

#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "dispatch.h"
#include "host_contract.h"
#include "resource.h"
#include "standard_bars.h"

namespace Module1 {
namespace {

using orv::ComPtr;
using orv::Variant;

using namespace contract;

constexpr int32_t kInboxFolder = 6;

constexpr UINT kExitFailed = 1;

// Runs f(i) for i = 1 to last with a 16-bit counter, stopping at the top of the range
// instead of wrapping round.
template <class F>
void ForIndex(int16_t last, F f) {
    for (int16_t i = 1; i <= last; ++i) {
        f(i);
        if (i == INT16_MAX) break;
    }
}

void ShowInbox(IDispatch* app) {
    Variant myNamespace = orv::Call(app, L"GetNamespace", {L"MAPI"});
    Variant myFolder = orv::Call(orv::AsObject(myNamespace).Get(), L"GetDefaultFolder", {Variant::I4(kInboxFolder)});
    orv::Call(orv::AsObject(myFolder).Get(), L"Display");
}

// Every control captioned "Orvalis" directly on every bar named "Standard". Each bar is
// fetched again for its controls: the client may rebuild the bars while we delete, and nothing
// is held across them. The matches are collected during one walk of the bar's controls and
// deleted afterwards, so a collection whose enumerator shifts on a deletion cannot make us
// skip the duplicate next to a match.
void DeleteToolbarButtons(IDispatch* app) {
    ForEachStandardBar(app, [&](int16_t i, IDispatch*) {
        std::vector<ComPtr<IDispatch>> matches;
        orv::ForEach(orv::GetObj(CommandBarAt(app, i).Get(), L"Controls").Get(), [&](const Variant& item) {
            auto control = orv::QueryAs<IDispatch>(orv::AsObject(item).Get(), IID_CommandBarControl);
            if (orv::GetString(control.Get(), L"Caption") == kButtonCaption) matches.push_back(control);
            return true;
        });
        for (const auto& control : matches) orv::Call(control.Get(), L"Delete");
        return true;
    });
}

// Entry j of the held menu bar, fetched afresh for every access.
ComPtr<IDispatch> MenuEntry(IDispatch* myMenuBar, int16_t j) {
    return orv::GetObj(orv::GetObj(myMenuBar, L"Controls").Get(), L"Item", {Variant::I2(j)});
}

// Sub-item k of entry j, reached through the entry's Controls by name with the index passed
// as a reference to the counter.
ComPtr<IDispatch> MenuItem(IDispatch* myMenuBar, int16_t j, int16_t& k) {
    return orv::GetObj(MenuEntry(myMenuBar, j).Get(), L"Controls", {Variant::RefI2(&k)});
}

// Deletes the first "&Orvalis Utility" among the entry's direct sub-items; false when none.
bool DeleteFirstMenuItem(IDispatch* myMenuBar, int16_t j) {
    int16_t c = orv::ToCount16(orv::Call(orv::GetObj(MenuEntry(myMenuBar, j).Get(), L"Controls").Get(), L"Count"));
    for (int16_t k = 1; k <= c; ++k) {
        if (orv::GetString(MenuItem(myMenuBar, j, k).Get(), L"Caption") == kMenuItemCaption) {
            orv::Call(MenuItem(myMenuBar, j, k).Get(), L"Delete");
            return true;
        }
        if (k == INT16_MAX) break;
    }
    return false;
}

// Every "&Orvalis Utility" directly under every "&Tools" entry of the menu bar. After each
// deletion the entry is scanned again from its first item, so adjacent duplicates go too.
void DeleteMenuItems(IDispatch* app) {
    ComPtr<IDispatch> myMenuBar =
        orv::QueryAs<IDispatch>(orv::GetObj(ActiveCommandBars(app).Get(), L"ActiveMenuBar").Get(), IID_CommandBar);
    int16_t m = orv::ToCount16(orv::Call(orv::GetObj(myMenuBar.Get(), L"Controls").Get(), L"Count"));
    ForIndex(m, [&](int16_t j) {
        if (orv::GetString(MenuEntry(myMenuBar.Get(), j).Get(), L"Caption") != kToolsCaption) return;
        while (DeleteFirstMenuItem(myMenuBar.Get(), j)) {
        }
    });
}

ComPtr<IDispatch> AddIn(IDispatch* app, int16_t& i) {
    return orv::GetObj(orv::GetObj(app, L"COMAddIns").Get(), L"Item", {Variant::RefI2(&i)});
}

// Connect = False on every add-in with our description, connected or not.
void DisconnectAddIns(IDispatch* app) {
    int16_t p = orv::ToCount16(orv::Call(orv::GetObj(app, L"COMAddIns").Get(), L"Count"));
    ForIndex(p, [&](int16_t i) {
        if (orv::GetString(AddIn(app, i).Get(), L"Description") != kAddInDescription) return;
        orv::Put(AddIn(app, i).Get(), L"Connect", Variant::Bool(false));
    });
}

// Whatever the client or COM left in our queue is handled once before the process ends.
void ProcessWaitingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Reset() {
    // A plain creation: the client's own server decides whether that is a running instance.
    ComPtr<IDispatch> app =
        orv::QueryAs<IDispatch>(orv::CreateObject(kOutlookProgId).Get(), IID__Application);
    ShowInbox(app.Get());
    DeleteToolbarButtons(app.Get());
    DeleteMenuItems(app.Get());
    DisconnectAddIns(app.Get());
    orv::Call(app.Get(), L"Quit");
    ProcessWaitingMessages();
}

std::wstring Title() {
    const wchar_t* text = nullptr;
    int n = LoadStringW(GetModuleHandleW(nullptr), IDS_TITLE, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

// The run-time number for the classic errors, the HRESULT (hex and decimal) for the rest.
std::wstring ErrorText(const orv::Error& e) {
    std::wstring text = orv::IsRuntimeError(e.hr())
                            ? L"Run-time error " + e.NumberText()
                            : L"Error " + e.NumberText() + L" (" + std::to_wstring(static_cast<long>(e.hr())) + L")";
    if (!e.description().empty()) text += L"\r\n\r\n" + e.description();
    return text;
}

// The error box for the exception being handled. Call it in a catch block.
void ShowCurrentError() noexcept {
    try {
        const std::wstring text = ErrorText(orv::CurrentError());
        MessageBoxW(nullptr, text.c_str(), Title().c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    } catch (const std::bad_alloc&) {
        // Too short of memory even for the text: the exit code still tells.
    }
}

}  // namespace

void Main() {
    UINT exitCode = 0;
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        orv::ThrowIfFailed(init, L"CoInitializeEx");
        Reset();
    } catch (...) {
        ShowCurrentError();
        exitCode = kExitFailed;
    }
    if (SUCCEEDED(init)) CoUninitialize();
    ExitProcess(exitCode);
}

}  // namespace Module1
