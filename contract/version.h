#pragma once
// The add-in's own version: the version resource and the window's version line both
// take it from here. Fixed file version major.minor.0.revision.
#define ORVALIS_VERSION_MAJOR 1
#define ORVALIS_VERSION_MINOR 3
#define ORVALIS_VERSION_REVISION 1
// The text form writes the minor number with two digits and the revision with four.
#define ORVALIS_VERSION_TEXT "1.03.0001"
#define ORVALIS_HELP_FILE "orvalis.hlp"
// The help as it ships: compiled HTML Help, beside the add-in's library.
#define ORVALIS_COMPILED_HELP_FILE "orvalis.chm"
