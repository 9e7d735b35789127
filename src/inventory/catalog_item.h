// Catalogue items: products described by the update service's catalogue
// documents (search results and the today's-updates feed), each with its
// links. These are data only: the service's document parsers fill them, and
// the today's-updates list (daily_item.h) stores them.
#pragma once

#include <string>
#include <vector>

#include "inventory/field_exchange.h"

namespace vnxml {

// One `link` element of a catalogue item.
class CXMLDailyLinkItem {
public:
    void ExchangeFields(inventory::FieldExchange& fx);

    std::string type;  // the `type` attribute ("download", ...)
    std::string ID;
    std::string url;
    std::string description;
    std::string filename;
    std::string size;
};

// The fields both catalogue documents share, each filled from the child
// element of the same name.
class CXMLItemBase {
public:
    virtual ~CXMLItemBase() = default;

    // The first link of type "download", or nullptr.
    const CXMLDailyLinkItem* DownloadLink() const;
    // The service's redirect path for the download link:
    // "/product/redir?lid=" + its ID + "&mgc=si"; empty without a download
    // link or when its ID is empty. The catalogue host goes in front of it.
    std::string DownloadPath() const;
    // There is a download link whose size begins with a decimal digit.
    bool IsDirectDownload() const;

    std::string productID;
    std::string versionID;
    std::string contentID;
    std::string contentDb;  // the `db` attribute of contentID
    std::string name;
    std::string releaseDate;
    std::string licenseType;
    std::string category;
    std::string osCompatibility;
    std::string platform;
    std::string shortDescription;
    std::string version;
    std::vector<CXMLDailyLinkItem> links;
};

class CXMLSearchItem : public CXMLItemBase {
public:
    std::string rating;
    std::string clickCount;
};

// An entry of the today's-updates feed; stored in "dailyupdates.db".
class CXMLDailyItem : public CXMLItemBase {
public:
    void ExchangeFields(inventory::FieldExchange& fx);

    std::string postingTime;  // attribute of the `update` element
    std::string productDownloads;
    std::string versionDownloads;
    std::string productRating;
    std::string versionRating;
    std::string globalEditorPick;  // attribute of the `update` element
};

}  // namespace vnxml
