// The parts of an Authenticode check that need no Windows call: where a PE
// file's signature lies and which bytes its image hash covers, the order in
// which an MSI package's streams are hashed, and the digests carried inside
// a signature (the file digest in SpcIndirectDataContent and the signed
// "messageDigest" attribute over it). The Windows side hashes the file and
// compares; every length read here is checked against the data it lies in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dlmgr {

enum class DigestAlgorithm { Sha1, Sha256, Sha384, Sha512 };
size_t DigestSize(DigestAlgorithm algorithm);

// What a signature says it signs.
enum class SignedSubject { PeImage, MsiPackage, Other };

struct ByteRange {
    uint64_t begin = 0;
    uint64_t end = 0;  // one past the last byte
};

// The Authenticode layout of a signed PE file.
struct PeSignatureLayout {
    // The bytes the image hash covers, in order: everything except the
    // checksum field, the certificate-table directory entry and the table.
    std::vector<ByteRange> hashed;
    ByteRange certificateTable;  // the WIN_CERTIFICATE entry
};

// Reads the layout from the file's first bytes (`header`, at least up to the
// end of the optional header's data directories) and the file's size. The
// file must be signed: a certificate table that is absent, lies inside the
// headers or does not end at the end of the file (bytes appended after a
// signature) is refused with the reason in `why`.
std::optional<PeSignatureLayout> ReadPeSignatureLayout(const uint8_t* header, size_t headerSize, uint64_t fileSize,
                                                       std::string* why);

// The PKCS #7 bytes inside a WIN_CERTIFICATE entry (revision 2.0, type
// PKCS_SIGNED_DATA), or nothing.
std::optional<std::vector<uint8_t>> SignatureOfCertificateEntry(const std::vector<uint8_t>& entry, std::string* why);

// MSI packages: the streams "\x05DigitalSignature" and
// "\x05MsiDigitalSignatureEx" of the root storage are not hashed.
inline constexpr char16_t kMsiSignatureStream[] = u"\x05" u"DigitalSignature";
inline constexpr char16_t kMsiSignatureExStream[] = u"\x05" u"MsiDigitalSignatureEx";
// The order in which the elements of one storage are hashed: their names as
// UTF-16LE bytes with the terminating NUL, compared byte by byte.
bool MsiHashOrderLess(std::u16string_view a, std::u16string_view b);

// The digests inside an Authenticode signature (DER PKCS #7 SignedData with
// SpcIndirectDataContent and one or more signers; the first signer counts,
// as it does for WinVerifyTrust).
struct SignedDigests {
    SignedSubject subject = SignedSubject::Other;
    DigestAlgorithm fileAlgorithm = DigestAlgorithm::Sha256;
    std::vector<uint8_t> fileDigest;     // the digest of the file as signed
    DigestAlgorithm signerAlgorithm = DigestAlgorithm::Sha256;
    std::vector<uint8_t> messageDigest;  // the signed attribute "messageDigest"
    std::vector<uint8_t> signedContent;  // the bytes messageDigest is the hash of
};
std::optional<SignedDigests> ParseSignedDigests(const uint8_t* data, size_t size, std::string* why);

}  // namespace dlmgr
