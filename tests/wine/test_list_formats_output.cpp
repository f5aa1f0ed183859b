// The list's three forms as Copy to Clipboard and Save List write them where the client offers
// the options (its ribbon): the clipboard's text, the file's bytes and encoding, the Save As
// dialog's file types and default extension, and the one word about an ANSI file that lost
// characters; and that without the options nothing of this happens.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "clipboard_files.h"
#include "list_formats.h"
#include "list_options.h"
#include "list_output.h"
#include "messages.h"
#include "save_as_driver.h"
#include "wine_test.h"

namespace {

using orvalis::ListFormat;
using orvalis::ListOptions;
using orvalis::MemberTable;
using orvtest::ClipboardText;
using orvtest::FileBytes;

struct NoList : orvalis::ListSink {
    void AddLine(const std::wstring&) override {}
};

MemberTable TableOf(const std::vector<std::pair<std::wstring, std::wstring>>& rows) {
    MemberTable table;
    NoList list;
    for (const auto& [address, name] : rows) table.AddListEntry(name, L"", L"", address, list);
    return table;
}

class FormatsOutput : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, owner_);
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = orvtest::ScratchDir(L"formats_output_" + std::wstring(test.begin(), test.end()));
    }
    struct Saved {
        std::vector<orvtest::SaveAsSeen> dialogs;
        std::vector<std::wstring> boxes;
    };
    Saved Save(const MemberTable& table, const ListOptions* offered, const std::wstring& typed) {
        orvtest::SaveAsDriver driver({{true, typed}});
        orvalis::SaveList(owner_, table, dlg_, offered);
        return {driver.Dialogs(), driver.Boxes()};
    }

    orvtest::OwnerWindow window_{L"Formats test owner"};
    HWND owner_ = window_.hwnd();
    orvalis::CommonDialog dlg_{owner_};
    std::wstring dir_;
};

// A name of every kind that matters: Western European letters (in code page 1252), Greek and
// Chinese (not in it), and a character beyond the basic plane (a surrogate pair).
const std::vector<std::pair<std::wstring, std::wstring>> kMembers = {
    {L"zoe@example.com", L"Zo\u00EB Lee"},
    {L"bob@example.com", L"Lee, Bob"},
    {L"d@example.com", L"\u0394elta \u4E2D"},
    {L"s@example.com", L"Smile \U0001F600"},
    {L"f@example.com", L"=1+2"},
};

