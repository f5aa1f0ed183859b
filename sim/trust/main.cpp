// OrvalisTrust.exe: what an administrator does by hand (the certificates' console, or
// certutil -addstore) to trust a publisher on one machine, for the demo and the tests:
//
//   OrvalisTrust.exe add <store> <certificate.cer> [user|machine]
//   OrvalisTrust.exe remove <store> <certificate.cer> [user|machine]
//
// <store> is a system store's name: Root for a root to trust, TrustedPublisher for a signer
// whose code may run where policy asks for trusted publishers. The certificate is DER. The
// current user's stores unless "machine" is given. Exit code 0 on success, 1 with one line why.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int Fail(const std::wstring& what) {
    fwprintf(stderr, L"OrvalisTrust: %ls (error 0x%08lX)\n", what.c_str(), GetLastError());
    return 1;
}

bool ReadAll(const std::wstring& path, std::vector<BYTE>& data) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(f, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 20);
    DWORD read = 0;
    if (ok) {
        data.resize(static_cast<size_t>(size.QuadPart));
        ok = ReadFile(f, data.data(), static_cast<DWORD>(data.size()), &read, nullptr) && read == data.size();
    }
    CloseHandle(f);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4 || argc > 5 || (std::wstring(argv[1]) != L"add" && std::wstring(argv[1]) != L"remove") ||
        (argc == 5 && std::wstring(argv[4]) != L"user" && std::wstring(argv[4]) != L"machine")) {
        fputs("usage: OrvalisTrust add|remove <store> <certificate.cer> [user|machine]\n", stderr);
        return 2;
    }
    const bool add = std::wstring(argv[1]) == L"add";
    const DWORD location = argc == 5 && std::wstring(argv[4]) == L"machine" ? CERT_SYSTEM_STORE_LOCAL_MACHINE
                                                                            : CERT_SYSTEM_STORE_CURRENT_USER;
    std::vector<BYTE> der;
    if (!ReadAll(argv[3], der)) return Fail(std::wstring(L"cannot read ") + argv[3]);
    PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    if (!cert) return Fail(std::wstring(argv[3]) + L" is no DER certificate");
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, argv[2]);
    if (!store) {
        CertFreeCertificateContext(cert);
        return Fail(std::wstring(L"cannot open the store ") + argv[2]);
    }
    int rc = 0;
    if (add) {
        if (!CertAddCertificateContextToStore(store, cert, CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
            rc = Fail(std::wstring(L"cannot add to ") + argv[2]);
    } else {
        // Removing a certificate that isn't there succeeds: the store ends as asked.
        PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, cert, nullptr);
        if (found && !CertDeleteCertificateFromStore(found)) rc = Fail(std::wstring(L"cannot remove from ") + argv[2]);
    }
    CertCloseStore(store, 0);
    CertFreeCertificateContext(cert);
    return rc;
}
