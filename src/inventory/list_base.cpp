#include "inventory/list_base.h"

#include <exception>

#include "inventory/archive.h"
#include "inventory/database.h"
#include "inventory/guid_item.h"
#include "platform/files.h"
#include "platform/log.h"

// ---------------------------------------------------------- VN_ListBaseSync

VN_ListBaseSync::~VN_ListBaseSync() {
    // The worker is joined without holding the slot's lock: it may still ask
    // the slot about itself (IsThreadRunning, StopThread) before it ends. Should
    // it start another worker meanwhile, that one is joined too.
    for (;;) {
        std::thread worker;
        {
            std::lock_guard<std::mutex> lock(threadMutex_);
            if (!thread_.joinable()) break;
            worker = std::move(thread_);
        }
        SetStop();
        abort_ = true;
        worker.join();
    }
}

bool VN_ListBaseSync::SetStop() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stop_ = true;
    }
    stopChanged_.notify_all();
    return true;
}

bool VN_ListBaseSync::ResetStop() {
    std::lock_guard<std::mutex> lock(stopMutex_);
    stop_ = false;
    return true;
}

bool VN_ListBaseSync::IsStopRequested() const {
    std::lock_guard<std::mutex> lock(stopMutex_);
    return stop_;
}

bool VN_ListBaseSync::WaitForStop(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(stopMutex_);
    return stopChanged_.wait_for(lock, timeout, [this] { return stop_; });
}

bool VN_ListBaseSync::BeginThread(std::function<void()> body) {
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> stateLock(threadState_->mutex);
            if (!threadState_->done) return false;
        }
        // The finished worker is cleaned up here as StopThread would: an
        // abort asked of it must not carry over to the new one.
        thread_.join();
        abort_ = false;
    }
    auto state = std::make_shared<ThreadState>();
    threadState_ = state;
    thread_ = std::thread([state, body = std::move(body)] {
        try {
            body();
        } catch (const std::exception&) {
            vnlog::Warning("VN_ListBaseSync::ThreadProc");
        } catch (...) {
            vnlog::Warning("VN_ListBaseSync::ThreadProc", true);
        }
        {
            std::lock_guard<std::mutex> stateLock(state->mutex);
            state->done = true;
        }
        state->finished.notify_all();
    });
    return true;
}

bool VN_ListBaseSync::IsThreadRunning() const {
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (!threadState_) return false;
    std::lock_guard<std::mutex> stateLock(threadState_->mutex);
    return !threadState_->done;
}

void VN_ListBaseSync::WaitThread() {
    std::shared_ptr<ThreadState> state;
    {
        std::lock_guard<std::mutex> lock(threadMutex_);
        state = threadState_;
    }
    if (!state) return;
    std::unique_lock<std::mutex> stateLock(state->mutex);
    while (!state->done) state->finished.wait_for(stateLock, std::chrono::milliseconds(300));
}

bool VN_ListBaseSync::WaitThreadFor(std::chrono::milliseconds limit) {
    std::shared_ptr<ThreadState> state;
    {
        std::lock_guard<std::mutex> lock(threadMutex_);
        state = threadState_;
    }
    if (!state) return true;
    std::unique_lock<std::mutex> stateLock(state->mutex);
    return state->finished.wait_for(stateLock, limit, [&state] { return state->done; });
}

bool VN_ListBaseSync::StopThread() {
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (threadState_) {
        {
            std::lock_guard<std::mutex> stateLock(threadState_->mutex);
            if (!threadState_->done) {
                abort_ = true;
                return false;
            }
        }
        if (thread_.joinable()) thread_.join();
        threadState_.reset();
    }
    abort_ = false;
    return true;
}

void VN_ListBaseSync::RemoveStaleItems() {
    const int32_t current = GetScanCount();
    DeleteWhere([current](const VN_ItemGrandBase& item) { return item.scanStamp != current; });
}

size_t VN_ListBaseSync::GetCount() const {
    std::shared_lock<std::shared_mutex> lock(itemsMutex_);
    return items_.size();
}

VN_ItemGrandBase* VN_ListBaseSync::GetAt(size_t index) const {
    std::shared_lock<std::shared_mutex> lock(itemsMutex_);
    return index < items_.size() ? items_[index].get() : nullptr;
}

std::vector<VN_ItemGrandBase*> VN_ListBaseSync::Snapshot() const {
    std::shared_lock<std::shared_mutex> lock(itemsMutex_);
    std::vector<VN_ItemGrandBase*> out;
    out.reserve(items_.size());
    for (const auto& item : items_) out.push_back(item.get());
    return out;
}

VN_ItemGrandBase* VN_ListBaseSync::AddTail(std::unique_ptr<VN_ItemGrandBase> item) {
    std::unique_lock<std::shared_mutex> lock(itemsMutex_);
    items_.push_back(std::move(item));
    NoteStructureChange();
    return items_.back().get();
}

std::unique_ptr<VN_ItemGrandBase> VN_ListBaseSync::Detach(size_t index) {
    inventory::ContentLock::Write hold(itemLock_);
    std::unique_lock<std::shared_mutex> lock(itemsMutex_);
    if (index >= items_.size()) return nullptr;
    std::unique_ptr<VN_ItemGrandBase> item = std::move(items_[index]);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    NoteStructureChange();
    return item;
}

