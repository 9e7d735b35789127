#include "dlmgr/win/trust_check.h"

#include <new>
#include <vector>

#include "dlmgr/win/file_digest.h"
#include "platform/event_log.h"
#include "platform/text.h"
#include "platform/win/crypt_handles.h"
#include "platform/win/wide.h"

#include <softpub.h>
#include <wintrust.h>

namespace dlmgr {
namespace {

void ReportError(const std::string& text) { platform::EventLog().Report(platform::EventKind::Error, text); }

// The system's text for an error or result code, without the trailing line break.
std::string SystemText(DWORD code) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n && buffer ? std::string(buffer, n) : std::string();
    if (buffer) LocalFree(buffer);
    return textutil::TrimRight(text);
}

// Closes the verification state that WTD_STATEACTION_VERIFY kept open.
class TrustState {
public:
    TrustState(GUID action, WINTRUST_DATA& data) : action_(action), data_(data) {}
    ~TrustState() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    TrustState(const TrustState&) = delete;
    TrustState& operator=(const TrustState&) = delete;

private:
    GUID action_;
    WINTRUST_DATA& data_;
};

// The trust status of the first signer's certificate chain, as a result code.
LONG ChainResult(HANDLE state) {
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(state);
    CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (!signer || !signer->pChainContext) return CERT_E_CHAINING;
    // Revocation is not checked (WTD_REVOKE_NONE), so its status may be unknown.
    const DWORD status = signer->pChainContext->TrustStatus.dwErrorStatus &
                         ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
    if (status == 0) return 0;
    if (status & CERT_TRUST_IS_REVOKED) return CERT_E_REVOKED;
    if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return TRUST_E_CERT_SIGNATURE;
    if (status & CERT_TRUST_IS_NOT_TIME_VALID) return CERT_E_EXPIRED;
    if (status & CERT_TRUST_IS_UNTRUSTED_ROOT) return CERT_E_UNTRUSTEDROOT;
    if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return CERT_E_WRONG_USAGE;
    return CERT_E_CHAINING;
}

bool VerifyTrustOf(const std::string& path) {
    const std::wstring wide = platform::Widen(path);
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = wide.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_SAFER_FLAG | WTD_LIFETIME_SIGNING_FLAG;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;

    LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    TrustState state(action, data);
    std::string reason;
    if (result == 0) result = ChainResult(data.hWVTStateData);
    if (result == 0 && !SignedDigestMatches(wide, &reason)) result = TRUST_E_BAD_DIGEST;
    if (result == 0) return true;

    std::string text = SystemText(static_cast<DWORD>(result));
    if (!reason.empty()) text = text.empty() ? reason : text + " (" + reason + ")";
    ReportError(textutil::Format("Error verifying trust\nError code: %lx\nError text: %s\nDownload: %s",
                                 static_cast<unsigned long>(result), text.c_str(), path.c_str()));
    return false;
}

bool ReportFailedCall(const char* function) {
    const DWORD error = GetLastError();
    ReportError(textutil::Format("%s failed\n%s", function, SystemText(error).c_str()));
    return false;
}

bool VerifySignerOf(const std::string& path, std::string_view publisher) {
    const std::wstring wide = platform::Widen(path);
    platform::UniqueCertStore store;
    platform::UniqueCryptMsg message;
    DWORD encoding = 0, contentType = 0, formatType = 0;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, wide.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, store.put(),
                          message.put(), nullptr))
        return ReportFailedCall("CryptQueryObject");

    DWORD size = 0;
    if (!CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size))
        return ReportFailedCall("CryptMsgGetParam");
    std::vector<BYTE> block;
    try {
        block.assign(size, 0);
    } catch (const std::bad_alloc&) {
        ReportError("Unable to allocate memory for Signer Info");
        return false;
    }
    if (!CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, block.data(), &size))
        return ReportFailedCall("CryptMsgGetParam");
    const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(block.data());

    CERT_INFO wanted = {};
    wanted.Issuer = signer->Issuer;
    wanted.SerialNumber = signer->SerialNumber;
    platform::UniqueCertContext certificate(CertFindCertificateInStore(
        store.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
    if (!certificate) return ReportFailedCall("CertFindCertificateInStore");

    const DWORD length = CertGetNameStringA(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    std::string name(length, '\0');
    if (length <= 1 ||
        CertGetNameStringA(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), length) <= 1)
        return ReportFailedCall("CertGetNameString");
    name.resize(length - 1);
    // The whole name: "Not Harbinel Ltd" is not the maker.
    if (name == publisher) return true;
    ReportError(textutil::Format("Unexpected signer\nSigner: %s\nDownload: %s", name.c_str(), path.c_str()));
    return false;
}

}  // namespace

bool VerifyTrust(const std::string& path) {
    try {
        return VerifyTrustOf(path);
    } catch (...) {
        ReportError(textutil::Format("Exception Verifying Trust for %s", path.c_str()));
        return false;
    }
}

bool VerifySigner(const std::string& path, std::string_view publisher) {
    try {
        return VerifySignerOf(path, publisher);
    } catch (...) {
        ReportError(textutil::Format("Exception Calculating certificate signature for %s", path.c_str()));
        return false;
    }
}

}  // namespace dlmgr
