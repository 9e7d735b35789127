// The second half of the trust check: the file's Authenticode digest
// recomputed by the program (the PE image hash, or the hash over an MSI
// package's streams) and compared with the digest the signature carries, and
// the signed "messageDigest" compared with the hash of that signed content.
// WinVerifyTrust on Windows does the same; Wine's does not, so the program
// does not rely on it.
#pragma once

#include <string>

namespace dlmgr {

// True when the file's signature covers exactly the file's present content.
// A file that is neither a PE file nor an MSI package, that is unsigned, whose
// signature is damaged or uses an algorithm other than SHA-1/SHA-2, or that
// carries an MSI "MsiDigitalSignatureEx" stream is refused; `why` says why.
bool SignedDigestMatches(const std::wstring& path, std::string* why);

}  // namespace dlmgr
