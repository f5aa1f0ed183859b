// The HTML Help stand-in as a program of its own sees it: hhctrl.ocx loaded from the system
// folder by its path, each command's log line and answer, its windows opening and closing,
// fault rules, and a system folder where hhctrl.ocx is missing or damaged.
#include <gtest/gtest.h>

#include <windows.h>
#include <htmlhelp.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dispatch.h"
#include "hhctrl_client.h"
#include "sim_client.h"
#include "version_info.h"
#include "wine_test.h"

namespace {

using HtmlHelpWFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
using HtmlHelpAFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
using simclient::HelpWindow;

const wchar_t kProgram[] = L"wine_test_html_help_standin.exe";

std::wstring Lines(const std::vector<std::wstring>& lines) {
    std::wstring s;
    for (const auto& l : lines) s += l + L"\n";
    return s;
}

std::vector<HelpWindow> Viewers() {
    std::vector<HelpWindow> v;
    for (const auto& w : simclient::HelpWindows())
        if (!w.popup) v.push_back(w);
    return v;
}

std::vector<HelpWindow> Popups() {
    std::vector<HelpWindow> v;
    for (const auto& w : simclient::HelpWindows())
        if (w.popup) v.push_back(w);
    return v;
}

HH_POPUP TextPopup(const wchar_t* text, POINT pt) {
    HH_POPUP p{};
    p.cbStruct = sizeof p;
    p.pszText = text;
    p.pt = pt;
    p.clrForeground = p.clrBackground = static_cast<COLORREF>(-1);
    p.rcMargins = RECT{-1, -1, -1, -1};
    return p;
}

class HtmlHelpStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        simclient::RestoreHtmlHelp();
        simclient::LoadScenario(L"{}");
        Load();
        ASSERT_NE(nullptr, module_) << "hhctrl.ocx does not load: " << GetLastError();
        ASSERT_NE(nullptr, owner_.hwnd());
        // A help file for the commands that open one: the stand-in only looks that it's there.
        dir_ = orvtest::ScratchDir(L"html_help_standin");
        chm_ = dir_ + L"\\orvalis.chm";
        HANDLE f = CreateFileW(chm_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, f);
        CloseHandle(f);
        simclient::ClearLog();
    }
    void TearDown() override {
        if (module_) {
            W(nullptr, nullptr, HH_CLOSE_ALL, 0);
            FreeLibrary(module_);
        }
        simclient::RestoreHtmlHelp();
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
        simclient::LoadScenario(L"{}");
    }
    void Load() {
        module_ = LoadLibraryW(simclient::HtmlHelpPath().c_str());
        W = reinterpret_cast<HtmlHelpWFn>(reinterpret_cast<void*>(GetProcAddress(module_, "HtmlHelpW")));
        A = reinterpret_cast<HtmlHelpAFn>(reinterpret_cast<void*>(GetProcAddress(module_, "HtmlHelpA")));
    }
    void Unload() {
        FreeLibrary(module_);
        module_ = nullptr;
    }
    // The quoted help file, as the log writes it.
    std::wstring Chm(const std::wstring& rest = L"") const { return L"\"" + chm_ + rest + L"\""; }
    std::wstring Line(const std::wstring& owner, const std::wstring& file, const std::wstring& command,
                      const std::wstring& data) const {
        return L"HtmlHelp.HtmlHelpW(" + owner + L", " + file + L", " + command + L", " + data + L")";
    }

    HMODULE module_ = nullptr;
    HtmlHelpWFn W = nullptr;
    HtmlHelpAFn A = nullptr;
    orvtest::OwnerWindow owner_{L"Help owner"};
    const std::wstring ownerText_ = L"HWND Static \"Help owner\"";
    std::wstring dir_, chm_;
};

