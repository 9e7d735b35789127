#include "dlmgr/authenticode.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace dlmgr {
namespace {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------- PE layout

void Put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A PE header with e_lfanew 0x80 and a certificate table of `tableSize`
// bytes at `tableOffset`.
Bytes PeHeader(uint16_t magic, uint32_t tableOffset, uint32_t tableSize) {
    Bytes b(0x400, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 60, 0x80);
    b[0x80] = 'P';
    b[0x81] = 'E';
    const size_t optional = 0x80 + 24;
    const bool plus = magic == 0x20B;
    Put16(b, 0x80 + 20, plus ? 0xF0 : 0xE0);
    Put16(b, optional, magic);
    Put32(b, optional + (plus ? 108 : 92), 16);
    const size_t certEntry = optional + (plus ? 112 : 96) + 32;
    Put32(b, certEntry, tableOffset);
    Put32(b, certEntry + 4, tableSize);
    return b;
}

TEST(PeSignatureLayout, HashSkipsChecksumCertificateEntryAndTable) {
    for (const uint16_t magic : {uint16_t(0x20B), uint16_t(0x10B)}) {
        const Bytes header = PeHeader(magic, 0x1000, 0x200);
        std::string why;
        const auto layout = ReadPeSignatureLayout(header.data(), header.size(), 0x1200, &why);
        ASSERT_TRUE(layout) << why;
        const uint64_t optional = 0x98, checksum = optional + 64;
        const uint64_t certEntry = optional + (magic == 0x20B ? 112 : 96) + 32;
        ASSERT_EQ(layout->hashed.size(), 3u);
        EXPECT_EQ(layout->hashed[0].begin, 0u);
        EXPECT_EQ(layout->hashed[0].end, checksum);
        EXPECT_EQ(layout->hashed[1].begin, checksum + 4);
        EXPECT_EQ(layout->hashed[1].end, certEntry);
        EXPECT_EQ(layout->hashed[2].begin, certEntry + 8);
        EXPECT_EQ(layout->hashed[2].end, 0x1000u);
        EXPECT_EQ(layout->certificateTable.begin, 0x1000u);
        EXPECT_EQ(layout->certificateTable.end, 0x1200u);
    }
}

TEST(PeSignatureLayout, RefusesUnsignedDamagedOrAppendedFiles) {
    std::string why;
    Bytes unsigned_ = PeHeader(0x20B, 0, 0);
    EXPECT_FALSE(ReadPeSignatureLayout(unsigned_.data(), unsigned_.size(), 0x1000, &why));
    EXPECT_EQ(why, "the file is not signed");
    // Bytes after the signature would not be covered by it.
    Bytes appended = PeHeader(0x20B, 0x1000, 0x200);
    EXPECT_FALSE(ReadPeSignatureLayout(appended.data(), appended.size(), 0x1210, &why));
    EXPECT_EQ(why, "the certificate table does not end the file");
    Bytes inHeaders = PeHeader(0x20B, 0x100, 0x300);
    EXPECT_FALSE(ReadPeSignatureLayout(inHeaders.data(), inHeaders.size(), 0x400, &why));
    Bytes badMagic = PeHeader(0x20B, 0x1000, 0x200);
    badMagic[0x98] = 0;
    EXPECT_FALSE(ReadPeSignatureLayout(badMagic.data(), badMagic.size(), 0x1200, &why));
    Bytes farHeader = PeHeader(0x20B, 0x1000, 0x200);
    Put32(farHeader, 60, 0x3F0);  // the PE header would run past the bytes read
    EXPECT_FALSE(ReadPeSignatureLayout(farHeader.data(), farHeader.size(), 0x1200, &why));
    EXPECT_FALSE(ReadPeSignatureLayout(farHeader.data(), 10, 0x1200, &why));
}

TEST(PeSignatureLayout, CertificateEntryMustBeOnePaddedAuthenticodeSignature) {
    Bytes entry(24, 0);
    Put32(entry, 0, 21);  // 13 bytes of signature, padded to 24
    Put16(entry, 4, 0x0200);
    Put16(entry, 6, 0x0002);
    entry[8] = 0x30;
    std::string why;
    const auto signature = SignatureOfCertificateEntry(entry, &why);
    ASSERT_TRUE(signature) << why;
    EXPECT_EQ(signature->size(), 13u);
    EXPECT_EQ((*signature)[0], 0x30);

    Bytes x509 = entry;
    Put16(x509, 6, 0x0001);
    EXPECT_FALSE(SignatureOfCertificateEntry(x509, &why));
    Bytes twoEntries = entry;
    twoEntries.resize(48);
    EXPECT_FALSE(SignatureOfCertificateEntry(twoEntries, &why));
    Bytes tooLong = entry;
    Put32(tooLong, 0, 40);
    EXPECT_FALSE(SignatureOfCertificateEntry(tooLong, &why));
}

// ---------------------------------------------------------------- MSI order

TEST(MsiHashOrder, ComparesLittleEndianBytesWithTheTerminator) {
    // Low byte first: U+0141 (41 01) sorts before U+0042 (42 00).
    EXPECT_TRUE(MsiHashOrderLess(u"\u0141", u"B"));
    EXPECT_FALSE(MsiHashOrderLess(u"B", u"\u0141"));
    // A name sorts before the longer names it begins.
    EXPECT_TRUE(MsiHashOrderLess(u"A", u"AB"));
    EXPECT_FALSE(MsiHashOrderLess(u"AB", u"A"));
    EXPECT_FALSE(MsiHashOrderLess(u"A", u"A"));
    EXPECT_TRUE(MsiHashOrderLess(u"\x05SummaryInformation", u"A"));
}

// ---------------------------------------------------------------- signatures

Bytes Tlv(uint8_t tag, std::initializer_list<Bytes> parts) {
    Bytes value;
    for (const Bytes& p : parts) value.insert(value.end(), p.begin(), p.end());
    Bytes out{tag};
    if (value.size() < 0x80) {
        out.push_back(static_cast<uint8_t>(value.size()));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<uint8_t>(value.size() >> 8));
        out.push_back(static_cast<uint8_t>(value.size()));
    }
    out.insert(out.end(), value.begin(), value.end());
    return out;
}
Bytes Seq(std::initializer_list<Bytes> parts) { return Tlv(0x30, parts); }
Bytes Set(std::initializer_list<Bytes> parts) { return Tlv(0x31, parts); }
Bytes Ctx0(std::initializer_list<Bytes> parts) { return Tlv(0xA0, parts); }
Bytes Octets(size_t n, uint8_t fill) { return Tlv(0x04, {Bytes(n, fill)}); }
Bytes Oid(Bytes encoded) { return Tlv(0x06, {encoded}); }
const Bytes kNull = {0x05, 0x00};
const Bytes kOne = {0x02, 0x01, 0x01};
const Bytes kSha256 = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
const Bytes kSha1 = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
const Bytes kMd5 = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05};
const Bytes kMessageDigest = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};
const Bytes kContentType = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x03};
const Bytes kSipInfo = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x1E};
const Bytes kIndirect = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
const Bytes kSignedData = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};

