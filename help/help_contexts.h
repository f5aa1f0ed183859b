#pragma once
// The help's context numbers: the add-in hands them to the help viewer, and the help project
// maps them to its pages. The help compiler reads this file too and takes only plain
// "#define NAME number" lines from it, so keep every line that form (nothing after the number).
#define IDH_LIST_BUILDER 1100
#define IDH_STARTUP_NOTE 1200
