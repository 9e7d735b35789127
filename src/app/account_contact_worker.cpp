#include "app/account_contact_worker.h"

#include <process.h>

#include <memory>
#include <string>

#include "appcore/commands.h"
#include "engine/account_contact.h"
#include "platform/log.h"
#include "platform/post_safe.h"
#include "service/varnel_server.h"

namespace app {
namespace {

struct ContactContext {
    HWND progressWindow;
    int64_t nextScheduledScan;
};

engine::AccountOutcome GuardedContact(const ContactContext& context) {
    platform::UniqueHandle semaphore(CreateSemaphoreA(nullptr, 1, 1, kAccountContactSemaphore));
    if (!semaphore || WaitForSingleObject(semaphore.get(), INFINITE) != WAIT_OBJECT_0) {
        vnlog::Write("*** Error: the account contact could not take its semaphore, error " +
                     std::to_string(GetLastError()));
        engine::AccountOutcome aborted;
        aborted.result = engine::kAccountAborted;
        return aborted;
    }
    vnxml::CVarnelServer server;
    engine::AccountOutcome outcome = engine::ContactServer(server, context.progressWindow, context.nextScheduledScan);
    ReleaseSemaphore(semaphore.get(), 1, nullptr);
    return outcome;
}

unsigned __stdcall ContactThread(void* raw) {
    const std::unique_ptr<ContactContext> context(static_cast<ContactContext*>(raw));
    vnlog::Write("Account contact started");
    const engine::AccountOutcome outcome = GuardedContact(*context);
    vnlog::Write("Account contact ended: " + std::to_string(outcome.result));
    const std::string text = appcore::AccountContactText(outcome.result, outcome.accountError, outcome.confirmAddress);
    if (!text.empty()) platform::PostSafeMessage(text);
    return 0;
}

}  // namespace

platform::UniqueHandle StartAccountContact(HWND progressWindow, int64_t nextScheduledScan) {
    auto* context = new ContactContext{progressWindow, nextScheduledScan};
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, ContactThread, context, 0, &id);
    if (!handle) {
        delete context;
        vnlog::Write("*** Error: the account contact's thread could not be created");
        return platform::UniqueHandle();
    }
    return platform::UniqueHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace app
