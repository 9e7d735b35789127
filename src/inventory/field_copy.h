// Copying and merging items through their field lists, so that a field named
// once in a class's list is stored, loaded, copied and merged alike.
//
// A class level lists its own fields (not its base's) in a non-virtual member
// taking a FieldExchange; CopyFields and MergeFields walk that list on both
// items side by side. Copy takes every value; merge takes a value only while
// the receiving field is still empty, false or zero. A field with another rule
// is handled by the caller around the walk.
#pragma once

#include "inventory/field_exchange.h"

namespace inventory {

enum class FieldRule { Copy, Merge };

// One class level's field list of Item.
template <typename Item>
using FieldList = void (Item::*)(FieldExchange&);

namespace detail {
// Reads the fields `walkFrom` visits and applies them, in the same order and
// of the same kinds, to those `walkTo` visits.
class FieldWalk {
public:
    virtual ~FieldWalk() = default;
    virtual void From(FieldExchange& fx) const = 0;
    virtual void To(FieldExchange& fx) const = 0;
};
void ApplyFields(FieldRule rule, const FieldWalk& walk);

template <typename Item>
class ItemFieldWalk final : public FieldWalk {
public:
    ItemFieldWalk(Item& to, const Item& from, FieldList<Item> list) : to_(to), from_(from), list_(list) {}
    // The list is walked on `from` by an exchange that only reads the fields.
    void From(FieldExchange& fx) const override { (const_cast<Item&>(from_).*list_)(fx); }
    void To(FieldExchange& fx) const override { (to_.*list_)(fx); }

private:
    Item& to_;
    const Item& from_;
    FieldList<Item> list_;
};
}  // namespace detail

// Sets every field of `list` in `to` from `from`.
template <typename Item>
void CopyFields(Item& to, const Item& from, FieldList<Item> list) {
    detail::ApplyFields(FieldRule::Copy, detail::ItemFieldWalk<Item>(to, from, list));
}

// Sets the fields of `list` in `to` that are still empty, false or zero from `from`.
template <typename Item>
void MergeFields(Item& to, const Item& from, FieldList<Item> list) {
    detail::ApplyFields(FieldRule::Merge, detail::ItemFieldWalk<Item>(to, from, list));
}

}  // namespace inventory
