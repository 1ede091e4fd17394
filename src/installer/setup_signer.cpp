#include "installer/setup_signer.h"

#include <softpub.h>
#include <wintrust.h>

#include <algorithm>

#include "common/hex_text.h"

namespace qrx {

const wchar_t kLogSetupSignerRefused[] = L"Setup signature refused, setup: %s, reason: %s";

std::vector<Sha256Digest> ParseSignerList(const wchar_t* list) {
  std::vector<Sha256Digest> digests;
  if (!list) return digests;
  std::wstring entry;
  for (const wchar_t* p = list;; ++p) {
    if (*p == L',' || *p == L';' || *p == L'\0') {
      Sha256Digest digest{};
      if (ParseDigestHex(entry, digest)) digests.push_back(digest);
      entry.clear();
      if (*p == L'\0') break;
    } else if (*p != L' ') {
      entry.push_back(*p);
    }
  }
  return digests;
}

SignerVerdict DecideSigner(LONG trust, const std::vector<Sha256Digest>& chain, const std::vector<Sha256Digest>& listed) {
  if (trust != ERROR_SUCCESS) return SignerVerdict::kNotTrusted;
  if (chain.empty()) return SignerVerdict::kNoSigner;
  for (const Sha256Digest& certificate : chain) {
    if (std::find(listed.begin(), listed.end(), certificate) != listed.end()) return SignerVerdict::kListed;
  }
  return SignerVerdict::kNotListed;
}

SignerCheck CheckSetupSigner(const std::wstring& path, HANDLE file, const std::vector<Sha256Digest>& listed) {
  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = path.c_str();
  fileInfo.hFile = file;
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  HWND noUi = static_cast<HWND>(INVALID_HANDLE_VALUE);

  SignerCheck check;
  check.trust = WinVerifyTrust(noUi, &action, &data);
  std::vector<Sha256Digest> chain;
  if (check.trust == ERROR_SUCCESS) {
    // The signer's own certificate is the first of its chain, then its issuers. The thumbprints are
    // hashed here: the certificate property for them is not available everywhere.
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    for (DWORD i = 0; signer && signer->pasCertChain && i < signer->csCertChain; ++i) {
      const CERT_CONTEXT* certificate = signer->pasCertChain[i].pCert;
      Sha256Digest thumbprint{};
      if (!certificate || !Sha256Of(certificate->pbCertEncoded, certificate->cbCertEncoded, thumbprint)) break;
      chain.push_back(thumbprint);
    }
    if (!chain.empty()) check.thumbprint = chain[0];
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(noUi, &action, &data);
  check.verdict = DecideSigner(check.trust, chain, listed);
  return check;
}

std::wstring SignerRefusalReason(const SignerCheck& check) {
  switch (check.verdict) {
    case SignerVerdict::kListed:
      return L"signed by a listed certificate";
    case SignerVerdict::kNotTrusted:
      return L"signature not valid, WinVerifyTrust " + HexNumber(static_cast<unsigned long>(check.trust));
    case SignerVerdict::kNoSigner:
      return L"no signer certificate";
    case SignerVerdict::kNotListed:
      return L"signer certificate not listed, sha256 " + DigestHex(check.thumbprint);
  }
  return std::wstring();
}

}  // namespace qrx
