// Whether the package's setup program is signed by a certificate the build lists.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/sha256.h"

namespace qrx {

// Log line of a refused setup program.
extern const wchar_t kLogSetupSignerRefused[];

// The build's list: SHA-256 thumbprints of signer certificates in hexadecimal, separated by
// commas or semicolons. Entries that are not 64 hexadecimal digits are dropped.
std::vector<Sha256Digest> ParseSignerList(const wchar_t* list);

enum class SignerVerdict {
  kListed,       // a valid signature by a listed certificate
  kNotTrusted,   // the signature check failed (unsigned, changed after signing, ...)
  kNoSigner,     // the check passed but named no signer certificate
  kNotListed,    // a valid signature by another certificate
};

// What the check found: the verdict, WinVerifyTrust's answer and the signer's thumbprint.
struct SignerCheck {
  SignerVerdict verdict = SignerVerdict::kNotTrusted;
  LONG trust = 0;
  Sha256Digest thumbprint{};
};

// The decision alone, from the facts the platform gave: `chain` holds the thumbprints of the
// signer's certificate chain, leaf first. A listed thumbprint matches the leaf or any certificate of
// the chain, so a vendor may list its own CA.
SignerVerdict DecideSigner(LONG trust, const std::vector<Sha256Digest>& chain, const std::vector<Sha256Digest>& listed);

// Checks the open file (path for the platform's messages) with WinVerifyTrust, no UI, and
// compares the SHA-256 thumbprints of the signer's chain with `listed`; `thumbprint` is the leaf's.
SignerCheck CheckSetupSigner(const std::wstring& path, HANDLE file, const std::vector<Sha256Digest>& listed);

// The log text of a refusal: "<path>" and what was wrong.
std::wstring SignerRefusalReason(const SignerCheck& check);

}  // namespace qrx
