// Asks WinVerifyTrust, as Windows itself does before it trusts a file,
// whether the Authenticode signatures of files hold:
//   verify_trust.exe ROOT.der FILE...
// ROOT.der, a throwaway root certificate, is first added to the local
// machine's trusted roots of the Wine prefix; revocation is not checked
// (no network). Prints one line per file, "verified: FILE" or "FAILED:
// FILE: 0xCODE what", and exits with the number of files that failed.
#include <windows.h>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> ReadWhole(const wchar_t *path) {
  std::vector<BYTE> bytes;
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return bytes;
  }
  bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
      read != bytes.size()) {
    bytes.clear();
  }
  CloseHandle(file);
  return bytes;
}

bool TrustRoot(const wchar_t *path) {
  const std::vector<BYTE> root = ReadWhole(path);
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (root.empty() || store == nullptr) {
    return false;
  }
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, root.data(),
                                                      static_cast<DWORD>(root.size()),
                                                      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(store, 0);
  return added != FALSE;
}

const char *Meaning(LONG status) {
  switch (static_cast<DWORD>(status)) {
  case static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN):
    return "no subject interface package knows this kind of file";
  case static_cast<DWORD>(TRUST_E_NOSIGNATURE):
    return "not signed";
  case static_cast<DWORD>(TRUST_E_BAD_DIGEST):
    return "the file does not match its signature";
  case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    return "the root is not trusted";
  case static_cast<DWORD>(CERT_E_CHAINING):
    return "no chain to a trusted root";
  case static_cast<DWORD>(CERT_E_EXPIRED):
    return "a certificate has expired or is not yet valid";
  case static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN):
    return "no trust provider";
  default:
    return "see WinVerifyTrust's codes";
  }
}

LONG Verify(const wchar_t *path) {
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path;
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return status;
}

} // namespace

int wmain(int argc, wchar_t **argv) {
  if (argc < 3) {
    std::fputs("usage: verify_trust.exe ROOT.der FILE...\n", stderr);
    return 255;
  }
  if (!TrustRoot(argv[1])) {
    std::fprintf(stderr, "cannot add %ls to the trusted roots\n", argv[1]);
    return 255;
  }
  int failed = 0;
  for (int i = 2; i < argc; ++i) {
    const LONG status = Verify(argv[i]);
    if (status == ERROR_SUCCESS) {
      std::printf("verified: %ls\n", argv[i]);
    } else {
      std::printf("FAILED: %ls: 0x%08lX %s\n", argv[i], static_cast<unsigned long>(status),
                  Meaning(status));
      ++failed;
    }
  }
  std::fflush(stdout);
  return failed;
}