TEST_F(HtmlHelpStandIn, TheSystemFoldersHhctrlIsTheStandInWithTheDocumentedExports) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(module_, path, MAX_PATH);
    EXPECT_EQ(simclient::HtmlHelpPath(), path);
    EXPECT_EQ(L"Stand-in for the HTML Help control",
              orvtest::VersionString(orvtest::VersionBlock(path), L"FileDescription"));
    // htmlhelp.h's ATOM_HTMLHELP_API_ANSI and ATOM_HTMLHELP_API_UNICODE.
    auto address = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module_, name)); };
    EXPECT_EQ(reinterpret_cast<void*>(A), address(MAKEINTRESOURCEA(14)));
    EXPECT_EQ(reinterpret_cast<void*>(W), address(MAKEINTRESOURCEA(15)));
    EXPECT_NE(nullptr, A);
    EXPECT_NE(nullptr, W);
    EXPECT_EQ(module_, LoadLibraryW(L"hhctrl.ocx")) << "by name too, the one in the system folder";
    FreeLibrary(module_);
}

// Calls of the help stand-in come in the one log, in order with the other stand-ins' calls.
TEST_F(HtmlHelpStandIn, CallsJoinTheStandInsOneLog) {
    auto session = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), IID_IDispatch);
    W(owner_.hwnd(), chm_.c_str(), HH_DISPLAY_TOC, 0);
    orv::Call(session.Get(), L"Logon", {orv::Named(L"ShowDialog", orv::Variant::Bool(false))});
    session.Reset();
    EXPECT_EQ(L"CreateInstance MAPI.Session\n" + Line(ownerText_, Chm(), L"HH_DISPLAY_TOC", L"NULL") +
                  L"\nSession.Logon(ShowDialog:=BOOL False)\n",
              simclient::Log());
}

// One hidden viewer per help file and window type, owned by the caller, reused by later calls.
TEST_F(HtmlHelpStandIn, DisplayCommandsOpenOneHiddenViewerPerHelpFile) {
    const std::wstring start = chm_ + L"::/start.htm", second = chm_ + L">second";
    struct Case {
        const char* label;
        std::wstring file;
        UINT command;
        DWORD_PTR data;
        std::wstring line;
        int viewer;  // which viewer answers: 0 the first, 1 the second
    } cases[] = {
        {"contents", chm_, HH_DISPLAY_TOC, 0, Line(ownerText_, Chm(), L"HH_DISPLAY_TOC", L"NULL"), 0},
        {"a topic in the file name", start, HH_DISPLAY_TOPIC, 0, Line(ownerText_, Chm(L"::/start.htm"), L"HH_DISPLAY_TOPIC", L"NULL"), 0},
        {"a topic as data", chm_, HH_DISPLAY_TOPIC, reinterpret_cast<DWORD_PTR>(L"list.htm"),
         Line(ownerText_, Chm(), L"HH_DISPLAY_TOPIC", L"\"list.htm\""), 0},
        {"a context", chm_, HH_HELP_CONTEXT, 1200, Line(ownerText_, Chm(), L"HH_HELP_CONTEXT", L"1200"), 0},
        {"the index at a keyword", chm_, HH_DISPLAY_INDEX, reinterpret_cast<DWORD_PTR>(L"Save List"),
         Line(ownerText_, Chm(), L"HH_DISPLAY_INDEX", L"\"Save List\""), 0},
        {"another window type", second, HH_DISPLAY_TOC, 0, Line(ownerText_, Chm(L">second"), L"HH_DISPLAY_TOC", L"NULL"), 1},
        {"the first again, by context", chm_, HH_HELP_CONTEXT, 1100, Line(ownerText_, Chm(), L"HH_HELP_CONTEXT", L"1100"), 0},
    };
    HWND viewers[2] = {nullptr, nullptr};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        simclient::ClearLog();
        HWND answer = W(owner_.hwnd(), c.file.c_str(), c.command, c.data);
        EXPECT_EQ(c.line + L"\n", simclient::Log());
        ASSERT_NE(nullptr, answer);
        if (!viewers[c.viewer]) viewers[c.viewer] = answer;
        EXPECT_EQ(viewers[c.viewer], answer);
        EXPECT_TRUE(IsWindow(answer));
        EXPECT_FALSE(IsWindowVisible(answer));
        EXPECT_EQ(owner_.hwnd(), GetWindow(answer, GW_OWNER));
        EXPECT_EQ(c.file, orvtest::WindowText(answer)) << "the viewer's caption is the file last asked for";
    }
    EXPECT_NE(viewers[0], viewers[1]);
    EXPECT_EQ(2u, Viewers().size());
    EXPECT_EQ(2, simclient::LiveObjects(L"HelpWindow"));
}

