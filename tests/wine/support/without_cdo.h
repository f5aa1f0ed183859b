#pragma once
// A machine without CDO: while a WithoutCdo lives, the prefix has no "MAPI.Session" ProgID and
// no registration of the CDO session's class, so creating it fails as it does where CDO was
// never installed (CLSIDFromProgID: CO_E_CLASSSTRING; by class id: REGDB_E_CLASSNOTREG).
#include <string>

namespace orvtest {

class WithoutCdo {
public:
    // Moves the registration aside (to a key of the tests' own); a failure is reported by ok().
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

// Puts back a registration that a test program which died inside a WithoutCdo left aside.
// Every Wine test program calls it before its first test.
void RestoreCdoRegistration();

}  // namespace orvtest