TEST_F(FormatsOutput, EachFormatOnTheClipboardAndInItsFileWithItsFileType) {
    ASSERT_EQ(1252u, GetACP());
    const MemberTable table = TableOf(kMembers);
    const struct {
        const char* label;
        ListFormat format;
        std::wstring typed, saved;  // the name typed without an extension, and the file it gives
        std::wstring fileType;
        std::vector<std::wstring> fileTypes;
        std::wstring text;
        std::string bytes;
    } rows[] = {
        {"address name", ListFormat::AddressName, L"list", L"list.txt", L"Text Files (*.txt)",
         {L"Text Files (*.txt)", L"All Files (*.*)"},
         L"zoe@example.com Zo\u00EB Lee\r\nbob@example.com Lee, Bob\r\nd@example.com \u0394elta \u4E2D\r\n"
         L"s@example.com Smile \U0001F600\r\nf@example.com =1+2\r\n",
         "zoe@example.com Zo\xEB Lee\r\nbob@example.com Lee, Bob\r\nd@example.com ?elta ?\r\ns@example.com Smile ??\r\n"
         "f@example.com =1+2\r\n"},
        {"Name <address>", ListFormat::Mailman, L"subscribe", L"subscribe.txt", L"Text Files (*.txt)",
         {L"Text Files (*.txt)", L"All Files (*.*)"},
         L"Zo\u00EB Lee <zoe@example.com>\r\n\"Lee, Bob\" <bob@example.com>\r\n\u0394elta \u4E2D <d@example.com>\r\n"
         L"Smile \U0001F600 <s@example.com>\r\n=1+2 <f@example.com>\r\n",
         "Zo\xC3\xAB Lee <zoe@example.com>\r\n\"Lee, Bob\" <bob@example.com>\r\n\xCE\x94" "elta \xE4\xB8\xAD <d@example.com>\r\n"
         "Smile \xF0\x9F\x98\x80 <s@example.com>\r\n=1+2 <f@example.com>\r\n"},
        {"CSV", ListFormat::Csv, L"sheet", L"sheet.csv", L"CSV Files (*.csv)", {L"CSV Files (*.csv)", L"All Files (*.*)"},
         L"address,name\r\nzoe@example.com,Zo\u00EB Lee\r\nbob@example.com,\"Lee, Bob\"\r\nd@example.com,\u0394elta \u4E2D\r\n"
         L"s@example.com,Smile \U0001F600\r\nf@example.com,'=1+2\r\n",
         "\xEF\xBB\xBF" "address,name\r\nzoe@example.com,Zo\xC3\xAB Lee\r\nbob@example.com,\"Lee, Bob\"\r\n"
         "d@example.com,\xCE\x94" "elta \xE4\xB8\xAD\r\ns@example.com,Smile \xF0\x9F\x98\x80\r\nf@example.com,'=1+2\r\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        orvalis::CopyToClipboard(owner_, table, r.format);
        EXPECT_EQ(r.text, ClipboardText());

        const ListOptions offered{false, r.format};
        const Saved saved = Save(table, &offered, dir_ + L"\\" + r.typed);
        ASSERT_EQ(1u, saved.dialogs.size());
        EXPECT_EQ(r.fileType, saved.dialogs[0].fileType);
        EXPECT_EQ(r.fileTypes, saved.dialogs[0].fileTypes);
        EXPECT_EQ(dir_ + L"\\" + r.saved, dlg_.FileName);
        EXPECT_EQ(r.bytes, FileBytes(dir_ + L"\\" + r.saved));
        // Only the address-name file can lose characters, and says so.
        if (r.format == ListFormat::AddressName) {
            ASSERT_EQ(1u, saved.boxes.size());
            EXPECT_EQ(std::wstring(L"Orvalis Address Book Utility|2") + messages::kLinesLost +
                          messages::kKeptByOtherFormats,
                      saved.boxes[0]);
        } else {
            EXPECT_TRUE(saved.boxes.empty()) << saved.boxes[0];
        }
    }
}

// 2000 names, each with or without a letter the code page lacks: the word counts the lines
// that changed, and every other line is in the file as it stands.
TEST_F(FormatsOutput, TheLossIsCountedByLine) {
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    int lossy = 0;
    for (int i = 0; i < 2000; ++i) {
        std::wstring name = L"Member " + std::to_wstring(i);
        if (i % 9 == 0) name += L" \u00E9";  // in the code page
        if (i % 4 == 1) {
            name += L" \u0142";  // not in it: a best-fit letter or "?"
            ++lossy;
        }
        rows.push_back({L"m" + std::to_wstring(i) + L"@x", name});
    }
    const MemberTable table = TableOf(rows);
    const ListOptions offered;
    const Saved saved = Save(table, &offered, dir_ + L"\\many.txt");
    ASSERT_EQ(1u, saved.boxes.size());
    EXPECT_EQ(L"Orvalis Address Book Utility|" + std::to_wstring(lossy) + messages::kLinesLost +
                  messages::kKeptByOtherFormats,
              saved.boxes[0]);
    EXPECT_EQ(500, lossy);
    const std::string bytes = FileBytes(dir_ + L"\\many.txt");
    EXPECT_EQ(0u, bytes.find("m0@x Member 0 \xE9\r\nm1@x Member 1 ")) << "the first line as it stands";
    EXPECT_EQ(std::string::npos, bytes.find("m1@x Member 1 \r\n")) << "a lost character still stands for something";
}

// Without the options (a client without a ribbon): the dialog, the file and the silence of
// old, whatever a previous save in the same dialog set.
TEST_F(FormatsOutput, WithoutTheOptionsEverythingIsAsItWas) {
    const MemberTable table = TableOf(kMembers);
    const ListOptions csv{false, ListFormat::Csv};
    Save(table, &csv, dir_ + L"\\first");
    const Saved saved = Save(table, nullptr, dir_ + L"\\plain");
    ASSERT_EQ(1u, saved.dialogs.size());
    EXPECT_EQ(L"Text Files (*.txt)", saved.dialogs[0].fileType);
    EXPECT_EQ((std::vector<std::wstring>{L"All Files (*.*)", L"Text Files (*.txt)"}), saved.dialogs[0].fileTypes);
    EXPECT_EQ(dir_ + L"\\plain", dlg_.FileName) << "no extension added";
    EXPECT_EQ(L"", dlg_.DefaultExt);
    EXPECT_TRUE(saved.boxes.empty()) << saved.boxes[0];
    EXPECT_EQ("zoe@example.com Zo\xEB Lee\r\nbob@example.com Lee, Bob\r\nd@example.com ?elta ?\r\ns@example.com Smile ??\r\n"
              "f@example.com =1+2\r\n",
              FileBytes(dir_ + L"\\plain"));
}

}  // namespace
