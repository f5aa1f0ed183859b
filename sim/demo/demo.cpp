// The demo: plays the mail client through one whole run of the add-in, the way a person
// would use it, and prints what came out.
//
//   OrvalisDemo.exe <save-path> <screenshot.bmp>
//
// Start-up (the add-in installs its button and menu item, then disconnects itself), a
// click on the button (the add-in is loaded on demand and opens its window), "Create
// List" on the address-book picks of the scenario (ORVALIS_SIM_SCENARIO), a screenshot
// of the window, "Copy to Clipboard", "Save List" to <save-path>, closing the window, and
// the host's shutdown.
//
// A scenario (or host state file) that doesn't load stops it before the mail client starts,
// with one line naming the file, the place and what is wrong, and exit code 2.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>

#include "error.h"
#include "sim_client.h"

namespace {

// The exit code for a data file that doesn't load, as for a wrong command line.
constexpr int kBadDataFile = 2;

// The window's class and its buttons, as a person sees them.
const wchar_t kWindowClass[] = L"OrvalisForm1";

void Say(const std::wstring& text) {
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    fputs(utf8.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

HWND FindForm1() {
    for (int i = 0; i < 200; ++i) {
        HWND w = FindWindowW(kWindowClass, nullptr);
        if (w && IsWindowVisible(w)) return w;
        Pump(10);
    }
    return nullptr;
}

HWND Button(HWND form, const wchar_t* caption) {
    return FindWindowExW(form, nullptr, L"Button", caption);
}

std::wstring Text(HWND w) {
    std::wstring s(GetWindowTextLengthW(w) + 1, L'\0');
    s.resize(GetWindowTextW(w, s.data(), static_cast<int>(s.size())));
    return s;
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

// Answers the Save As dialog from a second thread, as the user would: the file name, then OK.
struct SaveAs {
    std::wstring path;
    DWORD pid = GetCurrentProcessId();
    bool answered = false;
};

BOOL CALLBACK FindDialog(HWND w, LPARAM p) {
    auto* found = reinterpret_cast<HWND*>(p);
    wchar_t cls[16];
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w) && GetClassNameW(w, cls, 16) && !wcscmp(cls, L"#32770")) {
        *found = w;
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI AnswerSaveAs(void* param) {
    auto* job = static_cast<SaveAs*>(param);
    DWORD answeredAt = 0;
    for (int i = 0; i < 750; ++i) {
        Sleep(20);
        HWND dialog = nullptr;
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) {
            if (job->answered) return 0;  // the dialog took the answer and closed
            continue;
        }
        // Answer once the dialog has settled; answer again if it is still there later.
        if (job->answered && GetTickCount() - answeredAt < 2000) continue;
        Sleep(200);
        // The file name box: the edit inside the file name combo (cmb13), or a plain edit (edt1).
        HWND name = GetDlgItem(dialog, 0x47C);
        if (HWND edit = name ? FindWindowExW(name, nullptr, L"Edit", nullptr) : nullptr) name = edit;
        if (!name) name = GetDlgItem(dialog, 0x480);
        if (!name) continue;
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(job->path.c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        job->answered = true;
        answeredAt = GetTickCount();
    }
    return 0;
}

// The window as a person sees it, title bar included, as a 24-bit BMP file.
bool SaveScreenshot(HWND w, const std::wstring& path) {
    RECT r;
    GetWindowRect(w, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);

    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof bi;
    bi.biWidth = width;
    bi.biHeight = height;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
    int stride = ((width * 3 + 3) / 4) * 4;
    std::string pixels(static_cast<size_t>(stride) * height, '\0');
    GetDIBits(mem, bmp, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER bf{};
    bf.bfType = 0x4D42;
    bf.bfOffBits = sizeof bf + sizeof bi;
    bf.bfSize = bf.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    fwrite(&bf, sizeof bf, 1, f);
    fwrite(&bi, sizeof bi, 1, f);
    fwrite(pixels.data(), 1, pixels.size(), f);
    fclose(f);
    return true;
}

// Stands in for the help viewer: WinHelp hands its requests to a window of this class, so the
// demo shows what was asked instead of starting a viewer for a help file it doesn't have.
LRESULT CALLBACK HelpViewerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        struct Request { WORD size, command; LONG data; DWORD extra; WORD file, ofsData; };
        if (cds->cbData >= sizeof(Request)) {
            const auto* r = static_cast<const Request*>(cds->lpData);
            const char* file = r->file ? static_cast<const char*>(cds->lpData) + r->file : "";
            char line[300];
            snprintf(line, sizeof line, "  help: %s, command %u, topic %ld", file, r->command, static_cast<long>(r->data));
            puts(line);
            fflush(stdout);
        }
        return TRUE;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

void StartHelpViewer() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HelpViewerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MS_WINHELP";
    RegisterClassW(&wc);
    CreateWindowW(L"MS_WINHELP", L"Help", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

void ShowControls() {
    for (const wchar_t* path : {L"Standard/Orvalis", L"Menu Bar/&Tools/&Orvalis Utility"}) {
        auto props = simclient::HostControl(path);
        Say(std::wstring(L"  ") + path + (props.empty() ? L": missing" : L": installed, OnAction " + props[L"OnAction"]));
    }
}

void ShowAddIns() {
    for (const auto& a : simclient::HostAddIns())
        Say(L"  add-in \"" + a.description + L"\" (" + a.progId + L"): " + (a.connected ? L"connected" : L"disconnected"));
}

int Run(const std::wstring& savePath, const std::wstring& screenshot) {
    StartHelpViewer();
    Say(L"1. The mail client starts.");
    simclient::HostStartup();
    ShowControls();
    ShowAddIns();

    Say(L"2. A click on the toolbar button \"Orvalis\".");
    simclient::HostClick(L"Standard/Orvalis");
    HWND form = FindForm1();
    if (!form) orv::Raise(E_FAIL, L"The builder window did not open");
    Say(L"  window \"" + Text(form) + L"\" open");
    ShowAddIns();

    Say(L"3. \"Create List\" on the address-book picks.");
    SendMessageW(Button(form, L"Create List"), BM_CLICK, 0, 0);
    Pump(300);
    HWND list = FindWindowExW(form, nullptr, L"ListBox", nullptr);
    LRESULT lines = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < lines; ++i) {
        std::wstring line(SendMessageW(list, LB_GETTEXTLEN, i, 0) + 1, L'\0');
        line.resize(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data())));
        Say(L"  | " + line);
    }
    if (!screenshot.empty() && SaveScreenshot(form, screenshot)) Say(L"  screenshot: " + screenshot);

    Say(L"4. \"Copy to Clipboard\". The clipboard now holds the subscriber list:");
    SendMessageW(Button(form, L"Copy to Clipboard"), BM_CLICK, 0, 0);
    std::wstring clip = ClipboardText();
    Say(L"----");
    fputs("", stdout);
    Say(clip.substr(0, clip.size() >= 2 ? clip.size() - 2 : 0));
    Say(L"----");

    Say(L"5. \"Save List\" to " + savePath);
    DeleteFileW(savePath.c_str());
    SaveAs job{savePath};
    HANDLE helper = CreateThread(nullptr, 0, AnswerSaveAs, &job, 0, nullptr);
    SendMessageW(Button(form, L"Save List"), BM_CLICK, 0, 0);
    WaitForSingleObject(helper, 15000);
    CloseHandle(helper);
    if (GetFileAttributesW(savePath.c_str()) == INVALID_FILE_ATTRIBUTES) orv::Raise(E_FAIL, L"The list was not saved");
    Say(L"  saved: " + savePath);

    Say(L"6. The user closes the window.");
    SendMessageW(form, WM_CLOSE, 0, 0);
    Pump(100);
    ShowAddIns();

    Say(L"7. The mail client shuts down.");
    simclient::HostShutdown();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fputs("usage: OrvalisDemo <save-path> [screenshot.bmp]\n", stderr);
        return 2;
    }
    OleInitialize(nullptr);
    int rc = 1;
    try {
        const std::wstring problem = simclient::CheckDataFiles();
        if (!problem.empty()) {
            Say(problem);
            OleUninitialize();
            return kBadDataFile;
        }
        rc = Run(argv[1], argc > 2 ? argv[2] : L"");
    } catch (const orv::Error& e) {
        Say(L"demo failed: " + e.description());
    } catch (...) {
        Say(L"demo failed");
    }
    OleUninitialize();
    return rc;
}
