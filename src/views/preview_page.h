// The product pages of the preview pane: a catalogue product's page is the
// product document of FilterService.populate transformed into HTML by the
// pane's stylesheet and cached as "h<product id>.html" in the temporary HTML
// folder. A cached page is reused, never refreshed, until the folder is
// emptied. Pages are written under a temporary name and moved into place, so
// that a reader (or a second fetch of the same product) never sees half a page.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "inventory/item_base.h"
#include "inventory/list_base.h"

namespace Views {

// The transformation of a product document into an HTML page (MSXML's XSLT
// with the program's stylesheet on Windows; a plain page on the host).
class IPageTransformer {
public:
    virtual ~IPageTransformer() = default;
    // The HTML page; throws on failure.
    virtual std::string Transform(const std::string& productDocument) = 0;
};
IPageTransformer& PageTransformer();
std::unique_ptr<IPageTransformer> InstallPageTransformer(std::unique_ptr<IPageTransformer> transformer);
std::unique_ptr<IPageTransformer> MakeDefaultPageTransformer();

// The cache file of a product: <temp HTML folder>\h<id>.html.
std::string PreviewPagePath(const std::string& productId);

// Makes sure the cached page of the item's catalogue product exists. Nothing
// for an item without a product identifier or with its page cached. Posts
// WM_Varnel10_HtmlCreated (0, 0) to the main window when it created the page
// and `notify` is set. True when the page exists afterwards.
bool DoFindPreviewInfo(const VN_ItemBase& item, bool notify);

// The same for a product identifier. When `stop` is set by the time the
// service has answered, the page is neither written nor announced (false).
bool FindPreviewInfo(const std::string& productId, bool notify, const std::atomic<bool>* stop = nullptr);

// Runs FindPreviewInfo without notification for the product of every item of
// the list (as the list is now), on a thread of lowest priority that the
// caller joins or detaches; the thread shares nothing with the list.
std::thread PrefetchPreviews(const VN_ListBaseSync& list);

// Lowers the calling thread's priority to the lowest (Windows; nothing elsewhere).
void LowerThreadPriority();

}  // namespace Views
