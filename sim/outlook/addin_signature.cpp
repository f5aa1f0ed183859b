// The signature check the client makes before it loads an add-in under the policy that add-ins
// be signed by a trusted publisher: WinVerifyTrust on the class's server (no UI, no revocation
// check), the signer's chain, then the signer's certificate among the trusted publishers.
#include "addin_signature.h"

#include <objbase.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <utility>

#include "client.h"

namespace sim::outlook {

namespace {

constexpr wchar_t kPolicyValue[] = L"requireaddinsig";

struct Store {
    HCERTSTORE h = nullptr;
    ~Store() {
        if (h) CertCloseStore(h, 0);
    }
};

struct CertContext {
    PCCERT_CONTEXT p = nullptr;
    ~CertContext() {
        if (p) CertFreeCertificateContext(p);
    }
};

// wintrust.dll, loaded for each check: its import library would also bring an export named
// DllRegisterServer, which the 32-bit linker then takes for this DLL's own.
class WinTrust {
public:
    WinTrust() : module_(LoadLibraryExW(L"wintrust.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        if (!module_) return;
        verify_ = Function<decltype(&WinVerifyTrust)>("WinVerifyTrust");
        provData_ = Function<decltype(&WTHelperProvDataFromStateData)>("WTHelperProvDataFromStateData");
        signer_ = Function<decltype(&WTHelperGetProvSignerFromChain)>("WTHelperGetProvSignerFromChain");
    }
    WinTrust(const WinTrust&) = delete;
    WinTrust& operator=(const WinTrust&) = delete;
    ~WinTrust() {
        if (module_) FreeLibrary(module_);
    }

    bool Loaded() const { return verify_ && provData_ && signer_; }
    LONG Verify(GUID* action, WINTRUST_DATA* data) const {
        return verify_(static_cast<HWND>(INVALID_HANDLE_VALUE), action, data);
    }
    CRYPT_PROVIDER_DATA* ProviderData(HANDLE state) const { return provData_(state); }
    CRYPT_PROVIDER_SGNR* FirstSigner(CRYPT_PROVIDER_DATA* provider) const { return signer_(provider, 0, FALSE, 0); }

private:
    template <class F>
    F Function(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_;
    decltype(&WinVerifyTrust) verify_ = nullptr;
    decltype(&WTHelperProvDataFromStateData) provData_ = nullptr;
    decltype(&WTHelperGetProvSignerFromChain) signer_ = nullptr;
};

// The state WinVerifyTrust keeps between its verify and close actions.
class TrustState {
public:
    TrustState(const WinTrust& api, HANDLE file, const std::wstring& path) : api_(api) {
        info_.cbStruct = sizeof info_;
        info_.pcwszFilePath = path.c_str();
        info_.hFile = file;
        data_.cbStruct = sizeof data_;
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &info_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        data_.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    }
    TrustState(const TrustState&) = delete;
    TrustState& operator=(const TrustState&) = delete;
    ~TrustState() {
        if (!data_.hWVTStateData) return;
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        api_.Verify(&action_, &data_);
    }

    LONG Verify() { return api_.Verify(&action_, &data_); }
    // The first signer as the provider saw it (its chain built); null when there is none.
    CRYPT_PROVIDER_SGNR* Signer() const {
        CRYPT_PROVIDER_DATA* provider = data_.hWVTStateData ? api_.ProviderData(data_.hWVTStateData) : nullptr;
        return provider ? api_.FirstSigner(provider) : nullptr;
    }

private:
    const WinTrust& api_;
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO info_{};
    WINTRUST_DATA data_{};
};

std::wstring Hex(DWORD value) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(value));
    return text;
}

// The class's in-process server, as COM would load it: InprocServer32 of the class (the
// registry view of this process's bitness), expanded, and searched for when it names no folder.
std::wstring ServerPath(const CLSID& clsid) {
    wchar_t id[64];
    if (!StringFromGUID2(clsid, id, 64)) return {};
    const std::wstring key = std::wstring(L"CLSID\\") + id + L"\\InprocServer32";
    wchar_t value[MAX_PATH * 2];
    DWORD size = sizeof value;
    // RRF_RT_REG_SZ takes a REG_EXPAND_SZ value too, expanded.
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    std::wstring path = value;
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    if (path.find_first_of(L"\\/:") != std::wstring::npos) return path;
    wchar_t found[MAX_PATH * 2];
    DWORD n = SearchPathW(nullptr, path.c_str(), nullptr, MAX_PATH * 2, found, nullptr);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(found, n) : path;
}

bool InTrustedPublishers(PCCERT_CONTEXT signer) {
    // The stores an administrator fills, by hand or by group policy, for the user or the machine.
    const DWORD locations[] = {CERT_SYSTEM_STORE_CURRENT_USER, CERT_SYSTEM_STORE_LOCAL_MACHINE,
                               CERT_SYSTEM_STORE_CURRENT_USER_GROUP_POLICY,
                               CERT_SYSTEM_STORE_LOCAL_MACHINE_GROUP_POLICY,
                               CERT_SYSTEM_STORE_LOCAL_MACHINE_ENTERPRISE};
    for (DWORD location : locations) {
        Store store{CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                  location | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG,
                                  L"TrustedPublisher")};
        if (!store.h) continue;
        CertContext found{CertFindCertificateInStore(store.h, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                     CERT_FIND_EXISTING, signer, nullptr)};
        if (found.p) return true;
    }
    return false;
}

void Refuse(ServerCheck& check, HRESULT hr, std::wstring reason) {
    check.hr = hr;
    check.refusal = std::move(reason);
}

// What WinVerifyTrust's own verdict means for the add-in.
void JudgeVerdict(ServerCheck& check, LONG verdict) {
    switch (static_cast<HRESULT>(verdict)) {
        case TRUST_E_NOSIGNATURE:
        case TRUST_E_SUBJECT_FORM_UNKNOWN:
        case TRUST_E_PROVIDER_UNKNOWN:
            return Refuse(check, TRUST_E_NOSIGNATURE, L"unsigned");
        case TRUST_E_BAD_DIGEST:
            return Refuse(check, TRUST_E_BAD_DIGEST, L"bad digest");
        case CERT_E_UNTRUSTEDROOT:
        case CERT_E_CHAINING:
            return Refuse(check, CERT_E_UNTRUSTEDROOT, L"untrusted root");
        default:
            return Refuse(check, verdict, L"signature not valid (" + Hex(verdict) + L")");
    }
}

}  // namespace

