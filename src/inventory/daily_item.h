// VN_DailyItem: an entry of the today's-updates list, wrapping one catalogue
// item of the feed. The item's own base fields are neither used nor stored:
// its file body is the catalogue item's.
#pragma once

#include <memory>
#include <string>

#include "inventory/catalog_item.h"
#include "inventory/item_base.h"

class VN_DailyItem : public VN_ItemBase {
public:
    static constexpr char kClassName[] = "VN_DailyItem";

    explicit VN_DailyItem(std::unique_ptr<vnxml::CXMLDailyItem> item = nullptr) : catalogItem(std::move(item)) {}

    const char* RuntimeClassName() const override { return kClassName; }
    // Creates an empty catalogue item first when there is none (so a loaded
    // entry gets one).
    void ExchangeFields(inventory::FieldExchange& fx) override;

    // The redirect path of the catalogue item's download link (see
    // CXMLItemBase::DownloadPath).
    std::string GetDownloadUrl() const override;
    bool IsDirectDownload() const override;
    std::string GetDisplayName(bool indent) const override;
    std::string GetProductId() const override;

    std::unique_ptr<vnxml::CXMLDailyItem> catalogItem;
};
