#include "dlmgr/authenticode.h"

#include <algorithm>
#include <cstring>

namespace dlmgr {
namespace {

bool Fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

std::nullopt_t Refuse(std::string* why, const char* text) {
    if (why) *why = text;
    return std::nullopt;
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// ---------------------------------------------------------------- DER

struct Tlv {
    uint8_t tag = 0;
    const uint8_t* value = nullptr;
    size_t length = 0;
    const uint8_t* begin = nullptr;  // the tag byte
    const uint8_t* end() const { return value + length; }
};

// Reads the elements of one constructed value in order. Only DER is read:
// one-byte tags and definite lengths of at most four bytes.
class DerReader {
public:
    DerReader(const uint8_t* p, size_t n) : p_(p), end_(p + n) {}
    explicit DerReader(const Tlv& t) : DerReader(t.value, t.length) {}
    bool AtEnd() const { return p_ == end_; }
    const uint8_t* Position() const { return p_; }

    bool Next(Tlv& out) {
        if (end_ - p_ < 2) return false;
        const uint8_t* q = p_;
        out.begin = q;
        out.tag = *q++;
        if ((out.tag & 0x1F) == 0x1F) return false;
        size_t length = *q++;
        if (length & 0x80) {
            const size_t count = length & 0x7F;
            if (count == 0 || count > 4 || static_cast<size_t>(end_ - q) < count) return false;
            length = 0;
            for (size_t i = 0; i < count; ++i) length = length << 8 | *q++;
        }
        if (length > static_cast<size_t>(end_ - q)) return false;
        out.value = q;
        out.length = length;
        p_ = q + length;
        return true;
    }
    // The next element, which must carry `tag`.
    bool Expect(uint8_t tag, Tlv& out) { return Next(out) && out.tag == tag; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

constexpr uint8_t kSequence = 0x30, kSet = 0x31, kOid = 0x06, kOctets = 0x04, kInteger = 0x02;
constexpr uint8_t kContext0 = 0xA0, kContext1 = 0xA1;

template <size_t N>
bool OidIs(const Tlv& t, const uint8_t (&oid)[N]) {
    return t.tag == kOid && t.length == N && std::memcmp(t.value, oid, N) == 0;
}

constexpr uint8_t kOidSignedData[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
constexpr uint8_t kOidIndirectData[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
constexpr uint8_t kOidPeImageData[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x0F};
constexpr uint8_t kOidSipInfo[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x1E};
constexpr uint8_t kOidMessageDigest[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};
constexpr uint8_t kOidSha1[] = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
constexpr uint8_t kOidSha256[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
constexpr uint8_t kOidSha384[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02};
constexpr uint8_t kOidSha512[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03};

// An AlgorithmIdentifier naming one of the accepted hash algorithms.
bool ReadDigestAlgorithm(const Tlv& identifier, DigestAlgorithm& out) {
    if (identifier.tag != kSequence) return false;
    DerReader r(identifier);
    Tlv oid;
    if (!r.Expect(kOid, oid)) return false;
    if (OidIs(oid, kOidSha1)) out = DigestAlgorithm::Sha1;
    else if (OidIs(oid, kOidSha256)) out = DigestAlgorithm::Sha256;
    else if (OidIs(oid, kOidSha384)) out = DigestAlgorithm::Sha384;
    else if (OidIs(oid, kOidSha512)) out = DigestAlgorithm::Sha512;
    else return false;
    return true;
}

std::vector<uint8_t> Bytes(const Tlv& t) { return std::vector<uint8_t>(t.value, t.end()); }

// SpcIndirectDataContent ::= SEQUENCE { data SEQUENCE { type OID, value ANY OPTIONAL },
//                                       messageDigest SEQUENCE { AlgorithmIdentifier, OCTET STRING } }
bool ReadIndirectData(const Tlv& content, SignedDigests& out, std::string* why) {
    DerReader r(content);
    Tlv data, type, digestInfo, algorithm, digest;
    if (!r.Expect(kSequence, data) || !DerReader(data).Expect(kOid, type))
        return Fail(why, "the signed content has no data type");
    out.subject = OidIs(type, kOidPeImageData) ? SignedSubject::PeImage
                  : OidIs(type, kOidSipInfo)   ? SignedSubject::MsiPackage
                                               : SignedSubject::Other;
    if (!r.Expect(kSequence, digestInfo)) return Fail(why, "the signed content has no file digest");
    DerReader d(digestInfo);
    if (!d.Next(algorithm) || !ReadDigestAlgorithm(algorithm, out.fileAlgorithm))
        return Fail(why, "the file digest uses an algorithm that is not accepted");
    if (!d.Expect(kOctets, digest) || digest.length != DigestSize(out.fileAlgorithm))
        return Fail(why, "the file digest has the wrong length");
    out.fileDigest = Bytes(digest);
    return true;
}

// SignerInfo ::= SEQUENCE { version, issuerAndSerialNumber, digestAlgorithm,
//                           authenticatedAttributes [0] IMPLICIT SET OF Attribute, ... }
bool ReadSigner(const Tlv& signer, SignedDigests& out, std::string* why) {
    DerReader r(signer);
    Tlv version, issuer, algorithm, attributes;
    if (!r.Expect(kInteger, version) || !r.Expect(kSequence, issuer) || !r.Next(algorithm))
        return Fail(why, "the signer information is damaged");
    if (!ReadDigestAlgorithm(algorithm, out.signerAlgorithm))
        return Fail(why, "the signer uses a digest algorithm that is not accepted");
    if (!r.Expect(kContext0, attributes)) return Fail(why, "the signer has no signed attributes");
    DerReader a(attributes);
    int found = 0;
    while (!a.AtEnd()) {
        Tlv attribute, type, values, value;
        if (!a.Expect(kSequence, attribute)) return Fail(why, "a signed attribute is damaged");
        DerReader at(attribute);
        if (!at.Expect(kOid, type) || !at.Expect(kSet, values)) return Fail(why, "a signed attribute is damaged");
        if (!OidIs(type, kOidMessageDigest)) continue;
        DerReader v(values);
        if (!v.Expect(kOctets, value) || !v.AtEnd()) return Fail(why, "the message digest attribute is damaged");
        out.messageDigest = Bytes(value);
        ++found;
    }
    if (found != 1) return Fail(why, "the signer must carry exactly one message digest");
    if (out.messageDigest.size() != DigestSize(out.signerAlgorithm))
        return Fail(why, "the message digest has the wrong length");
    return true;
}

}  // namespace

size_t DigestSize(DigestAlgorithm algorithm) {
    switch (algorithm) {
        case DigestAlgorithm::Sha1: return 20;
        case DigestAlgorithm::Sha256: return 32;
        case DigestAlgorithm::Sha384: return 48;
        case DigestAlgorithm::Sha512: return 64;
    }
    return 0;
}

std::optional<PeSignatureLayout> ReadPeSignatureLayout(const uint8_t* header, size_t headerSize, uint64_t fileSize,
                                                       std::string* why) {
    if (headerSize > fileSize) headerSize = static_cast<size_t>(fileSize);
    if (headerSize < 64 || header[0] != 'M' || header[1] != 'Z') return Refuse(why, "not a program file");
    const uint32_t pe = Le32(header + 60);
    // Signature (4), file header (20), then the optional header.
    if (pe > headerSize || headerSize - pe < 24 + 2 || std::memcmp(header + pe, "PE\0\0", 4) != 0)
        return Refuse(why, "not a program file");
    const uint16_t optionalSize = Le16(header + pe + 20);
    const size_t optional = pe + 24;
    const uint16_t magic = Le16(header + optional);
    if (magic != 0x10B && magic != 0x20B) return Refuse(why, "unknown optional header");
    const size_t countField = optional + (magic == 0x20B ? 108 : 92);
    const size_t directories = countField + 4;
    const size_t certEntry = directories + 4 * 8;  // the fifth directory: the certificate table
    if (optionalSize < certEntry + 8 - optional || headerSize < certEntry + 8)
        return Refuse(why, "the headers are too short");
    if (Le32(header + countField) < 5) return Refuse(why, "the file has no certificate table");
    const uint64_t tableOffset = Le32(header + certEntry);
    const uint64_t tableSize = Le32(header + certEntry + 4);
    if (tableOffset == 0 || tableSize == 0) return Refuse(why, "the file is not signed");
    const uint64_t headersEnd = optional + optionalSize;
    if (tableOffset < headersEnd || tableSize < 8 || tableOffset > fileSize || fileSize - tableOffset != tableSize)
        return Refuse(why, "the certificate table does not end the file");
    PeSignatureLayout layout;
    const uint64_t checksum = optional + 64;
    layout.hashed = {{0, checksum}, {checksum + 4, certEntry}, {certEntry + 8, tableOffset}};
    layout.certificateTable = {tableOffset, fileSize};
    return layout;
}

std::optional<std::vector<uint8_t>> SignatureOfCertificateEntry(const std::vector<uint8_t>& entry, std::string* why) {
    if (entry.size() < 8) return Refuse(why, "the certificate entry is damaged");
    const uint32_t length = Le32(entry.data());
    // Revision 2.0, type PKCS_SIGNED_DATA; the entry is padded to 8 bytes and
    // must be the table's only one.
    if (Le16(entry.data() + 4) != 0x0200 || Le16(entry.data() + 6) != 0x0002)
        return Refuse(why, "the certificate entry is not an Authenticode signature");
    if (length < 8 || length > entry.size() || ((length + 7u) & ~7u) != entry.size())
        return Refuse(why, "the certificate table holds other data");
    return std::vector<uint8_t>(entry.begin() + 8, entry.begin() + length);
}

bool MsiHashOrderLess(std::u16string_view a, std::u16string_view b) {
    // Byte-wise over the little-endian units, the NUL terminator included.
    const size_t n = std::min(a.size(), b.size()) + 1;
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = i < a.size() ? a[i] : u'\0';
        const char16_t y = i < b.size() ? b[i] : u'\0';
        if ((x & 0xFF) != (y & 0xFF)) return (x & 0xFF) < (y & 0xFF);
        if ((x >> 8) != (y >> 8)) return (x >> 8) < (y >> 8);
    }
    return a.size() < b.size();
}

std::optional<SignedDigests> ParseSignedDigests(const uint8_t* data, size_t size, std::string* why) {
    DerReader top(data, size);
    Tlv contentInfo, type, explicitSigned, signedData;
    if (!top.Expect(kSequence, contentInfo)) return Refuse(why, "the signature is not DER");
    // Padding after the signature (a WIN_CERTIFICATE is padded to 8 bytes).
    const size_t rest = static_cast<size_t>(data + size - top.Position());
    if (rest >= 8 || std::any_of(top.Position(), data + size, [](uint8_t b) { return b != 0; }))
        return Refuse(why, "data follows the signature");
    DerReader ci(contentInfo);
    if (!ci.Expect(kOid, type) || !OidIs(type, kOidSignedData) || !ci.Expect(kContext0, explicitSigned) ||
        !DerReader(explicitSigned).Expect(kSequence, signedData))
        return Refuse(why, "the signature is not PKCS #7 signed data");

    SignedDigests out;
    DerReader sd(signedData);
    Tlv version, algorithms, inner, innerType, explicitContent, indirect;
    if (!sd.Expect(kInteger, version) || !sd.Expect(kSet, algorithms) || !sd.Expect(kSequence, inner))
        return Refuse(why, "the signed data is damaged");
    DerReader in(inner);
    if (!in.Expect(kOid, innerType) || !OidIs(innerType, kOidIndirectData) || !in.Expect(kContext0, explicitContent) ||
        !DerReader(explicitContent).Expect(kSequence, indirect))
        return Refuse(why, "the signature does not sign an Authenticode digest");
    if (!ReadIndirectData(indirect, out, why)) return std::nullopt;
    // The message digest covers the content's value, without its tag and length.
    out.signedContent = Bytes(indirect);

    Tlv next;
    if (!sd.Next(next)) return Refuse(why, "the signature has no signer");
    if (next.tag == kContext0 && !sd.Next(next)) return Refuse(why, "the signature has no signer");
    if (next.tag == kContext1 && !sd.Next(next)) return Refuse(why, "the signature has no signer");
    Tlv signer;
    if (next.tag != kSet || !DerReader(next).Expect(kSequence, signer))
        return Refuse(why, "the signature has no signer");
    if (!ReadSigner(signer, out, why)) return std::nullopt;
    return out;
}

}  // namespace dlmgr
