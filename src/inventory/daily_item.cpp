#include "inventory/daily_item.h"

void VN_DailyItem::ExchangeFields(inventory::FieldExchange& fx) {
    if (!catalogItem) catalogItem = std::make_unique<vnxml::CXMLDailyItem>();
    catalogItem->ExchangeFields(fx);
}

std::string VN_DailyItem::GetDownloadUrl() const { return catalogItem ? catalogItem->DownloadPath() : std::string(); }

bool VN_DailyItem::IsDirectDownload() const { return catalogItem && catalogItem->IsDirectDownload(); }

std::string VN_DailyItem::GetDisplayName(bool) const { return catalogItem ? catalogItem->name : std::string(); }

std::string VN_DailyItem::GetProductId() const { return catalogItem ? catalogItem->productID : std::string(); }