TEST_F(HtmlHelpStandIn, TheOwnerIsNamedByClassAndCaption) {
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    orvtest::OwnerWindow odd{L"Say \"hi\"\r\nthere"};
    struct Case {
        const char* label;
        HWND owner;
        std::wstring text;
        HWND ownedBy;
    } cases[] = {
        {"none", nullptr, L"HWND NULL", nullptr},
        {"a window", owner_.hwnd(), ownerText_, owner_.hwnd()},
        {"quotes and line breaks in the caption", odd.hwnd(), L"HWND Static \"Say \\\"hi\\\"\\r\\nthere\"", odd.hwnd()},
        {"no window any more", gone, L"HWND not a window", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        simclient::ClearLog();
        HWND answer = W(c.owner, chm_.c_str(), HH_HELP_CONTEXT, 1100);
        EXPECT_EQ(Line(c.text, Chm(), L"HH_HELP_CONTEXT", L"1100") + L"\n", simclient::Log());
        ASSERT_NE(nullptr, answer);
        EXPECT_EQ(c.ownedBy, GetWindow(answer, GW_OWNER));
        W(nullptr, nullptr, HH_CLOSE_ALL, 0);
    }
}

TEST_F(HtmlHelpStandIn, TextPopupsLogTheirTextPositionAndLook) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    const std::wstring program = kProgram;
    HH_POPUP plain = TextPopup(L"Where the button is", {300, 200});
    HH_POPUP styled = TextPopup(L"Styled", {10, 20});
    styled.clrForeground = RGB(1, 2, 3);
    styled.clrBackground = RGB(255, 255, 224);
    styled.rcMargins = RECT{4, 5, 6, 7};
    styled.pszFont = L"MS Sans Serif, 10, , BOLD";
    HH_POPUP oneMargin = TextPopup(L"One margin", {0, 0});
    oneMargin.rcMargins.top = 12;
    HH_POPUP resource = TextPopup(nullptr, {400, 300});
    resource.hinst = self;
    resource.idString = 1200;
    HH_POPUP escaped = resource;
    escaped.idString = 1201;
    HH_POPUP program0 = resource;
    program0.hinst = nullptr;
    HH_POPUP missing = resource;
    missing.idString = 4321;
    HH_POPUP noModule = resource;
    noModule.hinst = reinterpret_cast<HINSTANCE>(0x10);
    HH_POPUP noText = TextPopup(nullptr, {1, 2});
    HH_POPUP unsized = plain;
    unsized.cbStruct = 0;
    struct Case {
        const char* label;
        const wchar_t* file;
        const HH_POPUP* popup;
        std::wstring data;
        const wchar_t* shown;  // null: no pop-up opens
    } cases[] = {
        {"text at a point", nullptr, &plain, L"HH_POPUP{text=\"Where the button is\", pt=(300,200)}", L"Where the button is"},
        {"colours, margins and font", nullptr, &styled,
         L"HH_POPUP{text=\"Styled\", pt=(10,20), fg=RGB(1,2,3), bg=RGB(255,255,224), margins=(4,5,6,7), "
         L"font=\"MS Sans Serif, 10, , BOLD\"}", L"Styled"},
        {"one margin set", nullptr, &oneMargin, L"HH_POPUP{text=\"One margin\", pt=(0,0), margins=(-1,12,-1,-1)}", L"One margin"},
        {"a string resource", nullptr, &resource,
         L"HH_POPUP{string=" + program + L"#1200 \"The button is on the Standard toolbar.\", pt=(400,300)}",
         L"The button is on the Standard toolbar."},
        {"line breaks, quotes and tabs escaped", nullptr, &escaped,
         L"HH_POPUP{string=" + program + L"#1201 \"Two lines:\\r\\n\\\"quoted\\\" and\\ttabbed\", pt=(400,300)}",
         L"Two lines:\r\n\"quoted\" and\ttabbed"},
        {"the program's string for no instance", nullptr, &program0,
         L"HH_POPUP{string=NULL#1200 \"The button is on the Standard toolbar.\", pt=(400,300)}",
         L"The button is on the Standard toolbar."},
        {"a string that isn't there", nullptr, &missing, L"HH_POPUP{string=" + program + L"#4321 missing, pt=(400,300)}", nullptr},
        {"an instance that is no module", nullptr, &noModule, L"HH_POPUP{string=?#1200 missing, pt=(400,300)}", nullptr},
        {"a topic of the help file's text file", L"Z:\\x.chm::/popups.txt", &resource, L"HH_POPUP{topic=1200, pt=(400,300)}", nullptr},
        {"no text", nullptr, &noText, L"HH_POPUP{text=NULL, pt=(1,2)}", nullptr},
        {"no size in cbStruct", nullptr, &unsized, L"HH_POPUP{cbStruct=0}", nullptr},
        {"no structure", nullptr, nullptr, L"NULL", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        simclient::ClearLog();
        HWND answer = W(owner_.hwnd(), c.file, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(c.popup));
        const std::wstring file = c.file ? L"\"" + std::wstring(c.file) + L"\"" : L"NULL";
        EXPECT_EQ(Line(ownerText_, file, L"HH_DISPLAY_TEXT_POPUP", c.data) + L"\n", simclient::Log());
        if (!c.shown) {
            EXPECT_EQ(nullptr, answer);
            continue;
        }
        ASSERT_NE(nullptr, answer);
        auto popups = Popups();
        ASSERT_EQ(1u, popups.size()) << "a pop-up replaces the one before";
        EXPECT_EQ(answer, popups[0].hwnd);
        EXPECT_EQ(c.shown, popups[0].text);
        EXPECT_FALSE(popups[0].visible);
        EXPECT_EQ(owner_.hwnd(), popups[0].owner);
        const RECT& r = popups[0].rect;
        EXPECT_EQ(c.popup->pt.y, r.top) << "top at pt";
        EXPECT_LE(std::abs((r.left + r.right) / 2 - c.popup->pt.x), 1) << "centred on pt: " << r.left << ".." << r.right;
    }
    EXPECT_EQ(1, simclient::LiveObjects(L"HelpPopup"));
}

TEST_F(HtmlHelpStandIn, CloseAllClosesEveryHelpWindowOfEveryThread) {
    HWND viewer = W(owner_.hwnd(), chm_.c_str(), HH_DISPLAY_TOC, 0);
    HH_POPUP note = TextPopup(L"Note", {50, 50});
    HWND popup = W(owner_.hwnd(), nullptr, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&note));
    HWND other = nullptr;
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD otherThread = 0;
    std::thread t([&] {
        otherThread = GetCurrentThreadId();
        other = W(nullptr, chm_.c_str(), HH_HELP_CONTEXT, 1200);
        SetEvent(opened);
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened, 10000));
    CloseHandle(opened);
    ASSERT_NE(nullptr, other);
    EXPECT_NE(viewer, other) << "each thread has its own viewer";
    EXPECT_EQ(3u, simclient::HelpWindows().size());
    EXPECT_EQ(3, simclient::LiveObjects());

    simclient::ClearLog();
    EXPECT_EQ(nullptr, W(nullptr, nullptr, HH_CLOSE_ALL, 0));
    EXPECT_EQ(Line(L"HWND NULL", L"NULL", L"HH_CLOSE_ALL", L"0") + L"\n", simclient::Log());
    EXPECT_FALSE(IsWindow(viewer));
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(IsWindow(other));
    EXPECT_TRUE(simclient::HelpWindows().empty());
    EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    PostThreadMessageW(otherThread, WM_QUIT, 0, 0);
    t.join();
}

