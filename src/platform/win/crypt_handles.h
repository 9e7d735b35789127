// Owners of CryptoAPI handles (certificate stores, messages and contexts,
// providers and hashes): each is released once, on every path (see
// platform/win/handles.h).
#pragma once

#include "platform/win/handles.h"
#include "platform/win/win.h"

#include <wincrypt.h>

namespace platform {

struct CertStoreTraits {
    using Type = HCERTSTORE;
    static HCERTSTORE Invalid() { return nullptr; }
    static void Close(HCERTSTORE h) { ::CertCloseStore(h, 0); }
};
struct CryptMsgTraits {
    using Type = HCRYPTMSG;
    static HCRYPTMSG Invalid() { return nullptr; }
    static void Close(HCRYPTMSG h) { ::CryptMsgClose(h); }
};
struct CertContextTraits {
    using Type = PCCERT_CONTEXT;
    static PCCERT_CONTEXT Invalid() { return nullptr; }
    static void Close(PCCERT_CONTEXT h) { ::CertFreeCertificateContext(h); }
};
struct CryptProvTraits {
    using Type = HCRYPTPROV;
    static HCRYPTPROV Invalid() { return 0; }
    static void Close(HCRYPTPROV h) { ::CryptReleaseContext(h, 0); }
};
struct CryptHashTraits {
    using Type = HCRYPTHASH;
    static HCRYPTHASH Invalid() { return 0; }
    static void Close(HCRYPTHASH h) { ::CryptDestroyHash(h); }
};

using UniqueCertStore = UniqueHandleT<CertStoreTraits>;
using UniqueCryptMsg = UniqueHandleT<CryptMsgTraits>;
using UniqueCertContext = UniqueHandleT<CertContextTraits>;
using UniqueCryptProv = UniqueHandleT<CryptProvTraits>;
using UniqueCryptHash = UniqueHandleT<CryptHashTraits>;

}  // namespace platform