bool RequiresSignedAddIns() {
    if (ScenarioRequiresSignedAddIns()) return true;
    const std::wstring key = L"Software\\Policies\\Microsoft\\Office\\" + std::to_wstring(ClientMajor()) +
                             L".0\\Outlook\\Security";
    DWORD value = 0, size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kPolicyValue, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
               ERROR_SUCCESS &&
           value == 1;
}

ServerCheck::ServerCheck(ServerCheck&& other) noexcept
    : path(std::move(other.path)), refusal(std::move(other.refusal)), hr(other.hr), signer(std::move(other.signer)),
      file_(std::exchange(other.file_, INVALID_HANDLE_VALUE)) {}

ServerCheck& ServerCheck::operator=(ServerCheck&& other) noexcept {
    if (this == &other) return *this;
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    path = std::move(other.path);
    refusal = std::move(other.refusal);
    hr = other.hr;
    signer = std::move(other.signer);
    file_ = std::exchange(other.file_, INVALID_HANDLE_VALUE);
    return *this;
}

ServerCheck::~ServerCheck() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

ServerCheck CheckServerSignature(const CLSID& clsid) {
    ServerCheck check;
    check.path = ServerPath(clsid);
    if (check.path.empty()) {
        Refuse(check, REGDB_E_CLASSNOTREG, L"no server file to check");
        return check;
    }
    // Reading only, and nobody may write, rename or delete it until the class is created.
    check.file_ = CreateFileW(check.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (check.file_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        Refuse(check, HRESULT_FROM_WIN32(error), L"cannot read the server file (" + Hex(HRESULT_FROM_WIN32(error)) + L")");
        return check;
    }
    WinTrust api;
    if (!api.Loaded()) {
        Refuse(check, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), L"cannot check signatures (no wintrust.dll)");
        return check;
    }
    TrustState trust(api, check.file_, check.path);
    const LONG verdict = trust.Verify();
    if (verdict != ERROR_SUCCESS) {
        JudgeVerdict(check, verdict);
        return check;
    }
    CRYPT_PROVIDER_SGNR* signer = trust.Signer();
    if (!signer || !signer->pChainContext || signer->csCertChain == 0 || !signer->pasCertChain[0].pCert) {
        Refuse(check, TRUST_E_NOSIGNATURE, L"unsigned");
        return check;
    }
    // Wine 8's WinVerifyTrust answers success for a SHA-256 signature whose chain ends in a root
    // nobody trusts; the chain the provider built still says so, and Windows agrees with it.
    const DWORD chainErrors = signer->pChainContext->TrustStatus.dwErrorStatus;
    if (chainErrors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) {
        Refuse(check, CERT_E_UNTRUSTEDROOT, L"untrusted root");
        return check;
    }
    if (chainErrors != CERT_TRUST_NO_ERROR) {
        Refuse(check, CERT_E_CHAINING, L"signer's chain not valid (error status " + Hex(chainErrors) + L")");
        return check;
    }
    wchar_t name[256] = L"";
    CertGetNameStringW(signer->pasCertChain[0].pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
    check.signer = name;
    if (!InTrustedPublishers(signer->pasCertChain[0].pCert)) {
        Refuse(check, TRUST_E_SUBJECT_NOT_TRUSTED, L"not a trusted publisher");
        return check;
    }
    return check;
}

}  // namespace sim::outlook