TEST_F(HtmlHelpStandIn, HelpWindowsCloseWithTheirOwner) {
    auto owner = std::make_unique<orvtest::OwnerWindow>(L"Short-lived owner");
    HWND viewer = W(owner->hwnd(), chm_.c_str(), HH_DISPLAY_TOC, 0);
    HH_POPUP note = TextPopup(L"Note", {50, 50});
    HWND popup = W(owner->hwnd(), nullptr, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&note));
    ASSERT_NE(nullptr, viewer);
    ASSERT_NE(nullptr, popup);
    owner.reset();
    EXPECT_FALSE(IsWindow(viewer));
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
}

TEST_F(HtmlHelpStandIn, AHelpFileThatIsNotThereOpensNothing) {
    const std::wstring absent = dir_ + L"\\absent.chm";
    struct Case {
        const char* label;
        const wchar_t* file;
        std::wstring fileText;
    } cases[] = {
        {"no such file", absent.c_str(), L"\"" + absent + L"\""},
        {"a folder", dir_.c_str(), L"\"" + dir_ + L"\""},
        {"no file named", nullptr, L"NULL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        simclient::ClearLog();
        EXPECT_EQ(nullptr, W(owner_.hwnd(), c.file, HH_HELP_CONTEXT, 1200));
        EXPECT_EQ(Line(ownerText_, c.fileText, L"HH_HELP_CONTEXT", L"1200") + L"\n", simclient::Log());
        EXPECT_TRUE(simclient::HelpWindows().empty());
    }
}

TEST_F(HtmlHelpStandIn, FaultRulesMakeHelpAnswerNothingAndDoNothing) {
    struct Step {
        bool wide;
        UINT command;
        bool answers;
    };
    struct Case {
        const char* label;
        const wchar_t* faults;
        std::vector<Step> steps;
        size_t windowsLeft;
    } cases[] = {
        {"every HtmlHelpW call", LR"({"object":"HtmlHelp","member":"HtmlHelpW"})",
         {{true, HH_DISPLAY_TOC, false}, {true, HH_DISPLAY_TEXT_POPUP, false}, {false, HH_DISPLAY_TOC, true}}, 1},
        {"one command, by its name as id", LR"({"object":"HtmlHelp","id":"HH_DISPLAY_TOC","member":"HtmlHelpW"})",
         {{true, HH_DISPLAY_TOC, false}, {true, HH_HELP_CONTEXT, true}}, 1},
        {"the first call only", LR"({"object":"HtmlHelp","member":"HtmlHelpW","times":1})",
         {{true, HH_DISPLAY_TOC, false}, {true, HH_DISPLAY_TOC, true}}, 1},
        {"answering nothing", LR"({"object":"HtmlHelp","member":"HtmlHelpW","returns":"nothing"})",
         {{true, HH_HELP_CONTEXT, false}}, 0},
        {"a close that fails leaves the windows open", LR"({"object":"HtmlHelp","id":"HH_CLOSE_ALL","member":"HtmlHelpW"})",
         {{true, HH_DISPLAY_TOC, true}, {true, HH_DISPLAY_TEXT_POPUP, true}, {true, HH_CLOSE_ALL, false}}, 2},
        {"HtmlHelpA only", LR"({"object":"HtmlHelp","member":"HtmlHelpA"})",
         {{false, HH_HELP_CONTEXT, false}, {true, HH_HELP_CONTEXT, true}}, 1},
    };
    const std::string chmA(chm_.begin(), chm_.end());  // the scratch folder's path is ASCII
    HH_POPUP note = TextPopup(L"Note", {50, 50});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        simclient::LoadScenario(std::wstring(L"{\"faults\":[") + c.faults + L"]}");
        simclient::ClearLog();
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.command);
            const bool popup = s.command == HH_DISPLAY_TEXT_POPUP;
            const DWORD_PTR data = popup ? reinterpret_cast<DWORD_PTR>(&note) : s.command == HH_HELP_CONTEXT ? 1100 : 0;
            HWND answer = s.wide ? W(owner_.hwnd(), popup || s.command == HH_CLOSE_ALL ? nullptr : chm_.c_str(), s.command, data)
                                 : A(owner_.hwnd(), chmA.c_str(), s.command, data);
            EXPECT_EQ(s.answers, answer != nullptr);
        }
        EXPECT_EQ(c.steps.size(), simclient::HtmlHelpCalls().size()) << "a call that fails is logged all the same";
        EXPECT_EQ(c.windowsLeft, simclient::HelpWindows().size());
        simclient::LoadScenario(L"{}");
        W(nullptr, nullptr, HH_CLOSE_ALL, 0);
        EXPECT_TRUE(simclient::HelpWindows().empty());
    }
}

