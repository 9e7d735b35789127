#include "inventory/item_base.h"

#include "inventory/field_copy.h"

void VN_ItemGrandBase::ExchangeOwnFields(inventory::FieldExchange& fx) { fx.Field("removed", removed); }

void VN_ItemGrandBase::CopyFrom(const VN_ItemGrandBase& other) {
    inventory::CopyFields(*this, other, &VN_ItemGrandBase::ExchangeOwnFields);
}

void VN_ItemBase::ExchangeFields(inventory::FieldExchange& fx) {
    VN_ItemGrandBase::ExchangeFields(fx);
    ExchangeOwnFields(fx);
}

void VN_ItemBase::ExchangeOwnFields(inventory::FieldExchange& fx) { fx.Field("expanded", expanded); }

void VN_ItemBase::CopyFrom(const VN_ItemBase& other) {
    inventory::CopyFields(*this, other, &VN_ItemBase::ExchangeOwnFields);
    VN_ItemGrandBase::CopyFrom(other);
}

void VN_ItemBase::MergeFrom(const VN_ItemBase& other) {
    inventory::MergeFields(*this, other, &VN_ItemBase::ExchangeOwnFields);
}
