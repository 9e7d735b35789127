#include "inventory/item_base.h"

void VN_ItemGrandBase::ExchangeFields(inventory::FieldExchange& fx) { fx.Field("removed", removed); }

void VN_ItemBase::ExchangeFields(inventory::FieldExchange& fx) {
    VN_ItemGrandBase::ExchangeFields(fx);
    fx.Field("expanded", expanded);
}

void VN_ItemBase::CopyFrom(const VN_ItemBase& other) {
    expanded = other.expanded;
    VN_ItemGrandBase::CopyFrom(other);
}

void VN_ItemBase::MergeFrom(const VN_ItemBase& other) { inventory::FillIfFalse(expanded, other.expanded); }
