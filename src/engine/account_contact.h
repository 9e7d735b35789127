// The account contact: the computer registers itself again with the update
// service (after the user changes the check frequency). One authentication
// exchange in the pre-scan mode, over no lists; what the service returns is
// kept: its machine identity as "Machine ID" and its scan identity as
// "Scan ID". The caller runs it on a worker thread, one contact at a time
// (app/account_contact_worker.h), and reports the outcome's text
// (appcore::AccountContactText).
#pragma once

#include <cstdint>
#include <string>

#include "platform/notifier.h"

namespace vnxml {
class CVarnelServer;
class CXMLStatus;
class CXMLAuthentication;
}  // namespace vnxml

namespace engine {

// Result codes of a contact (the texts are appcore::AccountResultText's).
inline constexpr int kAccountAccepted = 0;
inline constexpr int kAccountAborted = 1;     // an exception ended it
inline constexpr int kAccountRefused = 2;     // the service answered with a refusal
inline constexpr int kAccountNotReached = 3;  // no reply (the transport posted its failure)

struct AccountOutcome {
    int result = kAccountAccepted;
    // The refusal's text: the reply's "login-error", or its "message" when
    // that is empty.
    std::string accountError;
    // Set when the refusal says the account is not confirmed: the address
    // the service sent ("login-email-error") for the instructions.
    std::string confirmAddress;
    // What the service returned, to be stored (empty: keep the stored value).
    std::string machineId;
    std::string scanId;
};

// What an exchange's answer means. `sent` is the transport's answer; a reply
// is read only when it is true. The machine identity is the status's
// "set-machine-id", or else the reply's authentication record's machine id
// when it differs from the one sent.
AccountOutcome JudgeAccountReply(bool sent, const vnxml::CXMLStatus& status,
                                 const vnxml::CXMLAuthentication& sentAuthentication,
                                 const vnxml::CXMLAuthentication& replyAuthentication);

// The whole contact: the exchange through `server` (with the machine's name
// and identity from the settings, the settings' check interval and
// `nextScheduledScan`), then the returned identities are stored. Never
// throws: any exception ends it with kAccountAborted, one that is not a
// CVnException also logged as "*** Caught all in RegPro ContactServer!".
AccountOutcome ContactServer(vnxml::CVarnelServer& server, platform::WindowHandle progressWindow,
                             int64_t nextScheduledScan);

}  // namespace engine
