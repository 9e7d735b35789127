// The items' installer query over msi.dll: a product property of an
// installed or advertised product, in the ANSI code page, whatever its length.
// msi.h needs the Windows types first.
#include "platform/win/win.h"
#include <msi.h>

#include <algorithm>
#include <vector>

#include "inventory/item_services.h"

namespace inventory {
namespace {

class MsiInstallerQuery final : public IInstallerQuery {
public:
    std::optional<std::string> ProductInfo(const std::string& productCode, const std::string& property) override {
        if (productCode.empty()) return std::nullopt;
        std::vector<char> value(260);
        // A value that grows between the two calls is asked for again, a few times at most.
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD length = static_cast<DWORD>(value.size());
            const UINT result = MsiGetProductInfoA(productCode.c_str(), property.c_str(), value.data(), &length);
            if (result == ERROR_SUCCESS) return std::string(value.data(), std::min<size_t>(length, value.size() - 1));
            if (result != ERROR_MORE_DATA) return std::nullopt;
            value.resize(static_cast<size_t>(length) + 1);
        }
        return std::nullopt;
    }
};

}  // namespace

std::unique_ptr<IInstallerQuery> MakePlatformInstallerQuery() { return std::make_unique<MsiInstallerQuery>(); }

}  // namespace inventory
