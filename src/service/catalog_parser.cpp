#include "service/catalog_parser.h"

#include "inventory/daily_item.h"
#include "inventory/list_base.h"
#include "inventory/search_item.h"
#include "platform/text.h"

namespace vnxml {

namespace {

using textutil::EqualsNoCase;

std::string* ItemField(CXMLItemBase& item, const std::string& name) {
    struct Field {
        const char* name;
        std::string CXMLItemBase::*member;
    };
    static const Field kFields[] = {
        {"productID", &CXMLItemBase::productID},     {"versionID", &CXMLItemBase::versionID},
        {"contentID", &CXMLItemBase::contentID},     {"name", &CXMLItemBase::name},
        {"releaseDate", &CXMLItemBase::releaseDate}, {"licenseType", &CXMLItemBase::licenseType},
        {"category", &CXMLItemBase::category},       {"osCompatibility", &CXMLItemBase::osCompatibility},
        {"platform", &CXMLItemBase::platform},       {"shortDescription", &CXMLItemBase::shortDescription},
        {"version", &CXMLItemBase::version},
    };
    for (const Field& f : kFields)
        if (EqualsNoCase(name, f.name)) return &(item.*f.member);
    return nullptr;
}

std::string* LinkField(CXMLDailyLinkItem& link, const std::string& name) {
    if (EqualsNoCase(name, "ID")) return &link.ID;
    if (EqualsNoCase(name, "url")) return &link.url;
    if (EqualsNoCase(name, "description")) return &link.description;
    if (EqualsNoCase(name, "filename")) return &link.filename;
    if (EqualsNoCase(name, "size")) return &link.size;
    return nullptr;
}

}  // namespace

std::string AttributeValue(const platform::SaxAttributes& attributes, const char* name) {
    for (const platform::SaxAttribute& a : attributes)
        if (EqualsNoCase(a.name, name)) return a.value;
    return std::string();
}

// ------------------------------------------------ CXMLParserBaseDailySearch

bool CXMLParserBaseDailySearch::OnStartElement(const std::string& name, const platform::SaxAttributes& attributes) {
    if (EqualsNoCase(name, "link")) {
        // Links do not nest: a link opened inside another replaces it, and
        // the elements still open in the replaced link lose their target.
        for (OpenElement& open : elements_)
            if (open.ofLink) open.target = nullptr;
        link_ = std::make_unique<CXMLDailyLinkItem>();
        link_->type = AttributeValue(attributes, "type");
        elements_.push_back({nullptr, std::string()});
        return true;
    }
    if (!link_ && !item_ && OnItemStart(name, attributes)) {
        elements_.push_back({nullptr, std::string()});
        return true;
    }
    if (item_ && EqualsNoCase(name, "contentID")) item_->contentDb = AttributeValue(attributes, "db");
    if (link_) {
        elements_.push_back({LinkField(*link_, name), std::string(), true});
        return true;
    }
    std::string* target = nullptr;
    if (item_) {
        target = ExtraField(name, attributes);
        if (!target) target = ItemField(*item_, name);
    }
    elements_.push_back({target, std::string()});
    return true;
}

bool CXMLParserBaseDailySearch::OnEndElement(const std::string& name) {
    if (!elements_.empty()) {
        OpenElement& element = elements_.back();
        if (element.target) *element.target = std::move(element.text);
        elements_.pop_back();
    }
    if (EqualsNoCase(name, "link")) {
        std::unique_ptr<CXMLDailyLinkItem> link = std::move(link_);
        if (link && item_) item_->links.push_back(std::move(*link));
    } else if (!link_) {
        OnItemEnd(name);
    }
    return AfterEnd(name);
}

bool CXMLParserBaseDailySearch::OnCharacters(const std::string& text) {
    if (!elements_.empty() && elements_.back().target) elements_.back().text += text;
    return true;
}

std::string* CXMLParserBaseDailySearch::ExtraField(const std::string&, const platform::SaxAttributes&) {
    return nullptr;
}

bool CXMLParserBaseDailySearch::AfterEnd(const std::string&) { return true; }

// --------------------------------------------------------- CXMLSearchParser

bool CXMLSearchParser::OnItemStart(const std::string& name, const platform::SaxAttributes&) {
    if (!EqualsNoCase(name, "product")) return false;
    item_ = std::make_unique<CXMLSearchItem>();
    OpenItem(item_.get());
    return true;
}

bool CXMLSearchParser::OnItemEnd(const std::string& name) {
    if (!item_ || !EqualsNoCase(name, "product")) return false;
    CloseItem();
    Output().AddTail(std::make_unique<VN_SearchItem>(std::move(item_)));
    return true;
}

std::string* CXMLSearchParser::ExtraField(const std::string& name, const platform::SaxAttributes& attributes) {
    const bool rating = EqualsNoCase(name, "rating");
    if (!rating && !EqualsNoCase(name, "clickCount")) return nullptr;
    if (AttributeValue(attributes, "disposition") != "product") return nullptr;
    return rating ? &item_->rating : &item_->clickCount;
}

// ---------------------------------------------------------- CXMLDailyParser

bool CXMLDailyParser::OnItemStart(const std::string& name, const platform::SaxAttributes& attributes) {
    if (!EqualsNoCase(name, "update")) return false;
    item_ = std::make_unique<CXMLDailyItem>();
    item_->postingTime = AttributeValue(attributes, "postingTime");
    item_->globalEditorPick = AttributeValue(attributes, "globalEditorPick");
    OpenItem(item_.get());
    return true;
}

bool CXMLDailyParser::OnItemEnd(const std::string& name) {
    if (!item_ || !EqualsNoCase(name, "update")) return false;
    CloseItem();
    Output().AddTail(std::make_unique<VN_DailyItem>(std::move(item_)));
    return true;
}

std::string* CXMLDailyParser::ExtraField(const std::string& name, const platform::SaxAttributes&) {
    if (EqualsNoCase(name, "productDownloads")) return &item_->productDownloads;
    if (EqualsNoCase(name, "versionDownloads")) return &item_->versionDownloads;
    if (EqualsNoCase(name, "productRating")) return &item_->productRating;
    if (EqualsNoCase(name, "versionRating")) return &item_->versionRating;
    return nullptr;
}

bool CXMLDailyParser::AfterEnd(const std::string& name) {
    if (!EqualsNoCase(name, "day")) return true;
    return ++days_ < kMaxDays;
}

}  // namespace vnxml
