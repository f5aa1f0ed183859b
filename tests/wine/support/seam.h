#pragma once
// The tests' one way inside the add-in's objects. Addin and Form1 name this class a friend;
// it is defined here only, so none of it is in the add-in library.
#include "Addin.h"
#include "form1.h"

namespace orvtest {

class Seam {
public:
    // How many of the connect object's four host references are set.
    static int HeldReferences(const Addin& a) {
        return (a.myCommandBars ? 1 : 0) + (a.myMenuBar ? 1 : 0) + (a.myMenuItem ? 1 : 0) + (a.myToolbarButton ? 1 : 0);
    }
    static IDispatch* ToolbarButton(const Addin& a) { return a.myToolbarButton.Get(); }

    // The window object's list builder, its address book (null when it holds none), its
    // controls (null when the window isn't loaded) and its mouse pointer.
    static orvalis::ListBuilder& Builder(Form1& f) { return f.builder_; }
    static orvalis::AddressBook* Session(const Form1& f) { return f.mySession_.get(); }
    static HWND Control(const Form1& f, int id) { return f.Control(id); }
    static HWND List1(const Form1& f) { return f.List1(); }
    static int MousePointer(const Form1& f) { return f.mousePointer_; }
};

}  // namespace orvtest
