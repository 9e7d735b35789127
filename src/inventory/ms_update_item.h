// MsUpdates::CMsItem: an entry of the list of the operating system's pending
// updates ("msupdates.db"). Only its `removed` state is kept in the file; the
// rest of an entry is read afresh from the Windows Update Agent.
#pragma once

#include "inventory/item_base.h"

namespace MsUpdates {

class CMsItem : public VN_ItemGrandBase {
public:
    static constexpr char kClassName[] = "CMsItem";
    const char* RuntimeClassName() const override { return kClassName; }
};

}  // namespace MsUpdates
