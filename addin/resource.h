#pragma once
// Resource ids of the add-in library.
// TYPELIB 1 is the add-in's own type library; TYPELIB 2 the add-in designer library it imports.
#define IDR_TYPELIB_ADDIN 1
#define IDR_TYPELIB_DESIGNER 2
// The customUI document of the main window's ribbon (clients of 2010 and later), UTF-8.
#define IDR_RIBBON_EXPLORER 101
// The library's application title, equal to its product name; nothing reads it.
#define IDS_APP_TITLE 1
#define ORVALIS_APP_TITLE "ORVALIS Gal Utility"
