#pragma once
// Form1: the list builder's only window. One object for the library's life; the window and
// its controls exist only while it is loaded, and are made afresh at each load. The member
// table, memberCount and myRecips (the ListBuilder) live in the object and outlast every
// load and unload; mySession lives from a load step to the next unload step.
#include <windows.h>
#include <ole2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "address_book.h"
#include "common_dialog.h"
#include "create_list.h"
#include "error.h"
#include "list_options.h"

namespace orvtest {
class Seam;
}

class Form1 final : public orvalis::BuilderView {
public:
    // The add-in shell makes the one window object (and never destroys it: not by a close, and
    // not at process exit, where releasing COM objects from a static destructor could crash the
    // host). disconnectSelf is what the unload step calls to make the add-in leave the host.
    explicit Form1(std::function<void()> disconnectSelf);

    // The window's handle; loads the window hidden first when it isn't loaded. A failed load
    // step has been shown to the user in a message box and is passed on (as orv::Error, or
    // std::bad_alloc); the window is then not loaded. hostApplication is the mail client's
    // application of the connection that asks: where CDO isn't installed, the load step takes
    // the client's own address book from it. It is used for the load step only.
    HWND hWnd(IDispatch* hostApplication = nullptr);
    // Loads the window if needed (hostApplication as for hWnd) and shows it modeless, with no
    // owner window.
    void Show(IDispatch* hostApplication = nullptr);
    // When loaded: runs the unload step (log off, release the session, DisconnectSelf) and
    // closes the window. The window closes in any case; a failure of DisconnectSelf is then
    // passed on. Nothing happens when the window isn't loaded.
    void Unload();
    bool IsLoaded() const { return hwnd_ != nullptr; }
    // Unload, then lets go of the last selection too: nothing of the mail client's or the
    // address book's stays held by the window object.
    void UnloadAndForget();

    // The list's options (list_options.h), where the client offers them (its ribbon): as the
    // user left them, read again at each offer. From then on they decide how "Create List"
    // treats lists in lists and in which form the list is copied and saved. Until they are
    // offered, and on clients without a ribbon, the list is built and written as it always was.
    void OfferOptions();
    // The offered options, offered first where they aren't yet; the ribbon's controls show and
    // change them.
    orvalis::ListOptions& OfferedOptions();

    // BuilderView: what "Create List" does to the window.
    void AddLine(const std::wstring& line) override;
    void ClearList() override;
    void SetMousePointer(int pointer) override;
    void ProcessMessages() override;

    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

private:
    friend class orvtest::Seam;

    HWND Control(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }
    HWND List1() const;

    void Load(IDispatch* hostApplication);
    void CreateTheWindow();
    void CreateControls();
    void RunLoadStep(IDispatch* hostApplication);
    void SetVersionCaption(const std::wstring& caption);
    void RunUnloadStep();
    void DestroyTheWindow() noexcept;

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK DialogKeysHook(int code, WPARAM wp, LPARAM lp);
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnClose() noexcept;
    void OnCommand(int id) noexcept;
    bool OnSetCursor();
    void CreateList();

    std::function<void()> disconnectSelf_;
    HWND hwnd_ = nullptr;
    HHOOK keyboardHook_ = nullptr;
    bool unloading_ = false;
    bool creatingList_ = false;
    int mousePointer_ = 0;
    // The address book's session: CDO's, or the mail client's own namespace where CDO isn't
    // installed. A run of "Create List" holds it too, for as long as it runs.
    std::shared_ptr<orvalis::AddressBook> mySession_;
    orvalis::ListBuilder builder_;
    std::optional<orvalis::ListOptions> options_;
    // CommonDialog1 lives as long as the loaded window, and as long as a handler still uses it:
    // the host may unload the window while its Save As dialog is open.
    std::shared_ptr<orvalis::CommonDialog> commonDialog1_;
};
