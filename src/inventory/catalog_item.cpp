#include "inventory/catalog_item.h"

#include "platform/text.h"

namespace vnxml {

void CXMLDailyLinkItem::ExchangeFields(inventory::FieldExchange& fx) {
    fx.Field("type", type);
    fx.Field("ID", ID);
    fx.Field("url", url);
    fx.Field("description", description);
    fx.Field("filename", filename);
    fx.Field("size", size);
}

const CXMLDailyLinkItem* CXMLItemBase::DownloadLink() const {
    for (const CXMLDailyLinkItem& link : links)
        if (textutil::EqualsNoCase(link.type, "download")) return &link;
    return nullptr;
}

std::string CXMLItemBase::DownloadPath() const {
    const CXMLDailyLinkItem* link = DownloadLink();
    if (!link || link->ID.empty()) return std::string();
    return "/product/redir?lid=" + link->ID + "&mgc=si";
}

bool CXMLItemBase::IsDirectDownload() const {
    for (const CXMLDailyLinkItem& link : links)
        if (textutil::EqualsNoCase(link.type, "download") && !link.size.empty() && link.size[0] >= '0' &&
            link.size[0] <= '9')
            return true;
    return false;
}

void CXMLDailyItem::ExchangeFields(inventory::FieldExchange& fx) {
    fx.Field("postingTime", postingTime);
    fx.Field("productDownloads", productDownloads);
    fx.Field("versionDownloads", versionDownloads);
    fx.Field("productRating", productRating);
    fx.Field("versionRating", versionRating);
    fx.Field("globalEditorPick", globalEditorPick);
    fx.Field("productID", productID);
    fx.Field("versionID", versionID);
    fx.Field("contentID", contentID);
    fx.Field("contentDb", contentDb);
    fx.Field("name", name);
    fx.Field("releaseDate", releaseDate);
    fx.Field("licenseType", licenseType);
    fx.Field("category", category);
    fx.Field("osCompatibility", osCompatibility);
    fx.Field("platform", platform);
    fx.Field("shortDescription", shortDescription);
    fx.Field("version", version);
    // A link takes at least its six length bytes in a file.
    const size_t count = fx.BeginRecords("links", links.size(), 6);
    for (size_t i = 0; i < count; ++i) {
        CXMLDailyLinkItem& link = fx.IsLoading() ? links.emplace_back() : links[i];
        fx.BeginRecord(i);
        link.ExchangeFields(fx);
        fx.EndRecord();
    }
    fx.EndRecords();
}

}  // namespace vnxml
