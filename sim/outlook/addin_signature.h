#pragma once
// The client's policy "add-ins must be signed by a trusted publisher": before it creates an
// add-in's class, it checks the Authenticode signature of the class's in-process server and
// requires its signer among the trusted publishers.
#include <windows.h>

#include <string>

namespace sim::outlook {

// On when the scenario says so ("outlook": {"requireSignedAddIns": true}) or when the policy
// value requireaddinsig is 1 under HKCU\Software\Policies\Microsoft\Office\<major>.0\Outlook\Security
// for the client's version (16.0 for "16.0.0.0").
bool RequiresSignedAddIns();

// The outcome of checking one class's server. While it lives it keeps the file open against
// writes, renames and deletion, so the file that is loaded is the one that was checked.
class ServerCheck {
public:
    ServerCheck() = default;
    ServerCheck(const ServerCheck&) = delete;
    ServerCheck& operator=(const ServerCheck&) = delete;
    ServerCheck(ServerCheck&& other) noexcept;
    ServerCheck& operator=(ServerCheck&& other) noexcept;
    ~ServerCheck();

    std::wstring path;     // the class's InprocServer32 as found; "" when there is none
    std::wstring refusal;  // "" when it may load: "unsigned", "bad digest", "untrusted root", ...
    HRESULT hr = S_OK;     // the refusal as an HRESULT (TRUST_E_NOSIGNATURE, ...)
    std::wstring signer;   // the signer's name, once a signature was found valid

private:
    friend ServerCheck CheckServerSignature(const CLSID& clsid);
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

ServerCheck CheckServerSignature(const CLSID& clsid);

}  // namespace sim::outlook
