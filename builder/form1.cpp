#include "form1.h"

#include <string>
#include <vector>

#include "error.h"
#include "form1_layout.h"
#include "handles.h"
#include "help.h"
#include "list_output.h"
#include "messages.h"
#include "module.h"
#include "report.h"
#include "version.h"

namespace {

using orv::RaiseLastError;

// Once a window has stood, the module stays loaded for the life of the process: the window
// stays loaded (hidden) after the add-in has disconnected itself, its message hook and
// procedure live in this module, and module state such as the host application made by
// DisconnectSelf is kept for good. A host that frees unused libraries must not unmap them.
void PinThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinThisModule), &module);
}

// A dialog-manager window under its own class name: DefDlgProc does the keyboard navigation.
void RegisterWindowClass(HINSTANCE module) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
    wc.lpszClassName = form1::kWindowClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastError(L"RegisterClassEx");
}

// An in-memory dialog template without controls (they are made in pixels, from twips).
std::vector<WORD> WindowTemplate() {
    std::vector<WORD> t;
    auto dword = [&](DWORD d) { t.push_back(LOWORD(d)); t.push_back(HIWORD(d)); };
    auto text = [&](const wchar_t* s) { for (; *s; ++s) t.push_back(*s); t.push_back(0); };
    dword(form1::kWindowStyle);
    dword(form1::kWindowExStyle);
    t.insert(t.end(), {0, 0, 0, 0, 0});  // no items; x, y, cx, cy set once the controls stand
    t.push_back(0);                      // no menu
    text(form1::kWindowClass);
    text(form1::kCaption);
    t.push_back(form1::kDialogFontPoints);
    text(form1::kDialogFontFace);
    return t;
}

struct Dpi {
    int x, y;
};

Dpi ScreenDpi() {
    const orv::WindowDc screen(nullptr);
    if (!screen.get()) return {96, 96};
    return {GetDeviceCaps(screen.get(), LOGPIXELSX), GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

int Pixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

std::wstring VersionLine() {
    return form1::kVersionPrefix + std::to_wstring(ORVALIS_VERSION_MAJOR) + L"." +
           std::to_wstring(ORVALIS_VERSION_MINOR) + L"." + std::to_wstring(ORVALIS_VERSION_REVISION);
}

// The builder window whose message a hook sees, if any: the window of our class that
// holds it, found through the window itself rather than through state of our own.
Form1* FormOf(HWND hwnd) {
    HWND top = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
    wchar_t name[32];
    if (!top || !GetClassNameW(top, name, 32) || lstrcmpW(name, form1::kWindowClass) != 0) return nullptr;
    if (reinterpret_cast<HINSTANCE>(GetClassLongPtrW(top, GCLP_HMODULE)) != orv::ThisModule()) return nullptr;
    return reinterpret_cast<Form1*>(GetWindowLongPtrW(top, DWLP_USER));
}

}  // namespace

Form1::Form1(std::function<void()> disconnectSelf) : disconnectSelf_(std::move(disconnectSelf)) {}

HWND Form1::List1() const { return Control(form1::kList1); }

HWND Form1::hWnd(IDispatch* hostApplication) {
    if (!IsLoaded()) Load(hostApplication);
    return hwnd_;
}

void Form1::Show(IDispatch* hostApplication) {
    HWND w = hWnd(hostApplication);
    bool wasHidden = !IsWindowVisible(w);
    ShowWindow(w, SW_SHOWNORMAL);
    SetForegroundWindow(w);
    if (wasHidden) SetFocus(List1());
}

void Form1::Unload() {
    if (!IsLoaded() || unloading_) return;
    unloading_ = true;
    try {
        RunUnloadStep();
    } catch (...) {
        DestroyTheWindow();
        unloading_ = false;
        throw;
    }
    DestroyTheWindow();
    unloading_ = false;
}

void Form1::OfferOptions() { options_ = orvalis::ReadListOptions(); }

orvalis::ListOptions& Form1::OfferedOptions() {
    if (!options_) OfferOptions();
    return *options_;
}

void Form1::UnloadAndForget() {
    struct Forget {
        orvalis::ListBuilder& builder;
        ~Forget() { builder.ForgetRecips(); }
    } forget{builder_};
    Unload();
}

// A load that fails is reported here, where the reason is known, and leaves nothing behind:
// no half-made window and no session that never logged on. The next handle request or Show
// tries again from the start, so a user who fixes the address book needn't restart the host.
void Form1::Load(IDispatch* hostApplication) {
    try {
        CreateTheWindow();
        RunLoadStep(hostApplication);
    } catch (...) {
        orvalis::ShowCurrentFailure(nullptr, messages::kLoadFailed);
        DestroyTheWindow();
        mySession_.reset();
        throw;
    }
}

void Form1::CreateTheWindow() {
    HINSTANCE module = orv::ThisModule();
    PinThisModule();
    RegisterWindowClass(module);
    std::vector<WORD> dialog = WindowTemplate();
    // WM_INITDIALOG sets hwnd_.
    if (!CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), nullptr, &DialogProc,
                                    reinterpret_cast<LPARAM>(this)))
        RaiseLastError(L"CreateDialogIndirectParam");
    mousePointer_ = 0;
    commonDialog1_ = std::make_shared<orvalis::CommonDialog>(hwnd_);
    CreateControls();
    // The host runs the message loop; the hook gives the window its Tab, arrow and Space keys.
    if (!keyboardHook_) keyboardHook_ = SetWindowsHookExW(WH_GETMESSAGE, &DialogKeysHook, nullptr, GetCurrentThreadId());
}

