// The lock over the fields of a list's items. A scan worker changes items
// (merges what it found, applies the service's reply, deletes what is gone)
// while the window draws them and acts on them; a std::string read while
// another thread assigns it can read freed memory, and an item deleted
// between a reader's check and its use is freed memory outright. So whoever
// changes items that another thread may be reading, or deletes them, holds
// the list's lock exclusively; whoever reads them on one thread while another
// may change them holds it shared. New items that no other thread knows yet
// need no lock.
//
// Holds are short and never span a sent window message, a dialog or a wait
// for another thread: the window must not wait behind a worker that waits
// for the window. A thread that holds the lock already passes through (so
// list functions that lock may be called under a caller's hold); a shared
// holder cannot take it exclusively, which is logged and passed through
// rather than deadlocked. Two lists are taken watch list first.
#pragma once

#include <atomic>
#include <shared_mutex>

namespace inventory {

class ContentLock {
public:
    ContentLock() = default;
    ContentLock(const ContentLock&) = delete;
    ContentLock& operator=(const ContentLock&) = delete;

    // After a thread that might hold an item lock was ended by force (at
    // exit), no item lock waits any more: the process is ending and must not
    // hang on one. (Other locks that thread held are not helped by this.)
    static void AbandonAll();

    // Whether a thread waits to take the lock for writing: a reader that
    // keeps a hold across many items lets it go in between.
    bool WriterWaiting() const { return writersWaiting_.load(std::memory_order_relaxed) != 0; }

    class Hold {
    public:
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold();

    protected:
        Hold(const ContentLock* lock, bool exclusive);

    private:
        const ContentLock* taken_ = nullptr;  // null: passed through
        bool exclusive_ = false;
    };
    // For changing items or deleting them.
    class Write : public Hold {
    public:
        explicit Write(const ContentLock& lock) : Hold(&lock, true) {}
        explicit Write(const ContentLock* lock) : Hold(lock, true) {}  // null: no list, no lock
    };
    // For reading items that another thread may be changing.
    class Read : public Hold {
    public:
        explicit Read(const ContentLock& lock) : Hold(&lock, false) {}
        explicit Read(const ContentLock* lock) : Hold(lock, false) {}
    };

private:
    mutable std::shared_mutex mutex_;
    mutable std::atomic<int> writersWaiting_{0};
};

}  // namespace inventory
