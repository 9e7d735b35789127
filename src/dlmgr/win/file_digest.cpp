#include "dlmgr/win/file_digest.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "dlmgr/authenticode.h"
#include "platform/win/com.h"
#include "platform/win/crypt_handles.h"
#include "platform/win/handles.h"

namespace dlmgr {
namespace {

// A signature larger than this is not an agent installer's.
constexpr uint64_t kMaxSignatureBytes = 1u << 20;
constexpr size_t kChunk = 64 * 1024;

bool Fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

class Hasher {
public:
    bool Start(DigestAlgorithm algorithm) {
        ALG_ID id = CALG_SHA_256;
        switch (algorithm) {
            case DigestAlgorithm::Sha1: id = CALG_SHA1; break;
            case DigestAlgorithm::Sha256: id = CALG_SHA_256; break;
            case DigestAlgorithm::Sha384: id = CALG_SHA_384; break;
            case DigestAlgorithm::Sha512: id = CALG_SHA_512; break;
        }
        return CryptAcquireContextW(prov_.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
               CryptCreateHash(prov_.get(), id, 0, 0, hash_.put());
    }
    bool Add(const void* data, size_t size) {
        const BYTE* p = static_cast<const BYTE*>(data);
        while (size > 0) {
            const DWORD n = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            if (!CryptHashData(hash_.get(), p, n, 0)) return false;
            p += n;
            size -= n;
        }
        return true;
    }
    std::vector<uint8_t> Finish() {
        DWORD size = 0, sizeBytes = sizeof size;
        if (!CryptGetHashParam(hash_.get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &sizeBytes, 0)) return {};
        std::vector<uint8_t> digest(size);
        if (!CryptGetHashParam(hash_.get(), HP_HASHVAL, digest.data(), &size, 0)) return {};
        digest.resize(size);
        return digest;
    }

private:
    platform::UniqueCryptProv prov_;
    platform::UniqueCryptHash hash_;
};

std::vector<uint8_t> HashOf(DigestAlgorithm algorithm, const std::vector<uint8_t>& bytes) {
    Hasher h;
    if (!h.Start(algorithm) || !h.Add(bytes.data(), bytes.size())) return {};
    return h.Finish();
}

bool ReadAt(HANDLE file, uint64_t offset, void* buffer, size_t size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
    BYTE* p = static_cast<BYTE*>(buffer);
    while (size > 0) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(size, kChunk));
        if (!ReadFile(file, p, want, &got, nullptr) || got == 0) return false;
        p += got;
        size -= got;
    }
    return true;
}

// ---------------------------------------------------------------- PE files

// Reads the signature of a PE file and hashes the image as it describes.
class PeFile {
public:
    bool Open(const std::wstring& path, std::string* why) {
        file_.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER size;
        if (!file_ || !GetFileSizeEx(file_.get(), &size)) return Fail(why, "the file cannot be read");
        size_ = static_cast<uint64_t>(size.QuadPart);
        std::vector<uint8_t> header(static_cast<size_t>(std::min<uint64_t>(size_, kChunk)));
        if (!ReadAt(file_.get(), 0, header.data(), header.size())) return Fail(why, "the file cannot be read");
        auto layout = ReadPeSignatureLayout(header.data(), header.size(), size_, why);
        if (!layout) return false;
        layout_ = *layout;
        return true;
    }
    bool Signature(std::vector<uint8_t>& out, std::string* why) {
        const ByteRange table = layout_.certificateTable;
        if (table.end - table.begin > kMaxSignatureBytes) return Fail(why, "the signature is too large");
        std::vector<uint8_t> entry(static_cast<size_t>(table.end - table.begin));
        if (!ReadAt(file_.get(), table.begin, entry.data(), entry.size())) return Fail(why, "the file cannot be read");
        auto signature = SignatureOfCertificateEntry(entry, why);
        if (!signature) return false;
        out = std::move(*signature);
        return true;
    }
    std::vector<uint8_t> Digest(DigestAlgorithm algorithm) {
        Hasher h;
        if (!h.Start(algorithm)) return {};
        std::vector<uint8_t> buffer(kChunk);
        for (const ByteRange& r : layout_.hashed) {
            for (uint64_t at = r.begin; at < r.end;) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(r.end - at, kChunk));
                if (!ReadAt(file_.get(), at, buffer.data(), n) || !h.Add(buffer.data(), n)) return {};
                at += n;
            }
        }
        return h.Finish();
    }

private:
    platform::UniqueFile file_;
    uint64_t size_ = 0;
    PeSignatureLayout layout_;
};

// ---------------------------------------------------------------- MSI packages

// One element of a storage, its name freed with the element.
struct Element {
    std::u16string name;
    DWORD type = 0;
};

