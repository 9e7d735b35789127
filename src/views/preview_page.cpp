#include "views/preview_page.h"

#include <exception>
#include <mutex>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/message_names.h"
#include "platform/notifier.h"
#include "platform/post_safe.h"
#include "service/catalog_client.h"

namespace Views {

namespace {
std::mutex g_transformerMutex;
std::unique_ptr<IPageTransformer> g_transformer;
}  // namespace

IPageTransformer& PageTransformer() {
    std::lock_guard<std::mutex> lock(g_transformerMutex);
    if (!g_transformer) g_transformer = MakeDefaultPageTransformer();
    return *g_transformer;
}

std::unique_ptr<IPageTransformer> InstallPageTransformer(std::unique_ptr<IPageTransformer> transformer) {
    std::lock_guard<std::mutex> lock(g_transformerMutex);
    std::unique_ptr<IPageTransformer> previous = std::move(g_transformer);
    g_transformer = std::move(transformer);
    return previous;
}

std::string PreviewPagePath(const std::string& productId) {
    return platform::TempHtmlFolder() + "\\h" + productId + ".html";
}

bool DoFindPreviewInfo(const VN_ItemBase& item, bool notify) { return FindPreviewInfo(item.GetProductId(), notify); }

bool FindPreviewInfo(const std::string& productId, bool notify, const std::atomic<bool>* stop) {
    if (productId.empty()) return false;
    // The identifier names a file: only the catalogue's plain identifiers.
    for (char c : productId)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_'))
            return false;
    const std::string path = PreviewPagePath(productId);
    if (platform::FileExists(path)) return true;

    XmlRpc::XmlRpcValue reply;
    bool returned = false;
    try {
        returned = catalog::Call(catalog::CatalogueEndpoint(), catalog::kPopulateMethod,
                                 catalog::PopulateParams(productId), reply);
    } catch (const std::exception&) {
        vnlog::WriteRaw("***Error exception in executing xmlRPC");
    }
    if (stop && *stop) return false;  // the program is leaving: nothing more is written
    std::string document;
    if (!returned || !catalog::ResultDocument(reply, document)) {
        vnlog::WriteRaw("***Error DoFindPreviewInfo productId: " + productId);
        return false;
    }
    std::string page;
    try {
        page = PageTransformer().Transform(document);
    } catch (const std::exception&) {
        vnlog::WriteRaw("*** Exception while doing CDomXsl.DoTransform");
        return false;
    }
    platform::CreateDirectories(platform::TempHtmlFolder());
    if (!platform::WriteFileAtomically(path, page)) {
        vnlog::WriteRaw("***Error DoFindPreviewInfo productId: " + productId);
        return false;
    }
    if (notify)
        platform::Notifier().Post(platform::MainWindow(), platform::RegisterMessage(wmname::kHtmlCreated), 0, 0);
    return true;
}

std::thread PrefetchPreviews(const VN_ListBaseSync& list) {
    std::vector<std::string> ids;
    inventory::ContentLock::Read hold(list.ItemLock());
    for (VN_ItemGrandBase* entry : list.Snapshot())
        if (const auto* item = dynamic_cast<const VN_ItemBase*>(entry)) ids.push_back(item->GetProductId());
    return std::thread([ids = std::move(ids)] {
        LowerThreadPriority();
        for (const std::string& id : ids) FindPreviewInfo(id, false);
    });
}

}  // namespace Views
