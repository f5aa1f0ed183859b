#pragma once
// A machine without CDO: while a WithoutCdo lives, the prefix has no "MAPI.Session" ProgID and
// no registration of the CDO session's class, so creating it fails as it does where CDO was
// never installed (CLSIDFromProgID: CO_E_CLASSSTRING; by class id: REGDB_E_CLASSNOTREG).
// (simclient::HideCdoRegistration does the work; every Wine test program starts by putting
// back what one that died inside a WithoutCdo left aside.)
#include <string>

namespace orvtest {

class WithoutCdo {
public:
    // Moves the registration aside; a failure is reported by ok() and error().
    WithoutCdo();
    // Puts it back, also when the test failed an assertion on the way.
    ~WithoutCdo();
    WithoutCdo(const WithoutCdo&) = delete;
    WithoutCdo& operator=(const WithoutCdo&) = delete;
    // True when nothing of CDO's registration is left in the prefix.
    bool ok() const { return error_.empty(); }
    // What went wrong moving it aside ("" when nothing did).
    const std::wstring& error() const { return error_; }

private:
    std::wstring error_;
};

}  // namespace orvtest
