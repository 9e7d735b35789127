#include "inventory/content_lock.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/log.h"

namespace inventory {
namespace {

std::atomic<bool> abandoned{false};

struct Held {
    const ContentLock* lock;
    bool exclusive;
};
// The locks this thread holds, innermost last.
thread_local std::vector<Held> heldHere;

const Held* FindHeld(const ContentLock* lock) {
    for (const Held& h : heldHere)
        if (h.lock == lock) return &h;
    return nullptr;
}

}  // namespace

void ContentLock::AbandonAll() { abandoned = true; }

ContentLock::Hold::Hold(const ContentLock* lock, bool exclusive) {
    if (!lock || abandoned) return;
    if (const Held* held = FindHeld(lock)) {
        if (exclusive && !held->exclusive)
            vnlog::Write("*** Warning, an item lock held for reading was asked for writing: passed through");
        return;
    }
    heldHere.reserve(heldHere.size() + 1);  // no allocation to fail once the lock is taken
    if (exclusive) {
        ++lock->writersWaiting_;
        lock->mutex_.lock();
        --lock->writersWaiting_;
    } else {
        lock->mutex_.lock_shared();
    }
    heldHere.push_back(Held{lock, exclusive});
    taken_ = lock;
    exclusive_ = exclusive;
}

ContentLock::Hold::~Hold() {
    if (!taken_) return;
    const auto it =
        std::find_if(heldHere.rbegin(), heldHere.rend(), [this](const Held& h) { return h.lock == taken_; });
    if (it != heldHere.rend()) heldHere.erase(std::next(it).base());
    if (abandoned) return;  // the thread that would wait is gone, and so is the process soon
    if (exclusive_) taken_->mutex_.unlock();
    else taken_->mutex_.unlock_shared();
}

}  // namespace inventory
