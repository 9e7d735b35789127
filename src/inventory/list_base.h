// The list family that owns the program's items: VN_ListBaseSync (the owned
// entries, a stop event, one worker-thread slot, a scan counter), VN_ListBase
// (clearing, the database file, filling a list control) and
// VN_ListUpdatedBase (lists of VN_UpdatedItem-derived items). The watch list
// and the views' lists derive from these.
//
// Entries are owned through std::unique_ptr and may be null (the files allow
// null references). Items themselves have no lock: a worker thread changes
// them while the user-interface thread reads them, coordinated by the stop
// event and posted messages. The entry container alone is guarded, so that an
// entry appended on one thread cannot move storage out from under a reader on
// another.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "inventory/content_lock.h"
#include "inventory/item_base.h"

class VN_ListBaseSync {
public:
    VN_ListBaseSync() = default;
    // Stops and joins a worker that is still running (its owner should have
    // stopped it first: the worker may use members of derived lists).
    virtual ~VN_ListBaseSync();
    VN_ListBaseSync(const VN_ListBaseSync&) = delete;
    VN_ListBaseSync& operator=(const VN_ListBaseSync&) = delete;

    // ---- stop event (manual reset, initially not set)
    bool SetStop();
    bool ResetStop();
    bool IsStopRequested() const;
    // Waits up to `timeout` for the stop event; true when it is set.
    bool WaitForStop(std::chrono::milliseconds timeout) const;

    // ---- scan counter
    int32_t GetScanCount() const { return scanCount_.load(); }
    int32_t IncrementScanCount() { return ++scanCount_; }

    // ---- worker thread slot
    bool IsAbortRequested() const { return abort_.load(); }
    void SetAbort(bool abort) { abort_ = abort; }
    // Starts `body` on a new thread. False when the slot still holds a thread
    // that has not finished (StopThread must succeed first). An exception
    // leaving `body` is logged and ends the thread.
    bool BeginThread(std::function<void()> body);
    bool IsThreadRunning() const;
    // Returns when the worker has finished (checking every 300 ms).
    void WaitThread();
    // The same for at most `limit`: true when no worker runs by then.
    bool WaitThreadFor(std::chrono::milliseconds limit);
    // With the worker still running, asks it to abort and returns false (try
    // again later); otherwise empties the slot, clears the abort flag and
    // returns true.
    bool StopThread();

    // Deletes every item whose scanStamp differs from the scan counter.
    void RemoveStaleItems();

    // ---- entries
    size_t GetCount() const;
    bool IsEmpty() const { return GetCount() == 0; }
    // The entry at `index` (null for a null entry or an index past the end).
    VN_ItemGrandBase* GetAt(size_t index) const;
    template <class T>
    T* GetItemAt(size_t index) const {
        return dynamic_cast<T*>(GetAt(index));
    }
    // The entries as they are now, for walking while others may append.
    std::vector<VN_ItemGrandBase*> Snapshot() const;
    VN_ItemGrandBase* AddTail(std::unique_ptr<VN_ItemGrandBase> item);
    // Removes the entry and hands its item to the caller.
    std::unique_ptr<VN_ItemGrandBase> Detach(size_t index);
    // Deletes the non-null entries for which `doomed` answers true and removes
    // them; returns how many. `doomed` runs under the entry lock and must not
    // call back into the list.
    size_t DeleteWhere(const std::function<bool(const VN_ItemGrandBase&)>& doomed);
    // Deletes every item and removes every entry.
    void DeleteAll();
    // The lock over the items' fields: held exclusively by whoever changes
    // or deletes items another thread may be reading, shared by whoever
    // reads them while another thread may change them. Detach, DeleteWhere,
    // DeleteAll and RemoveStaleItems take it themselves.
    const inventory::ContentLock& ItemLock() const { return itemLock_; }
    // Grows with every change to the sequence of entries (an entry added,
    // removed or replaced), so that a list can tell whether what it derived
    // from its entries (an index, say) still describes them.
    uint64_t StructureVersion() const { return structureVersion_.load(); }

protected:
    // Derived lists that change `items_` directly call this afterwards.
    void NoteStructureChange() { ++structureVersion_; }

