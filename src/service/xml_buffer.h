// vnxml::CXMLBuffer: one exchange with the update service. It writes the
// request document (the short pre-scan request, or the check request with
// every item of the watch list and the driver list) and, while the reply is
// read (reply_parser.h), receives the reply's status, authentication and
// subscription note and the flags that say what the reply changed.
//
// The request is assembled from fixed fragments with explicit tabs and line
// feeds; only the authentication block and the system profile come from the
// XML writer. Written to a file opened in text mode on Windows, every line
// feed reaches the file as CR LF.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "inventory/list_base.h"
#include "platform/document_clock.h"
#include "platform/xml_writer.h"
#include "service/xml_records.h"
#include "sysinfo/profile.h"

namespace vnxml {

// The buffer's mode.
inline constexpr uint8_t kPreScanRequest = 0;  // the machine's identity only
inline constexpr uint8_t kCheckRequest = 1;    // with every item

// The root element's namespace: the service's request schema.
inline constexpr char kRequestNamespace[] = "http://update.zelto.example/xmlschemas/connect.up/";

// What an exchange tells the watch list beyond its items. The watch list
// implements it; without one the buffer does what it can on its own (it
// clears the items' flags itself and keeps no scan time or note).
class IWatchListLink {
public:
    virtual ~IWatchListLink() = default;
    // The time the request was written (seconds since 1970): the list's scan time.
    virtual void SetScanTime(int64_t time) = 0;
    // Clears updateAvailable and outdated on every item, before a check reply is read.
    virtual void ItemFlagsReset() = 0;
    // The reply's subscription note (message and buttons), kept for display.
    virtual void KeepSubscriptionNote(const CXMLSubscriptionNote& note) = 0;
};

class CXMLBuffer {
public:
    // Lists may be null (an exchange without lists writes no items). Takes
    // "Machine Name" and "Machine ID" from the settings into `authentication`.
    CXMLBuffer(VN_ListBaseSync* watchList, VN_ListBaseSync* driverList, uint8_t mode);

    // Writes the whole request. Answers true for failure: a write that failed
    // (the document ends where it happened) or a stop requested during the
    // item loop (the document ends there). False when the document is complete.
    bool WriteDocument(CXMLSink& out);
    bool WriteDocument(std::FILE* out);

    // Before a check reply is read: every watch-list item loses
    // updateAvailable and outdated (drivers keep theirs, so that a driver no
    // longer reported out of date raises the notify flag). Nothing for a
    // pre-scan.
    void PrepareForReply();

    VN_ListBaseSync* watchList;
    VN_ListBaseSync* driverList;
    uint8_t mode;
    CXMLAuthentication authentication;
    VN_Profile profile;  // the scan engine sets its next scheduled scan and collect flag
    std::string scanId;  // the stored "Scan ID"; empty for a pre-scan
    // The interval between scheduled checks (0 for none), reported in whole
    // minutes; the caller takes it from the schedule (engine/schedule_interval.h).
    uint32_t checkIntervalSeconds = 0;

    // Set while the reply is read.
    CXMLStatus status;
    CXMLSubscriptionNote subscriptionNote;
    bool notifyFlag = false;   // an item's out-of-date state changed
    bool changedFlag = false;  // an item's name or current version changed
    bool insideNote = false;   // between the note's start and end tags
    bool watchListNewOutOfDate = false;
    bool driverListNewOutOfDate = false;

    // Connections to the rest of the program, all optional.
    IWatchListLink* watchListLink = nullptr;
    // Reports the check's progress phase before the items are written (the
    // engine posts "WM_Varnel10_Progress" with it).
    std::function<void(int phase, int mark)> progress;
    // The document's time; the profile uses the same clock.
    DocumentClock clock;

private:
    bool WriteItems(CXMLSink& out);
};

}  // namespace vnxml
