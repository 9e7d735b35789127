#include "service/reply_parser.h"

#include <climits>

#include "inventory/guid_item.h"
#include "platform/text.h"

using textutil::EqualsNoCase;

namespace vnxml {

namespace {

// The number a Sequence text names when it is an item number written in
// decimal (no sign, no leading zero, no blanks); -1 when it can name no item.
int64_t SequenceNumber(const std::string& text) {
    if (text.empty() || text.size() > 10 || text[0] == '0') return -1;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value <= INT32_MAX ? value : -1;
}

template <class T>
std::unique_ptr<T> As(std::unique_ptr<CXMLObject> record) {
    if (auto* typed = dynamic_cast<T*>(record.get())) {
        record.release();
        return std::unique_ptr<T>(typed);
    }
    return nullptr;
}

}  // namespace

bool CXMLSwParser::IsRecordName(const std::string& name) {
    for (const char* record : {"authentication", "status", "subscription-notification", "button", "update"})
        if (EqualsNoCase(name, record)) return true;
    return false;
}

bool CXMLSwParser::OnStartElement(const std::string& name, const platform::SaxAttributes& attributes) {
    if (EqualsNoCase(name, "winmeridox")) return true;
    // Records do not nest, but for a note's buttons: a record's start tag
    // inside another record is passed over with its end tag, so that a reply
    // of nested start tags cannot open a record (a kilobyte) for each one.
    if (IsRecordName(name) && Innermost() &&
        !(EqualsNoCase(name, "button") && buffer_.insideNote && OpenRecords() == 1)) {
        ++nestedRecords_;
        return true;
    }
    if (EqualsNoCase(name, "authentication")) {
        Open(std::make_unique<CXMLAuthentication>());
    } else if (EqualsNoCase(name, "status")) {
        Open(std::make_unique<CXMLStatus>());
    } else if (EqualsNoCase(name, "subscription-notification")) {
        Open(std::make_unique<CXMLSubscriptionNote>());
        buffer_.insideNote = true;
    } else if (EqualsNoCase(name, "button")) {
        Open(std::make_unique<CXMLSubscriptionButton>());
    } else if (EqualsNoCase(name, "update")) {
        auto update = std::make_unique<CXMLUpdate>();
        for (const platform::SaxAttribute& a : attributes)
            if (EqualsNoCase(a.name, "serverNeedsIcon") && EqualsNoCase(a.value, "true")) update->needsIcon = true;
        Open(std::move(update));
    } else if (CXMLObject* record = Innermost()) {
        record->StartChild(name, attributes);
    }
    return true;
}

bool CXMLSwParser::OnEndElement(const std::string& name) {
    if (EqualsNoCase(name, "winmeridox")) return true;
    if (nestedRecords_ > 0 && IsRecordName(name)) {
        --nestedRecords_;
        return true;
    }
    if (EqualsNoCase(name, "authentication")) {
        EndAuthentication(CloseInnermost());
    } else if (EqualsNoCase(name, "status")) {
        EndStatus(CloseInnermost());
    } else if (EqualsNoCase(name, "subscription-notification")) {
        EndNote(CloseInnermost());
    } else if (EqualsNoCase(name, "button")) {
        EndButton(CloseInnermost());
    } else if (EqualsNoCase(name, "update")) {
        EndUpdate(CloseInnermost());
    } else if (CXMLObject* record = Innermost()) {
        record->EndChild(name);
    }
    return true;
}

void CXMLSwParser::EndAuthentication(std::unique_ptr<CXMLObject> record) {
    if (auto auth = As<CXMLAuthentication>(std::move(record))) buffer_.authentication = *auth;
}

void CXMLSwParser::EndStatus(std::unique_ptr<CXMLObject> record) {
    if (auto status = As<CXMLStatus>(std::move(record))) buffer_.status = *status;
}

void CXMLSwParser::EndNote(std::unique_ptr<CXMLObject> record) {
    if (auto note = As<CXMLSubscriptionNote>(std::move(record))) {
        buffer_.subscriptionNote.message = note->message;
        if (buffer_.watchListLink) buffer_.watchListLink->KeepSubscriptionNote(buffer_.subscriptionNote);
    }
    buffer_.insideNote = false;
}

void CXMLSwParser::EndButton(std::unique_ptr<CXMLObject> record) {
    auto button = As<CXMLSubscriptionButton>(std::move(record));
    if (button && buffer_.insideNote) buffer_.subscriptionNote.buttons.push_back(*button);
}

void CXMLSwParser::EndUpdate(std::unique_ptr<CXMLObject> record) {
    auto update = As<CXMLUpdate>(std::move(record));
    if (!update) return;
    if (ApplyToList(buffer_.watchList, *update)) buffer_.watchListNewOutOfDate = true;
    if (ApplyToList(buffer_.driverList, *update)) buffer_.driverListNewOutOfDate = true;
}

bool CXMLSwParser::ApplyToList(VN_ListBaseSync* list, const CXMLUpdate& record) {
    if (!list) return false;
    const int64_t wanted = SequenceNumber(record.Sequence);
    bool newlyOutdated = false;
    for (VN_ItemGrandBase* entry : list->Snapshot()) {
        auto* item = dynamic_cast<VN_UpdatedItem*>(entry);
        if (!item) continue;
        // Every item is numbered on the way, as writing it would number it.
        if (item->GetSequence() != wanted) continue;
        if (ApplyUpdate(*item, record)) newlyOutdated = true;
    }
    return newlyOutdated;
}

bool CXMLSwParser::ApplyUpdate(VN_UpdatedItem& item, const CXMLUpdate& record) {
    if (record.Sequence != std::to_string(item.GetSequence())) return false;

    bool newlyOutdated = false;
    const std::string progName = textutil::Trim(record.ProgName);
    const bool newVersion = record.CurrentVers != item.GetCurrentVers();
    if (progName != item.progName || newVersion) {
        buffer_.changedFlag = true;
        newlyOutdated = record.Outdated == "true";
    }
    // A new current version is a new release: a skip of the old one no longer
    // holds. A new name alone is not: every scan puts the program's own name
    // back, so a product the service names otherwise would lose its skip at
    // every check.
    if (newVersion) item.skipped = false;

    item.SetProgName(progName);
    item.SetCurrentVers(record.CurrentVers);
    item.serverId = record.ID;
    item.additionalInfo = record.AdditionalInfo;
    item.productId = record.productID;
    item.SetMatchedPvId(record.MatchedPvId);
    item.currentDate = record.CurrentDate;
    item.myVersion = record.MyVersion;
    item.productUrl = record.URL;
    item.directDlUrl = record.DirectDLUrl;

    if (EqualsNoCase(record.Outdated, "true")) {
        item.updateAvailable = true;
        item.outdated = true;
        if (!item.skipped) buffer_.notifyFlag = true;
    } else if (item.outdated) {
        item.outdated = false;
        buffer_.notifyFlag = true;
    }
    if (EqualsNoCase(record.DirectDLIsFile, "true")) item.directDlIsFile = true;
    if (record.needsIcon) item.serverNeedsIcon = true;
    return newlyOutdated;
}

}  // namespace vnxml
