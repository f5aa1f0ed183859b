#pragma once
// The frame of a benchmark under Wine: an OLE apartment, as the add-in has in its host, and a
// failure of the mail client's or the address book's stand-in printed instead of a crash.
#include <windows.h>
#include <ole2.h>

#include <cstdio>

#include "error.h"

namespace bench {

// Runs run() in the apartment; its result, 2 when it couldn't start or failed.
template <class Run>
int InApartment(Run run) {
    if (FAILED(OleInitialize(nullptr))) return 2;
    int rc = 2;
    try {
        rc = run();
    } catch (const orv::Error& e) {
        std::printf("failed: 0x%08lX %ls\n", static_cast<unsigned long>(e.hr()), e.description().c_str());
    }
    OleUninitialize();
    return rc;
}

}  // namespace bench
