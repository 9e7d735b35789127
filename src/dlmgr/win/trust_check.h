// The trust check of a downloaded program update: the Authenticode signature
// must be valid and trusted (VerifyTrust), and its signer must be the maker
// (VerifySigner). Every refusal is reported to the event log as an error; the
// user sees nothing.
#pragma once

#include <string>
#include <string_view>

namespace dlmgr {

// The name a signer of the program's updates carries.
inline constexpr char kPublisher[] = "Harbinel";

// WinVerifyTrust with the generic Authenticode action and no user interface,
// no revocation checks, the file by path and the provider flags
// WTD_SAFER_FLAG | WTD_LIFETIME_SIGNING_FLAG. A result of 0 is then checked
// further, so that the answer does not depend on what the system's provider
// leaves out (Wine's checks neither the chain nor the file's digest): the
// signer's certificate chain must end in a trusted root with no error other
// than an unknown revocation status, and the digest the program computes over
// the file must equal the signed digest.
bool VerifyTrust(const std::string& path);

// The simple display name of the certificate that signed the file must equal
// `publisher` exactly (case included).
bool VerifySigner(const std::string& path, std::string_view publisher = kPublisher);

}  // namespace dlmgr