size_t VN_ListBaseSync::DeleteWhere(const std::function<bool(const VN_ItemGrandBase&)>& doomed) {
    inventory::ContentLock::Write hold(itemLock_);  // until the items are deleted
    std::vector<std::unique_ptr<VN_ItemGrandBase>> removed;
    {
        std::unique_lock<std::shared_mutex> lock(itemsMutex_);
        auto keep = items_.begin();
        for (auto it = items_.begin(); it != items_.end(); ++it) {
            if (*it && doomed(**it)) {
                removed.push_back(std::move(*it));
            } else {
                if (keep != it) *keep = std::move(*it);
                ++keep;
            }
        }
        items_.erase(keep, items_.end());
        if (!removed.empty()) NoteStructureChange();
    }
    return removed.size();  // the items are deleted here, outside the entry lock
}

void VN_ListBaseSync::DeleteAll() {
    inventory::ContentLock::Write hold(itemLock_);  // until the items are deleted
    std::vector<std::unique_ptr<VN_ItemGrandBase>> removed;
    {
        std::unique_lock<std::shared_mutex> lock(itemsMutex_);
        removed.swap(items_);
        NoteStructureChange();
    }
}

// ---------------------------------------------------------------- VN_ListBase

void VN_ListBase::Clear() {
    try {
        DeleteAll();
    } catch (const std::exception&) {
        vnlog::Warning("VN_ListBase::Clear");
    } catch (...) {
        vnlog::Warning("VN_ListBase::Clear", true);
    }
}

bool VN_ListBase::Load() { return databasePath_.empty() ? false : LoadFile(databasePath_); }

bool VN_ListBase::Save() { return databasePath_.empty() ? false : SaveFile(databasePath_); }

bool VN_ListBase::LoadFile(const std::string& path) {
    std::string data;
    bool readWhole = false;
    try {
        // Saves killed part way leave their temporaries: the next load ends them.
        platform::RemoveStaleSaveTemporaries(path);
        switch (platform::ReadWholeFile(path, data)) {
            case platform::ReadOutcome::kCannotOpen:
                return true;
            case platform::ReadOutcome::kReadFailed:
                // What was read is not the whole list: treated like a damaged file.
                throw inventory::ArchiveError("the file could not be read to its end");
            case platform::ReadOutcome::kRead: readWhole = true; break;
        }
        size_t unread = 0;
        inventory::ItemList loaded = inventory::ParseObjectList(data, &unread);
        for (const auto& item : loaded)
            if (item && !AcceptsItem(*item))
                throw inventory::ArchiveError(std::string("a ") + item->RuntimeClassName() + " does not belong in this list");
        // Loaded all the same, as files of other versions may carry more after
        // the list; but said, as it may as well be what is left of damage.
        if (unread > 0)
            vnlog::WriteRaw("*** Warning, " + std::to_string(unread) + " bytes after the last object of " + path +
                            " ignored in VN_ListBase::LoadFile");
        std::unique_lock<std::shared_mutex> lock(itemsMutex_);
        items_.reserve(items_.size() + loaded.size());
        for (auto& item : loaded) items_.push_back(std::move(item));
        NoteStructureChange();
        return true;
    } catch (const std::exception& e) {
        vnlog::Debug("VN_ListBase::LoadFile: " + path + ": " + e.what() + "\n");
    } catch (...) {
    }
    // The list starts empty and its next save replaces the file: what it held
    // is kept beside it, for whoever wants to look at it or put it back.
    if (readWhole && !data.empty()) {
        const std::string kept = path + ".damaged";
        if (platform::WriteFileAtomically(kept, data)) vnlog::WriteRaw("*** Warning, " + path + " is kept as " + kept);
    }
    Clear();
    vnlog::WriteRaw("*** Warning, exceptions from VN_ListBase::LoadFile");
    return false;
}

bool VN_ListBase::SaveFile(const std::string& path) {
    try {
        std::string image;
        {
            inventory::ContentLock::Read hold(ItemLock());
            std::shared_lock<std::shared_mutex> lock(itemsMutex_);
            image = inventory::SerializeObjectList(items_, lastImageSize_ + lastImageSize_ / 8);
        }
        lastImageSize_ = image.size();
        if (!platform::WriteFileAtomically(path, image)) vnlog::Warning("VN_ListBase::SaveFile");
    } catch (...) {
        vnlog::Warning("VN_ListBase::SaveFile");
    }
    return true;
}

void VN_ListBase::FillListControl() {
    IListControl* control = listControl_;
    if (!control) return;
    struct UpdateLock {
        explicit UpdateLock(IListControl* c) : c_(c) { c_->LockUpdates(); }
        ~UpdateLock() { c_->UnlockUpdates(); }
        IListControl* c_;
    } updateLock(control);
    int row = 0;
    for (VN_ItemGrandBase* item : Snapshot()) {
        if (IsAbortRequested()) break;
        if (!item || item->removed != 0) continue;
        const int index = control->InsertRow(row, "vn", item);
        if (index < 0) continue;  // not inserted: the next item takes its row
        control->SetCellText(index, 1, "Testing");
        ++row;
    }
}

bool VN_ListBase::AcceptsItem(const VN_ItemGrandBase&) const { return true; }

bool VN_ListUpdatedBase::AcceptsItem(const VN_ItemGrandBase& item) const {
    return dynamic_cast<const VN_UpdatedItem*>(&item) != nullptr;
}