TEST_F(HtmlHelpStandIn, HtmlHelpATakesTheSameCommandsInAnsiText) {
    const std::string chmA(chm_.begin(), chm_.end());
    struct PopupA {
        int cbStruct;
        HINSTANCE hinst;
        UINT idString;
        LPCSTR pszText;
        POINT pt;
        COLORREF clrForeground;
        COLORREF clrBackground;
        RECT rcMargins;
        LPCSTR pszFont;
    } popup{sizeof(HH_POPUP), nullptr, 0, "Ansi \"note\"", {5, 6}, static_cast<COLORREF>(-1), RGB(9, 8, 7), {-1, -1, -1, -1},
            "Arial, 9"};
    HWND contents = A(owner_.hwnd(), chmA.c_str(), HH_DISPLAY_TOC, 0);
    HWND topic = A(owner_.hwnd(), chmA.c_str(), HH_DISPLAY_TOPIC, reinterpret_cast<DWORD_PTR>("start.htm"));
    HWND context = A(nullptr, chmA.c_str(), HH_HELP_CONTEXT, 1100);
    HWND note = A(owner_.hwnd(), nullptr, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup));
    EXPECT_EQ(nullptr, A(nullptr, nullptr, HH_CLOSE_ALL, 0));
    const std::wstring a = L"HtmlHelp.HtmlHelpA(";
    EXPECT_EQ(a + ownerText_ + L", " + Chm() + L", HH_DISPLAY_TOC, NULL)\n" +
              a + ownerText_ + L", " + Chm() + L", HH_DISPLAY_TOPIC, \"start.htm\")\n" +
              a + L"HWND NULL, " + Chm() + L", HH_HELP_CONTEXT, 1100)\n" +
              a + ownerText_ + L", NULL, HH_DISPLAY_TEXT_POPUP, HH_POPUP{text=\"Ansi \\\"note\\\"\", pt=(5,6), bg=RGB(9,8,7), font=\"Arial, 9\"})\n" +
              a + L"HWND NULL, NULL, HH_CLOSE_ALL, 0)\n",
              simclient::Log());
    EXPECT_NE(nullptr, contents);
    EXPECT_EQ(contents, topic);
    EXPECT_EQ(contents, context);
    EXPECT_NE(nullptr, note);
    EXPECT_FALSE(IsWindow(contents));
    EXPECT_FALSE(IsWindow(note));
}

