// The scan worker's notices to the main window besides texts: its progress
// phases, the completion of a check and the start of a check. Each is posted
// (never sent) to the main window as it is at the moment of the call; without
// a main window the post fails silently. No notice ever throws.
#pragma once

#include <cstdint>

namespace engine {

// Phases of "WM_Varnel10_Progress", in the order a check posts them.
enum Phase : int {
    kPhaseStart = 1,         // mark 1 for a check, 0 for a scan
    kPhaseItemVersions = 2,  // installed versions are read afresh
    kPhasePrepare = 3,       // the exchange is being prepared
    kPhaseScanning = 4,      // the inventory scan
    kPhaseTalking = 5,       // talking to the service
    kPhaseScanDone = 6,      // mark 1 after the running-program scan
    kPhaseCheckDone = 7,     // the check ended (mark 1)
};

// "WM_Varnel10_Progress" with wParam = phase, lParam = mark & 0xFF.
// A failure is logged as "*** Error PostSafeProgress:".
bool PostSafeProgress(int phase, int mark);
// "WM_Varnel10_UpdateComplete" with wParam = notify & 0xFF, lParam =
// success & 0xFF. A failure is logged as "*** Error PostSafeUpdateComplete:".
bool PostSafeUpdateComplete(int notify, int success);
// "WM_Varnel10_StartDailyUpdates" (0, 0).
bool PostStartDailyUpdates();
// "WM_Varnel10_StartDriverSearch" (0, 0): the driver view empties.
bool PostStartDriverSearch();
// "WM_Varnel10_EndDriverSearch" (0, 0), sent rather than posted: the main
// window deletes the drivers the search found gone and reloads the driver
// view while the worker waits, so that neither thread meets an item the
// other is deleting. True when a main window answered 1 (it deleted them).
bool SendEndDriverSearch();

// The main window's command that empties the software list view so that it
// refills as the scan finds items; sent, so the view is empty before the
// first item arrives.
inline constexpr uint32_t kCommandClearSoftwareView = 32861;
void SendClearSoftwareView();

}  // namespace engine