bool ElementsOf(IStorage* storage, std::vector<Element>& out) {
    platform::ComPtr<IEnumSTATSTG> items;
    if (FAILED(storage->EnumElements(0, nullptr, 0, &items))) return false;
    STATSTG stat;
    ULONG got = 0;
    while (items->Next(1, &stat, &got) == S_OK && got == 1) {
        Element e;
        if (stat.pwcsName) {
            e.name.assign(reinterpret_cast<const char16_t*>(stat.pwcsName));
            CoTaskMemFree(stat.pwcsName);
        }
        e.type = stat.type;
        out.push_back(std::move(e));
    }
    std::sort(out.begin(), out.end(),
              [](const Element& a, const Element& b) { return MsiHashOrderLess(a.name, b.name); });
    return true;
}

bool ReadStream(IStorage* storage, const std::u16string& name, const std::function<bool(const BYTE*, ULONG)>& sink) {
    platform::ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(reinterpret_cast<const wchar_t*>(name.c_str()), nullptr,
                                   STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream)))
        return false;
    std::vector<BYTE> buffer(kChunk);
    for (;;) {
        ULONG got = 0;
        const HRESULT hr = stream->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &got);
        if (FAILED(hr)) return false;
        if (got == 0) return true;
        if (!sink(buffer.data(), got)) return false;
    }
}

// Hashes a storage's streams and sub-storages in hash order, then its class id.
bool HashStorage(IStorage* storage, Hasher& h, bool root, int depth) {
    if (depth > 32) return false;
    std::vector<Element> elements;
    if (!ElementsOf(storage, elements)) return false;
    for (const Element& e : elements) {
        if (root && (e.name == kMsiSignatureStream || e.name == kMsiSignatureExStream)) continue;
        if (e.type == STGTY_STREAM) {
            if (!ReadStream(storage, e.name, [&](const BYTE* p, ULONG n) { return h.Add(p, n); })) return false;
        } else if (e.type == STGTY_STORAGE) {
            platform::ComPtr<IStorage> child;
            if (FAILED(storage->OpenStorage(reinterpret_cast<const wchar_t*>(e.name.c_str()), nullptr,
                                            STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &child)) ||
                !HashStorage(child.Get(), h, false, depth + 1))
                return false;
        }
    }
    STATSTG stat;
    if (FAILED(storage->Stat(&stat, STATFLAG_NONAME))) return false;
    return h.Add(&stat.clsid, sizeof stat.clsid);
}

class MsiFile {
public:
    bool Open(const std::wstring& path, std::string* why) {
        if (FAILED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, &root_)))
            return Fail(why, "the package cannot be opened");
        std::vector<Element> elements;
        if (!ElementsOf(root_.Get(), elements)) return Fail(why, "the package cannot be read");
        for (const Element& e : elements)
            if (e.name == kMsiSignatureExStream) return Fail(why, "the package carries a pre-computed digest");
        return true;
    }
    bool Signature(std::vector<uint8_t>& out, std::string* why) {
        out.clear();
        const bool read = ReadStream(root_.Get(), kMsiSignatureStream, [&](const BYTE* p, ULONG n) {
            if (out.size() + n > kMaxSignatureBytes) return false;
            out.insert(out.end(), p, p + n);
            return true;
        });
        return read || Fail(why, "the package is not signed");
    }
    std::vector<uint8_t> Digest(DigestAlgorithm algorithm) {
        Hasher h;
        if (!h.Start(algorithm) || !HashStorage(root_.Get(), h, true, 0)) return {};
        return h.Finish();
    }

private:
    platform::ComPtr<IStorage> root_;
};

template <typename File>
bool Compare(File& file, SignedSubject expected, std::string* why) {
    std::vector<uint8_t> signature;
    if (!file.Signature(signature, why)) return false;
    auto digests = ParseSignedDigests(signature.data(), signature.size(), why);
    if (!digests) return false;
    if (digests->subject != expected) return Fail(why, "the signature is for another kind of file");
    const std::vector<uint8_t> content = HashOf(digests->signerAlgorithm, digests->signedContent);
    if (content.empty()) return Fail(why, "the signed content cannot be hashed");
    if (content != digests->messageDigest) return Fail(why, "the signed digest does not match the signature");
    const std::vector<uint8_t> digest = file.Digest(digests->fileAlgorithm);
    if (digest.empty()) return Fail(why, "the file cannot be hashed");
    if (digest != digests->fileDigest) return Fail(why, "the file has changed since it was signed");
    return true;
}

}  // namespace

bool SignedDigestMatches(const std::wstring& path, std::string* why) {
    uint8_t magic[8] = {};
    {
        platform::UniqueFile file(
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        DWORD got = 0;
        if (!file || !ReadFile(file.get(), magic, sizeof magic, &got, nullptr)) return Fail(why, "the file cannot be read");
    }
    static const uint8_t kCompoundFile[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (std::memcmp(magic, kCompoundFile, sizeof magic) == 0) {
        platform::ComInit com;
        MsiFile msi;
        return msi.Open(path, why) && Compare(msi, SignedSubject::MsiPackage, why);
    }
    if (magic[0] == 'M' && magic[1] == 'Z') {
        PeFile pe;
        return pe.Open(path, why) && Compare(pe, SignedSubject::PeImage, why);
    }
    return Fail(why, "the file is neither a program nor an installer package");
}

}  // namespace dlmgr