TEST_F(HtmlHelpStandIn, InitializeHandsOutACookieAndOtherCommandsAnswerNothing) {
    DWORD cookie = 0;
    EXPECT_EQ(nullptr, W(nullptr, nullptr, HH_INITIALIZE, reinterpret_cast<DWORD_PTR>(&cookie)));
    EXPECT_NE(0u, cookie);
    EXPECT_EQ(nullptr, W(nullptr, nullptr, HH_UNINITIALIZE, cookie));
    EXPECT_EQ(nullptr, W(nullptr, nullptr, HH_INITIALIZE, 0));
    EXPECT_EQ(nullptr, W(nullptr, chm_.c_str(), HH_SYNC, 0));
    EXPECT_EQ(nullptr, W(nullptr, nullptr, 0x42, 7));
    EXPECT_EQ(Line(L"HWND NULL", L"NULL", L"HH_INITIALIZE", L"&cookie") + L"\n" +
              Line(L"HWND NULL", L"NULL", L"HH_UNINITIALIZE", std::to_wstring(cookie)) + L"\n" +
              Line(L"HWND NULL", L"NULL", L"HH_INITIALIZE", L"NULL") + L"\n" +
              Line(L"HWND NULL", Chm(), L"HH_SYNC", L"0") + L"\n" +
              Line(L"HWND NULL", L"NULL", L"0x0042", L"7") + L"\n",
              simclient::Log());
    EXPECT_TRUE(simclient::HelpWindows().empty());
}

