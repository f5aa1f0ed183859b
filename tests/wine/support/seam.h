#pragma once
// The tests' one way inside the add-in's objects. Addin, the command-bar place and Form1 name
// this class a friend; it is defined here only, so none of it is in the add-in library.
#include "Addin.h"
#include "command_bar_place.h"
#include "form1.h"

namespace orvtest {

class Seam {
public:
    // How many of the four host references the connect object's place holds (none on the ribbon).
    static int HeldReferences(const Addin& a) {
        const auto* p = Bars(a);
        return p ? (p->myCommandBars ? 1 : 0) + (p->myMenuBar ? 1 : 0) + (p->myMenuItem ? 1 : 0) + (p->myToolbarButton ? 1 : 0)
                 : 0;
    }
    static IDispatch* ToolbarButton(const Addin& a) {
        const auto* p = Bars(a);
        return p ? p->myToolbarButton.Get() : nullptr;
    }

    // The window object's list builder, its address book (null when it holds none), its
    // controls (null when the window isn't loaded) and its mouse pointer.
    static orvalis::ListBuilder& Builder(Form1& f) { return f.builder_; }
    static orvalis::AddressBook* Session(const Form1& f) { return f.mySession_.get(); }
    static HWND Control(const Form1& f, int id) { return f.Control(id); }
    static HWND List1(const Form1& f) { return f.List1(); }
    static int MousePointer(const Form1& f) { return f.mousePointer_; }

private:
    // The connect object's place, where it is the command bars.
    static const orvalis::CommandBarPlace* Bars(const Addin& a) {
        return dynamic_cast<const orvalis::CommandBarPlace*>(a.place_.get());
    }
};

}  // namespace orvtest
