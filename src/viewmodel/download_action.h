// The lists' "Download" action: an item whose installer the service marked
// as a file that can be fetched as it is goes to the download manager; any
// other item opens its product page, as "Read More" does.
#pragma once

#include <string>

#include "viewmodel/list_rows.h"

class VN_ItemGrandBase;

namespace viewmodel {

// Whether the item can be downloaded directly: a software or driver item
// with a "DirectDLUrl" the service marked as a file (an http or https
// address), or a today's-updates or search item whose download link has an
// ID and a size that begins with a digit.
bool HasDirectDownload(const VN_ItemGrandBase& item);

// What "Download" does with the item.
struct DownloadChoice {
    std::string name;     // the name the download manager shows
    std::string address;  // the file's absolute address; empty: no direct download
    std::string page;     // the product page, opened instead when there is no direct download
};
// `catalogueBase` ("http://host[:port]") goes in front of a catalogue item's
// redirect path.
DownloadChoice ChooseDownload(const VN_ItemGrandBase& item, const std::string& catalogueBase);

// Whether "Download" is enabled for the item in the view.
bool DownloadEnabled(ViewKind kind, const VN_ItemGrandBase* selected);

// "http://host" with ":port" unless it is 80: the catalogue endpoint's base.
std::string CatalogueBase(const std::string& host, int port);
// The base of the catalogue endpoint the settings name.
std::string CatalogueBaseFromSettings();

}  // namespace viewmodel