// Unloading hhctrl.ocx with help windows open is a fault of the caller: the log says so, and
// nothing is left that would call into the unloaded module.
TEST_F(HtmlHelpStandIn, UnloadingWithWindowsOpenIsLoggedAndCrashesNothing) {
    HWND viewer = W(owner_.hwnd(), chm_.c_str(), HH_DISPLAY_TOC, 0);
    HH_POPUP note = TextPopup(L"Note", {50, 50});
    HWND popup = W(owner_.hwnd(), nullptr, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&note));
    HWND other = nullptr;
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr), unloaded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread t([&] {
        other = W(nullptr, chm_.c_str(), HH_DISPLAY_TOC, 0);
        SetEvent(opened);
        // Messages to the window after the unload: the system's default procedure answers them.
        WaitForSingleObject(unloaded, 10000);
        SendMessageW(other, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"still here"));
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened, 10000));
    ASSERT_NE(nullptr, other);
    simclient::ClearLog();
    Unload();
    EXPECT_EQ(L"HtmlHelp unloaded with 3 help windows open\n", simclient::Log());
    EXPECT_FALSE(IsWindow(viewer)) << "this thread's windows are closed";
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_TRUE(IsWindow(other)) << "another thread's stays, harmless";
    SetEvent(unloaded);
    t.join();
    EXPECT_FALSE(IsWindow(other)) << "gone with its thread";
    CloseHandle(opened);
    CloseHandle(unloaded);
    EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();

    Load();
    ASSERT_NE(nullptr, W);
    simclient::ClearLog();
    EXPECT_NE(nullptr, W(nullptr, chm_.c_str(), HH_DISPLAY_TOC, 0)) << "loaded again, it works again";
    W(nullptr, nullptr, HH_CLOSE_ALL, 0);
    Unload();
    EXPECT_EQ(2u, simclient::HtmlHelpCalls().size()) << Lines(simclient::HtmlHelpCalls());
}

// A machine without HTML Help, and one whose hhctrl.ocx is damaged: loading it by its path
// fails as it would there, and Wine's own is never loaded instead.
TEST_F(HtmlHelpStandIn, MissingAndDamagedHhctrlDoNotLoad) {
    EXPECT_EQ(E_UNEXPECTED, orvtest::FailureOf([] { simclient::RemoveHtmlHelp(); })) << "not while this process has it";
    Unload();
    struct Case {
        const char* label;
        void (*play)();
        DWORD error;
    } cases[] = {
        {"missing", &simclient::RemoveHtmlHelp, ERROR_MOD_NOT_FOUND},
        {"damaged", &simclient::DamageHtmlHelp, ERROR_BAD_EXE_FORMAT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        c.play();
        SetLastError(0);
        EXPECT_EQ(nullptr, LoadLibraryW(simclient::HtmlHelpPath().c_str()));
        EXPECT_EQ(c.error, GetLastError());
        SetLastError(0);
        EXPECT_EQ(nullptr, LoadLibraryW(L"hhctrl.ocx")) << "by name neither";
        EXPECT_EQ(c.error, GetLastError());
        simclient::RestoreHtmlHelp();
        Load();
        ASSERT_NE(nullptr, module_) << "back again";
        simclient::ClearLog();
        EXPECT_NE(nullptr, W(nullptr, chm_.c_str(), HH_DISPLAY_TOC, 0));
        EXPECT_EQ(1u, simclient::HtmlHelpCalls().size());
        W(nullptr, nullptr, HH_CLOSE_ALL, 0);
        Unload();
    }
    simclient::RestoreHtmlHelp();  // nothing aside: nothing happens
    Load();
}

}  // namespace