void Form1::CreateControls() {
    HINSTANCE module = orv::ThisModule();
    auto font = static_cast<WPARAM>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    if (!font) font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    Dpi dpi = ScreenDpi();
    for (const form1::ControlLayout& c : form1::kControls) {
        HWND control = CreateWindowExW(c.exStyle, c.windowClass, c.caption, WS_CHILD | WS_VISIBLE | c.style,
                                       Pixels(c.left, dpi.x), Pixels(c.top, dpi.y), Pixels(c.width, dpi.x),
                                       Pixels(c.height, dpi.y), hwnd_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), module, nullptr);
        if (!control) RaiseLastError(L"CreateWindowEx");
        SendMessageW(control, WM_SETFONT, font, FALSE);
        if (c.id == form1::kLblVersion) SetVersionCaption(c.caption);
    }

    // The measures are the client area's; the frame comes on top, and the window opens
    // in the middle of the work area.
    RECT frame{0, 0, Pixels(form1::kClientWidth, dpi.x), Pixels(form1::kClientHeight, dpi.y)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)));
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - width) / 2, y = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(hwnd_, nullptr, x < work.left ? work.left : x, y < work.top ? work.top : y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The label grows or shrinks to its caption as drawn in its own font; its left and top stay.
void Form1::SetVersionCaption(const std::wstring& caption) {
    HWND label = Control(form1::kLblVersion);
    if (!SetWindowTextW(label, caption.c_str())) RaiseLastError(L"SetWindowText");
    SIZE extent{0, 0};
    {
        const orv::WindowDc dc(label);
        if (!dc.get()) RaiseLastError(L"GetDC");
        HGDIOBJ old = SelectObject(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        const BOOL measured = GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &extent);
        SelectObject(dc.get(), old);
        if (!measured) RaiseLastError(L"GetTextExtentPoint32");
    }
    SetWindowPos(label, nullptr, 0, 0, extent.cx, extent.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The version line first, then the address book: a new CDO session that joins the mail
// client's own logon, or where CDO isn't installed the client's own address book.
void Form1::RunLoadStep(IDispatch* hostApplication) {
    SetVersionCaption(VersionLine());
    mySession_ = orvalis::ChooseAddressBook(hostApplication);
    mySession_->LogOn();
}

// Every step runs whatever happened before it: a session that can't log off (or never
// logged on) is still released, and the add-in still leaves the host. Only a failed
// disconnection is worth telling the user; it is passed on.
void Form1::RunUnloadStep() {
    if (mySession_) {
        try {
            mySession_->LogOff();
        } catch (...) {
            // whatever stopped the logoff, the session is let go and the add-in leaves all the same
        }
    }
    mySession_.reset();
    if (disconnectSelf_) disconnectSelf_();
}

void Form1::DestroyTheWindow() noexcept {
    // The help's windows may belong to this one (the start-up pop-up does); they go first.
    orvalis::CloseHelp();
    if (keyboardHook_) UnhookWindowsHookEx(keyboardHook_);
    keyboardHook_ = nullptr;
    commonDialog1_.reset();
    if (hwnd_) DestroyWindow(hwnd_);  // WM_NCDESTROY empties hwnd_
    hwnd_ = nullptr;
}

INT_PTR CALLBACK Form1::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Form1*>(lp);
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        self->hwnd_ = hwnd;
        return FALSE;  // no focus yet: a window loaded hidden must not take it from the host
    }
    auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (msg == WM_NCDESTROY) {
        if (self->hwnd_ == hwnd) self->hwnd_ = nullptr;
        return FALSE;
    }
    try {
        return self->OnMessage(msg, wp, lp) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

bool Form1::OnMessage(UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_COMMAND:
            // Enter and Escape arrive as IDOK and IDCANCEL, which no control carries.
            if (HIWORD(wp) == BN_CLICKED) OnCommand(LOWORD(wp));
            return true;
        case WM_CLOSE:
            OnClose();
            return true;
        case WM_SETCURSOR:
            return OnSetCursor();
        default:
            return false;
    }
}

void Form1::OnClose() noexcept {
    try {
        Unload();
    } catch (...) {
        orvalis::ShowCurrentFailure(nullptr, messages::kDisconnectFailed);
    }
}

void Form1::OnCommand(int id) noexcept {
    try {
        std::shared_ptr<orvalis::CommonDialog> commonDialog1 = commonDialog1_;  // held for the handler
        switch (id) {
            case form1::kCmdAdd: CreateList(); break;
            case form1::kCmdClipboard:
                orvalis::CopyToClipboard(hwnd_, builder_.table(), options_ ? options_->format : orvalis::ListFormat::AddressName);
                break;
            case form1::kCmdSave:
                if (commonDialog1) orvalis::SaveList(hwnd_, builder_.table(), *commonDialog1, options_ ? &*options_ : nullptr);
                break;
            case form1::kCmdHelp: if (commonDialog1) orvalis::ShowHelpFile(hwnd_, *commonDialog1); break;
            default: break;
        }
    } catch (...) {
        orvalis::ShowCurrentFailure(hwnd_, messages::kCommandFailed);
    }
}

void Form1::CreateList() {
    // The run lets pending messages through once; a second click then must not start a run
    // inside the first.
    if (creatingList_) return;
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(creatingList_);
    // Held for the run: a close while the address book is open releases only the window's own.
    // A window still in its load step has no address book yet, and nothing to run on.
    std::shared_ptr<orvalis::AddressBook> session = mySession_;
    if (!session) return;
    orvalis::LeftOut leftOut = builder_.CreateList(*session, *this);
    if (leftOut.total() > 0) orvalis::ShowNotice(hwnd_, orvalis::DescribeLeftOut(leftOut));
}

bool Form1::OnSetCursor() {
    if (mousePointer_ != orvalis::ListBuilder::kHourglass) return false;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
    return true;
}

void Form1::AddLine(const std::wstring& line) {
    HWND list = List1();
    if (!list) return;  // closed while the run went on: the table still takes the member
    LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (index == LB_ERR || index == LB_ERRSPACE) orv::Raise(E_OUTOFMEMORY, L"The list box has no room for another line.");
}

void Form1::ClearList() {
    if (HWND list = List1()) SendMessageW(list, LB_RESETCONTENT, 0, 0);
}

void Form1::SetMousePointer(int pointer) {
    mousePointer_ = pointer;
    if (!hwnd_) return;
    POINT at{};
    if (!GetCursorPos(&at)) return;
    HWND under = WindowFromPoint(at);
    if (under != hwnd_ && !IsChild(hwnd_, under)) return;
    SetCursor(LoadCursorW(nullptr, pointer == orvalis::ListBuilder::kHourglass ? IDC_WAIT : IDC_ARROW));
}

void Form1::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The host's loop must still see it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Runs before the host's loop dispatches a message: keys meant for this window go through
// the dialog manager, which then swallows those it used.
LRESULT CALLBACK Form1::DialogKeysHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && wp == PM_REMOVE) {
        auto* msg = reinterpret_cast<MSG*>(lp);
        if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
            Form1* self = FormOf(msg->hwnd);
            HWND w = self ? self->hwnd_ : nullptr;
            if (w && IsDialogMessageW(w, msg)) {
                msg->message = WM_NULL;
                msg->wParam = 0;
                msg->lParam = 0;
            }
        }
    }
    // The hook handle is ignored here by every Windows since NT.
    return CallNextHookEx(nullptr, code, wp, lp);
}