    // Derived lists may use the container directly: take `itemsMutex_`
    // exclusively for changes to the sequence, shared for walks on a thread
    // that does not change it.
    mutable std::shared_mutex itemsMutex_;
    std::vector<std::unique_ptr<VN_ItemGrandBase>> items_;

private:
    struct ThreadState {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
    };

    inventory::ContentLock itemLock_;
    mutable std::mutex stopMutex_;
    mutable std::condition_variable stopChanged_;
    bool stop_ = false;
    std::atomic<int32_t> scanCount_{0};
    std::atomic<uint64_t> structureVersion_{0};
    std::atomic<bool> abort_{false};
    mutable std::mutex threadMutex_;
    std::thread thread_;
    std::shared_ptr<ThreadState> threadState_;
};

// What FillListControl needs of a report-style list control. The views attach
// an adapter over their control; tests attach a recorder.
class IListControl {
public:
    virtual ~IListControl() = default;
    // Stop and restart redrawing while many rows change.
    virtual void LockUpdates() = 0;
    virtual void UnlockUpdates() = 0;
    // Inserts a row at `row` with `text` in its first column and `item` as its
    // data; answers the index of the new row, or -1.
    virtual int InsertRow(int row, const std::string& text, VN_ItemGrandBase* item) = 0;
    virtual void SetCellText(int row, int column, const std::string& text) = 0;
};

class VN_ListBase : public VN_ListBaseSync {
public:
    // `databasePath`: the list's file (data folder + file name); empty for a
    // list kept in memory only.
    explicit VN_ListBase(std::string databasePath = std::string()) : databasePath_(std::move(databasePath)) {}

    // Deletes every item, then removes every entry. Never throws.
    virtual void Clear();

    // LoadFile/SaveFile of the database path; false when there is none.
    bool Load();
    bool Save();
    // Appends the list stored in the file. A file that cannot be opened (or
    // does not exist) changes nothing and succeeds. A damaged or foreign file,
    // or one that opens but fails to read, clears the list, logs "*** Warning,
    // exceptions from VN_ListBase::LoadFile" and fails.
    bool LoadFile(const std::string& path);
    // Writes the list to a temporary file in the same folder, flushes it and
    // moves it over the old file, so a failure at any point leaves the old
    // file as it was. Answers true, also when the file could not be written
    // (then "*** Warning, exceptions in VN_ListBase::SaveFile" is logged).
    bool SaveFile(const std::string& path);

    // One row per entry that is present (removed == 0), in list order, each
    // with the placeholder texts "vn" and "Testing" and the item as its data;
    // stops early when the abort flag is set. Does nothing without a control.
    void FillListControl();

    void AttachListControl(IListControl* control) { listControl_ = control; }
    IListControl* GetListControl() const { return listControl_; }
    const std::string& GetDatabasePath() const { return databasePath_; }
    void SetDatabasePath(std::string path) { databasePath_ = std::move(path); }

protected:
    // Whether an item read from a file belongs in this list. A file holding
    // any other kind of item fails the load like a damaged one, so a list
    // never holds items its code does not expect. The base accepts any item.
    virtual bool AcceptsItem(const VN_ItemGrandBase& item) const;

private:
    IListControl* listControl_ = nullptr;  // not owned
    std::string databasePath_;
    std::atomic<size_t> lastImageSize_{0};  // reserved for the next save
};

// The base of lists whose items are VN_UpdatedItem-derived (watch list, drivers).
class VN_ListUpdatedBase : public VN_ListBase {
public:
    using VN_ListBase::VN_ListBase;

protected:
    bool AcceptsItem(const VN_ItemGrandBase& item) const override;
};
