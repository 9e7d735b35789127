#include "inventory/item_base.h"

#include "inventory/archive.h"
#include "inventory/field_copy.h"

void VN_ItemGrandBase::StoreFields(inventory::StoreExchange& fx) { ExchangeFields(fx); }

void VN_ItemGrandBase::LoadFields(inventory::LoadExchange& fx) { ExchangeFields(fx); }

template <class Fx>
void VN_ItemGrandBase::ExchangeOwnFields(Fx& fx) {
    fx.Field("removed", removed);
}
VN_INSTANTIATE_FIELD_LIST(VN_ItemGrandBase)

void VN_ItemGrandBase::CopyFrom(const VN_ItemGrandBase& other) {
    inventory::CopyFields(*this, other, &VN_ItemGrandBase::ExchangeOwnFields);
}

template <class Fx>
void VN_ItemBase::ExchangeOwnFields(Fx& fx) {
    fx.Field("expanded", expanded);
}
VN_INSTANTIATE_FIELD_LIST(VN_ItemBase)

void VN_ItemBase::CopyFrom(const VN_ItemBase& other) {
    inventory::CopyFields(*this, other, &VN_ItemBase::ExchangeOwnFields);
    VN_ItemGrandBase::CopyFrom(other);
}

void VN_ItemBase::MergeFrom(const VN_ItemBase& other) {
    inventory::MergeFields(*this, other, &VN_ItemBase::ExchangeOwnFields);
}
