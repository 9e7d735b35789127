// VN_SearchItem: a row of the catalogue search results, wrapping one search
// item of the service's result document. Search results live in memory only
// (the class is never stored).
#pragma once

#include <memory>
#include <string>

#include "inventory/catalog_item.h"
#include "inventory/item_base.h"

class VN_SearchItem : public VN_ItemBase {
public:
    explicit VN_SearchItem(std::unique_ptr<vnxml::CXMLSearchItem> item) : catalogItem(std::move(item)) {}

    std::string GetDownloadUrl() const override { return catalogItem->DownloadPath(); }
    bool IsDirectDownload() const override { return catalogItem->IsDirectDownload(); }
    std::string GetDisplayName(bool) const override { return catalogItem->name; }
    std::string GetProductId() const override { return catalogItem->productID; }

    std::unique_ptr<vnxml::CXMLSearchItem> catalogItem;  // never null
};
