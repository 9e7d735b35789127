#include "viewmodel/download_action.h"

#include "inventory/catalog_item.h"
#include "inventory/daily_item.h"
#include "inventory/guid_item.h"
#include "inventory/search_item.h"
#include "platform/text.h"
#include "platform/web_address.h"
#include "service/catalog_client.h"

namespace viewmodel {

namespace {

// The catalogue item behind a today's-updates or search row, or null.
const vnxml::CXMLItemBase* CatalogueItemOf(const VN_ItemGrandBase& item) {
    if (const auto* daily = dynamic_cast<const VN_DailyItem*>(&item)) return daily->catalogItem.get();
    if (const auto* search = dynamic_cast<const VN_SearchItem*>(&item)) return search->catalogItem.get();
    return nullptr;
}

}  // namespace

bool HasDirectDownload(const VN_ItemGrandBase& item) {
    if (const auto* updated = dynamic_cast<const VN_UpdatedItem*>(&item))
        return updated->IsDirectDownload() && platform::IsWebAddress(updated->GetDownloadUrl());
    const vnxml::CXMLItemBase* catalogue = CatalogueItemOf(item);
    return catalogue && catalogue->IsDirectDownload() && !catalogue->DownloadPath().empty();
}

DownloadChoice ChooseDownload(const VN_ItemGrandBase& item, const std::string& catalogueBase) {
    DownloadChoice choice;
    if (const auto* updated = dynamic_cast<const VN_UpdatedItem*>(&item)) {
        choice.name = updated->GetDisplayName(false);
        if (HasDirectDownload(item)) choice.address = updated->GetDownloadUrl();
        choice.page = ProductPage(item);
    } else if (const vnxml::CXMLItemBase* catalogue = CatalogueItemOf(item)) {
        choice.name = catalogue->name;
        if (HasDirectDownload(item)) choice.address = catalogueBase + catalogue->DownloadPath();
    }
    return choice;
}

bool DownloadEnabled(ViewKind kind, const VN_ItemGrandBase* selected) {
    if (!selected || kind == ViewKind::History) return false;
    return HasDirectDownload(*selected) || !ProductPage(*selected).empty();
}

std::string CatalogueBase(const std::string& host, int port) {
    return "http://" + host + (port == 80 ? std::string() : ":" + std::to_string(port));
}

std::string CatalogueBaseFromSettings() {
    const catalog::Endpoint endpoint = catalog::CatalogueEndpoint();
    return CatalogueBase(endpoint.host, endpoint.port);
}

}  // namespace viewmodel