struct SignatureParts {
    Bytes fileAlgorithm = kSha256;
    size_t fileDigestSize = 32;
    Bytes signerAlgorithm = kSha1;
    int messageDigests = 1;
};

Bytes IndirectData(const SignatureParts& p) {
    return Seq({Seq({Oid(kSipInfo), Seq({})}), Seq({Seq({Oid(p.fileAlgorithm), kNull}), Octets(p.fileDigestSize, 0xAB)})});
}

Bytes Signature(const SignatureParts& p) {
    Bytes attributes = Seq({Oid(kContentType), Set({Oid(kIndirect)})});
    for (int i = 0; i < p.messageDigests; ++i) {
        const Bytes md = Seq({Oid(kMessageDigest), Set({Octets(20, 0xCD)})});
        attributes.insert(attributes.end(), md.begin(), md.end());
    }
    const Bytes signer = Seq({kOne, Seq({Seq({}), kOne}), Seq({Oid(p.signerAlgorithm), kNull}),
                              Tlv(0xA0, {attributes}), Seq({}), Octets(16, 0x11)});
    const Bytes certificates = Ctx0({Seq({Octets(40, 0x22)})});
    return Seq({Oid(kSignedData),
                Ctx0({Seq({kOne, Set({Seq({Oid(kSha256), kNull})}),
                           Seq({Oid(kIndirect), Ctx0({IndirectData(p)})}), certificates, Set({signer})})})});
}

TEST(SignedDigests, ReadsTheFileDigestAndTheSignedMessageDigest) {
    SignatureParts parts;
    Bytes signature = Signature(parts);
    signature.resize(signature.size() + 5, 0);  // the padding of a certificate entry
    std::string why;
    const auto digests = ParseSignedDigests(signature.data(), signature.size(), &why);
    ASSERT_TRUE(digests) << why;
    EXPECT_EQ(digests->subject, SignedSubject::MsiPackage);
    EXPECT_EQ(digests->fileAlgorithm, DigestAlgorithm::Sha256);
    EXPECT_EQ(digests->fileDigest, Bytes(32, 0xAB));
    EXPECT_EQ(digests->signerAlgorithm, DigestAlgorithm::Sha1);
    EXPECT_EQ(digests->messageDigest, Bytes(20, 0xCD));
    // The message digest covers the indirect data without its tag and length.
    const Bytes indirect = IndirectData(parts);
    EXPECT_EQ(digests->signedContent, Bytes(indirect.begin() + 2, indirect.end()));
}

TEST(SignedDigests, RefusesWeakAlgorithmsAmbiguityAndDamage) {
    std::string why;
    auto refused = [&why](const Bytes& s) { return !ParseSignedDigests(s.data(), s.size(), &why); };
    SignatureParts md5;
    md5.fileAlgorithm = kMd5;
    md5.fileDigestSize = 16;
    EXPECT_TRUE(refused(Signature(md5)));
    SignatureParts shortDigest;
    shortDigest.fileDigestSize = 20;
    EXPECT_TRUE(refused(Signature(shortDigest)));
    SignatureParts twoDigests;
    twoDigests.messageDigests = 2;
    EXPECT_TRUE(refused(Signature(twoDigests)));
    SignatureParts noDigest;
    noDigest.messageDigests = 0;
    EXPECT_TRUE(refused(Signature(noDigest)));

    const Bytes good = Signature(SignatureParts());
    Bytes trailing = good;
    trailing.push_back(0x01);
    EXPECT_TRUE(refused(trailing));
    for (size_t cut : {size_t(1), size_t(20), good.size() - 1})
        EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + static_cast<long>(cut)))) << cut;
    Bytes longLength = good;
    longLength[1] = 0x85;  // a five-byte length
    EXPECT_TRUE(refused(longLength));
}

}  // namespace
}  // namespace dlmgr
