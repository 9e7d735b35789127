#include "engine/account_contact.h"

#include <exception>

#include "engine/schedule_interval.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/vn_exception.h"
#include "service/varnel_server.h"
#include "service/xml_buffer.h"
#include "service/xml_records.h"

namespace engine {

AccountOutcome JudgeAccountReply(bool sent, const vnxml::CXMLStatus& status,
                                 const vnxml::CXMLAuthentication& sentAuthentication,
                                 const vnxml::CXMLAuthentication& replyAuthentication) {
    AccountOutcome outcome;
    if (!sent) {
        outcome.result = kAccountNotReached;
        return outcome;
    }
    if (status.IsSuccess()) {
        if (!status.setMachineId.empty()) outcome.machineId = status.setMachineId;
        else if (!replyAuthentication.machineid.empty() &&
                 replyAuthentication.machineid != sentAuthentication.machineid)
            outcome.machineId = replyAuthentication.machineid;
        outcome.scanId = status.scanid;
        return outcome;
    }
    outcome.result = kAccountRefused;
    outcome.accountError = status.loginError.empty() ? status.message : status.loginError;
    // A refusal without a login error that names a page is the service
    // saying the account waits for its owner's confirmation.
    if (status.loginError.empty() && !status.loginEmailError.empty()) outcome.confirmAddress = status.loginEmailError;
    return outcome;
}

AccountOutcome ContactServer(vnxml::CVarnelServer& server, platform::WindowHandle progressWindow,
                             int64_t nextScheduledScan) {
    try {
        platform::Settings& settings = platform::AppSettings();
        vnxml::CXMLAuthentication authentication;
        authentication.machinename = settings.ReadText(setting::kMachineName);
        authentication.machineid = settings.ReadText(setting::kMachineId);
        const vnxml::CXMLAuthentication sentAuthentication = authentication;
        vnxml::CXMLStatus status;
        vnxml::CVarnelServer::AuthenticationRequest request;
        request.mode = vnxml::kPreScanRequest;
        request.withLists = false;
        request.checkIntervalSeconds = CheckIntervalSeconds(settings);
        request.nextScheduledScan = nextScheduledScan;
        const bool sent = server.SendAuthentication(authentication, status, progressWindow, request);
        AccountOutcome outcome = JudgeAccountReply(sent, status, sentAuthentication, authentication);
        if (!outcome.machineId.empty())
            settings.WriteTextTo(platform::ISettingsStore::Hive::User, setting::kMachineId, outcome.machineId);
        if (!outcome.scanId.empty()) settings.WriteText(setting::kScanId, outcome.scanId);
        return outcome;
    } catch (const CVnException&) {
        // The exception's own constructor has logged it.
    } catch (...) {
        vnlog::WriteRaw("*** Caught all in RegPro ContactServer!");
    }
    AccountOutcome aborted;
    aborted.result = kAccountAborted;
    return aborted;
}

}  // namespace engine
