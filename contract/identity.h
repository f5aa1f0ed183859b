#pragma once
// The add-in's identity and where the mail client looks it up, as plain macros: the C++ code,
// the type library's IDL (through widl's preprocessor) and the installer (the build hands
// them to wixl as -D values) all take them from here, so none is written twice.

// How the class is created, and how the client lists the add-in.
#define ORVALIS_PROGID "ORVALISutility.Addin"
#define ORVALIS_ADDIN_DESCRIPTION "Orvalis Outlook DL Utility"
// The client's per-user add-in entries: the add-in's own is this key, then its ProgID; its
// LoadBehavior asks for the start-up connection plus the demand load.
#define ORVALIS_HOST_ADDINS_KEY "Software\\Microsoft\\Office\\Outlook\\Addins"
#define ORVALIS_LOAD_BEHAVIOR 3

// The connect class, the type library and the class's default interface, unquoted, as the
// IDL's uuid() takes them; the code reads them as CLSID_Addin, LIBID_ORVALISutility and
// IID__Addin from the header widl writes.
#define ORVALIS_CLSID 1E9C28FE-D57F-4BBB-A653-40161E28C129
#define ORVALIS_LIBID 3A89FDAD-4652-48A2-9D5C-25162A8D86C2
#define ORVALIS_ADDIN_IID D833542C-D8B3-4009-AAD2-EC4CD58E53C0
#define ORVALIS_TYPELIB_MAJOR 8
#define ORVALIS_TYPELIB_MINOR 0
// "Orvalise" is how the library has always described itself.
#define ORVALIS_TYPELIB_HELPSTRING "Orvalise and Outlook DL utility."
