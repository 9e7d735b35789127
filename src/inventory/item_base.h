// The roots of the item class tree. Every thing the program keeps in a list
// (an installed program, a suite of installer components, a device driver, an
// entry of today's updates, a finished download) is an item derived from
// VN_ItemGrandBase; lists own them through that root.
//
// Fields are public and carry the names every other part of the program uses.
// Where a field has a rule (trimming, a group flag, a name cache), use the
// setter that keeps it.
#pragma once

#include <cstdint>
#include <string>

#include "inventory/field_exchange.h"

namespace inventory {
class StoreExchange;
class LoadExchange;
}  // namespace inventory
class VN_WatchItem;
class VN_DriverItem;

class VN_ItemGrandBase {
public:
    VN_ItemGrandBase() = default;
    virtual ~VN_ItemGrandBase() = default;
    VN_ItemGrandBase(const VN_ItemGrandBase&) = delete;
    VN_ItemGrandBase& operator=(const VN_ItemGrandBase&) = delete;

    // The class name a database file carries for this object, or nullptr for a
    // class that cannot be stored. A subclass that is stored as its base (its
    // own additions living in memory only) does not override it.
    virtual const char* RuntimeClassName() const { return nullptr; }

    // The item as a watch item or a driver item, or nullptr: what a
    // dynamic_cast answers, for the walks that ask it of every item of a list
    // (the check request's), at the cost of one virtual call.
    virtual VN_WatchItem* AsWatchItem() { return nullptr; }
    virtual VN_DriverItem* AsDriverItem() { return nullptr; }

    // The stored fields, in file order (base class first).
    virtual void ExchangeFields(inventory::FieldExchange& fx) { ExchangeAllFields(fx); }
    // The same walk for the database archive. Here they walk ExchangeFields
    // through the interface; a stored class whose list is a template (see
    // below) overrides both with its ExchangeAllFields, so that the archive's
    // per-field work is inlined. A subclass of such a class that overrides
    // ExchangeFields must override these two as well.
    virtual void StoreFields(inventory::StoreExchange& fx);
    virtual void LoadFields(inventory::LoadExchange& fx);

    // 0 present; 1 removed by the user; 2 gone (no longer installed, or folded
    // into another item). Items with a non-zero value are kept but not shown
    // and not sent.
    int32_t removed = 0;
    // The owning list's scan counter when the item was last added or found.
    int32_t scanStamp = 0;

protected:
    // Each class level lists the fields it adds in ExchangeOwnFields, a
    // template over the exchange type (instantiated in the class's source file
    // for FieldExchange and the archive's two exchanges); ExchangeAllFields
    // walks the levels from the root down. ExchangeFields, StoreFields,
    // LoadFields, CopyFrom and MergeFrom all walk that one list (field_copy.h).
    // `scanStamp` belongs to the owning list and is neither copied nor merged;
    // `removed` is copied but never merged: an item's state stays its own.
    template <class Fx>
    void ExchangeOwnFields(Fx& fx);
    template <class Fx>
    void ExchangeAllFields(Fx& fx) {
        ExchangeOwnFields(fx);
    }
    void CopyFrom(const VN_ItemGrandBase& other);
};

namespace item_state {
inline constexpr int32_t kPresent = 0;
inline constexpr int32_t kRemovedByUser = 1;
inline constexpr int32_t kGone = 2;
}  // namespace item_state

class VN_ItemBase : public VN_ItemGrandBase {
public:
    // A Windows Installer product without a component of its own.
    virtual bool IsSuite() const { return false; }
    virtual std::string GetExePath() const { return std::string(); }
    virtual std::string GetAdditionalInfo() const { return " "; }
    virtual bool IsUntrackableComponent() const { return false; }
    virtual std::string GetDownloadUrl() const = 0;
    virtual bool IsDirectDownload() const = 0;
    // The name shown in the lists; `indent` indents a suite's components.
    virtual std::string GetDisplayName(bool indent) const = 0;
    virtual std::string GetExecutableName() const { return std::string(); }
    virtual std::string GetProductId() const = 0;
    virtual std::string GetGuid() const { return std::string(); }

    void ExchangeFields(inventory::FieldExchange& fx) override { ExchangeAllFields(fx); }

    // The item's suite group is shown expanded in the tree list.
    bool expanded = false;

protected:
    template <class Fx>
    void ExchangeOwnFields(Fx& fx);
    template <class Fx>
    void ExchangeAllFields(Fx& fx) {
        VN_ItemGrandBase::ExchangeAllFields(fx);
        ExchangeOwnFields(fx);
    }
    void CopyFrom(const VN_ItemBase& other);
    void MergeFrom(const VN_ItemBase& other);
};
