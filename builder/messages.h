#pragma once
// Everything the list builder says in its message boxes (captioned like the window, see
// report.h): what failed, and what a run of "Create List" left out.

namespace messages {

// Each failure text is followed by a blank line and "Error <n>: <description>".
inline constexpr wchar_t kLoadFailed[] =
    L"The list builder could not open the address book, so its window cannot be shown.";
inline constexpr wchar_t kDisconnectFailed[] =
    L"The list builder's window is closed, but the add-in could not disconnect itself from the mail client.";
inline constexpr wchar_t kCommandFailed[] = L"The list builder could not finish this command.";
inline constexpr wchar_t kClipboardFailed[] = L"The list could not be copied to the clipboard.";
inline constexpr wchar_t kSaveFailed[] = L"The list could not be saved.";
inline constexpr wchar_t kSaveFailedAs[] = L"The list could not be saved as\r\n";  // then the path
inline constexpr wchar_t kHelpFailed[] = L"Help could not be opened.";
inline constexpr wchar_t kErrorLine[] = L"Error ";

// What was left out of a run, put together as "<n> entries were left out of the list:" and
// then a line for each reason, "<n> entries could not be read from the address book.".
inline constexpr wchar_t kEntry[] = L" entry";
inline constexpr wchar_t kEntries[] = L" entries";
inline constexpr wchar_t kWas[] = L" was";
inline constexpr wchar_t kWere[] = L" were";
inline constexpr wchar_t kLeftOut[] = L" left out of the list:";
inline constexpr wchar_t kUnreadable[] = L" could not be read from the address book.";
inline constexpr wchar_t kAfterFull[] = L" came after the list was full (";  // then the rows
inline constexpr wchar_t kAfterFullEnd[] = L" members).";
inline constexpr wchar_t kHas[] = L" has";
inline constexpr wchar_t kHave[] = L" have";
inline constexpr wchar_t kNoAddress[] = L" no e-mail address.";

// After a list saved in the ANSI code page lost characters: "<n> lines of the list" and then
// the rest.
inline constexpr wchar_t kLineLost[] = L" line of the list lost characters";
inline constexpr wchar_t kLinesLost[] = L" lines of the list lost characters";
inline constexpr wchar_t kKeptByOtherFormats[] =
    L" that this computer's code page for text files doesn't hold: each was saved as \"?\" or a similar letter. "
    L"The formats \"Name <address>\" and CSV keep every character.";

}  // namespace messages
