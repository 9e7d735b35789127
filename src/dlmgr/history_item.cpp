#include "dlmgr/history_item.h"

#include <memory>

#include "inventory/archive.h"

namespace dlmgr {

void CHistoryItem::ExchangeFields(inventory::FieldExchange& fx) {
    fx.Field("State", State);
    fx.Field("Name", Name);
    fx.Field("Url", Url);
    fx.Field("Destination", Destination);
    fx.Field("Started", Started);
    fx.Field("Retries", Retries);
}

const char* CHistoryItem::StateText(int32_t state) {
    static const char* const kTexts[] = {"Active", "Canceled",    "Failed",     "Stopped",
                                         "Queued", "Copy Failed", "Successful", "Completed"};
    return state >= 0 && state < 8 ? kTexts[state] : "";
}

void RegisterItemClasses() {
    inventory::RegisterPersistentClass(
        {CHistoryItem::kClassName, 1, []() -> std::unique_ptr<VN_ItemGrandBase> {
             return std::make_unique<CHistoryItem>();
         }});
}

}  // namespace dlmgr
