#pragma once
// Resource ids of ResetOrvalis.exe.
#define IDI_RESETORVALIS 1
#define IDS_TITLE 1
