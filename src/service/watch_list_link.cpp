#include "service/watch_list_link.h"

namespace vnxml {

void CWatchListLink::KeepSubscriptionNote(const CXMLSubscriptionNote& note) {
    inventory::SubscriptionNote kept;
    kept.message = note.message;
    for (const CXMLSubscriptionButton& b : note.buttons) kept.buttons.push_back({b.title, b.action, b.url});
    list_.SetSubscriptionNote(kept);
}

}  // namespace vnxml
