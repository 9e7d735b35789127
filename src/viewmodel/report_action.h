// "Report an Incorrect Item" (list action 32849): which rows it reports.
#pragma once

#include "viewmodel/list_rows.h"

namespace viewmodel {

// Enabled for a selected program in the software view and a selected driver
// in the driver view: the items the update service identified, or failed
// to. Catalogue rows (today's updates, search results) and downloads are the
// service's own entries and have nothing of this computer's to report.
bool ReportActionEnabled(ViewKind kind, const VN_ItemGrandBase* selected);

}  // namespace viewmodel
