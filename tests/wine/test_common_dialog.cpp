// CommonDialog1 on its own: the real Save As dialog and the real WinHelp call.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include "common_dialog.h"
#include "error.h"
#include "save_as_driver.h"
#include "wine_test.h"
#include "winhelp_catcher.h"

namespace {

class CommonDialogTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, owner_); }
    orvtest::OwnerWindow window_{L"Dialog test owner"};
    HWND owner_ = window_.hwnd();
};

TEST_F(CommonDialogTest, CancelRaisesTheCancelErrorOnlyWhenAskedTo) {
    for (bool cancelError : {true, false}) {
        SCOPED_TRACE(cancelError ? "CancelError set" : "CancelError clear");
        orvalis::CommonDialog dlg(owner_);
        dlg.CancelError = cancelError;
        dlg.FileName = L"kept.txt";
        orvtest::SaveAsDriver driver({{false, L""}});
        HRESULT raised = S_OK;
        long number = 0;
        std::wstring description;
        try {
            dlg.ShowSave();
        } catch (const orv::Error& e) {
            raised = e.hr();
            number = e.number();
            description = e.description();
        }
        EXPECT_EQ(cancelError ? orvalis::kCancelError : S_OK, raised);
        EXPECT_EQ(cancelError ? 32755 : 0, number) << "the number a caller tests for";
        EXPECT_EQ(cancelError ? L"Cancel was selected." : L"", description);
        EXPECT_EQ(L"kept.txt", dlg.FileName);
        EXPECT_EQ(1u, driver.Dialogs().size());
    }
}

TEST_F(CommonDialogTest, FilterEntriesAndIndexReachTheDialog) {
    const std::wstring dir = orvtest::ScratchDir(L"common_dialog_filter");
    orvalis::CommonDialog dlg(owner_);
    dlg.Filter = L"Alpha (*.a)|*.a|Beta (*.b)|*.b|Gamma (*.c)|*.c";
    dlg.FilterIndex = 3;
    orvtest::SaveAsDriver driver({{true, dir + L"\\chosen"}});
    dlg.ShowSave();
    ASSERT_EQ(1u, driver.Dialogs().size());
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha (*.a)", L"Beta (*.b)", L"Gamma (*.c)"}), driver.Dialogs()[0].fileTypes);
    EXPECT_EQ(L"Gamma (*.c)", driver.Dialogs()[0].fileType);
    EXPECT_EQ(dir + L"\\chosen", dlg.FileName);
    EXPECT_EQ(3, dlg.FilterIndex);
    // The dialog only names the file; creating it is the caller's business.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(dlg.FileName.c_str()));
}

// The real WinHelp, delivering to a help viewer window of the test's own.
TEST_F(CommonDialogTest, ShowHelpReachesTheHelpViewer) {
    struct Case {
        const char* label;
        int16_t command;
        bool delivered;
    } cases[] = {
        {"HELP_CONTEXT", HELP_CONTEXT, true},
        {"HELP_FINDER", HELP_FINDER, true},
        // Wine forwards only the commands it knows, and 15 isn't one of them: the Help
        // button's request is checked where it leaves the add-in instead.
        {"15 (HELP_TAB)", 15, !orvtest::OnWine()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        orvtest::WinHelpCatcher viewer;
        orvalis::CommonDialog dlg(owner_);
        dlg.HelpFile = L"orvalis.hlp";
        dlg.HelpCommand = c.command;
        dlg.ShowHelp();
        ASSERT_EQ(c.delivered ? 1u : 0u, viewer.Requests().size());
        if (!c.delivered) continue;
        EXPECT_EQ(static_cast<UINT>(c.command), viewer.Requests()[0].command);
        EXPECT_EQ(0, viewer.Requests()[0].data);
        EXPECT_EQ("orvalis.hlp", viewer.Requests()[0].file);
    }
}

}  // namespace
