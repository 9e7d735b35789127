// The signature of a downloaded update is outside data: the PE layout reader,
// the certificate-entry reader and the signature parser must never read out
// of bounds, and what they accept must be consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dlmgr/authenticode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    if (const auto digests = dlmgr::ParseSignedDigests(data, size, &why)) {
        if (digests->fileDigest.size() != dlmgr::DigestSize(digests->fileAlgorithm) ||
            digests->messageDigest.size() != dlmgr::DigestSize(digests->signerAlgorithm) ||
            digests->signedContent.size() >= size)
            std::abort();
    }

    // The input as the start of a PE file whose size is the input's plus a
    // tail taken from its first byte.
    const uint64_t fileSize = size + (size > 0 ? data[0] * 64u : 0u);
    if (const auto layout = dlmgr::ReadPeSignatureLayout(data, size, fileSize, &why)) {
        uint64_t last = 0;
        for (const dlmgr::ByteRange& r : layout->hashed) {
            if (r.begin < last || r.end < r.begin) std::abort();
            last = r.end;
        }
        if (last > layout->certificateTable.begin || layout->certificateTable.end != fileSize) std::abort();
    }

    const std::vector<uint8_t> entry(data, data + size);
    if (const auto signature = dlmgr::SignatureOfCertificateEntry(entry, &why)) {
        if (signature->size() + 8 > size) std::abort();
    }
    return 0;
}
