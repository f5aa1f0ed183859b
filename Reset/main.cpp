// The entry of ResetOrvalis.exe: no window, no command line; Module1 does the rest.
#include <windows.h>

#include "Module1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Module1::Main();
}
