// The readers of the catalogue's two item documents: the result document of a
// catalogue search (vnxml::CXMLSearchParser, one VN_SearchItem per `product`)
// and the today's-updates feed (vnxml::CXMLDailyParser, one VN_DailyItem per
// `update`, at most three `day`s). Both share one element vocabulary, read by
// CXMLParserBaseDailySearch; element names are compared without regard to case.
//
//   VN_ListBase results;
//   vnxml::CXMLSearchParser parser(results);
//   parser.SetStopList(&results);          // its abort flag ends the parse
//   parser.ParseFile(path);
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "inventory/catalog_item.h"
#include "service/xml_parser.h"

class VN_ListBaseSync;

namespace vnxml {

class CXMLParserBaseDailySearch : public CXMLParserInit {
public:
    // `output` receives the parsed items; not owned.
    explicit CXMLParserBaseDailySearch(VN_ListBaseSync& output) : output_(output) {}

protected:
    bool OnStartElement(const std::string& name, const platform::SaxAttributes& attributes) final;
    bool OnEndElement(const std::string& name) final;
    bool OnCharacters(const std::string& text) final;

    // The document's own elements. OnItemStart answers whether `name` opened
    // an item (then OpenItem was called); OnItemEnd whether it closed one.
    virtual bool OnItemStart(const std::string& name, const platform::SaxAttributes& attributes) = 0;
    virtual bool OnItemEnd(const std::string& name) = 0;
    // The member of the open item that receives element `name` beyond the
    // shared ones, or null; `attributes` are the element's.
    virtual std::string* ExtraField(const std::string& name, const platform::SaxAttributes& attributes);
    // Answers false to stop the parse after an element has ended.
    virtual bool AfterEnd(const std::string& name);

    void OpenItem(CXMLItemBase* item) { item_ = item; }
    CXMLItemBase* OpenedItem() const { return item_; }
    void CloseItem() { item_ = nullptr; }
    VN_ListBaseSync& Output() { return output_; }

private:
    struct OpenElement {
        std::string* target;  // the member that receives the text, or null
        std::string text;
        bool ofLink = false;  // target is a member of the open link
    };

    VN_ListBaseSync& output_;
    CXMLItemBase* item_ = nullptr;             // owned by the derived parser
    std::unique_ptr<CXMLDailyLinkItem> link_;  // the open link
    std::vector<OpenElement> elements_;
};

class CXMLSearchParser : public CXMLParserBaseDailySearch {
public:
    using CXMLParserBaseDailySearch::CXMLParserBaseDailySearch;

protected:
    bool OnItemStart(const std::string& name, const platform::SaxAttributes& attributes) override;
    bool OnItemEnd(const std::string& name) override;
    // `rating` and `clickCount` count only with disposition="product".
    std::string* ExtraField(const std::string& name, const platform::SaxAttributes& attributes) override;

private:
    std::unique_ptr<CXMLSearchItem> item_;
};

class CXMLDailyParser : public CXMLParserBaseDailySearch {
public:
    static constexpr int kMaxDays = 3;

    using CXMLParserBaseDailySearch::CXMLParserBaseDailySearch;

    // The parse ended where the feed ends for the program: at the end of the
    // document, or at the end of the third day.
    bool ReadToEnd(platform::SaxResult result) const {
        return result == platform::SaxResult::Complete || (result == platform::SaxResult::Stopped && days_ >= kMaxDays);
    }
    int Days() const { return days_; }

protected:
    bool OnItemStart(const std::string& name, const platform::SaxAttributes& attributes) override;
    bool OnItemEnd(const std::string& name) override;
    // The feed's counters: productDownloads, versionDownloads, productRating, versionRating.
    std::string* ExtraField(const std::string& name, const platform::SaxAttributes& attributes) override;
    bool AfterEnd(const std::string& name) override;

private:
    std::unique_ptr<CXMLDailyItem> item_;
    int days_ = 0;
};

// The value of the attribute named `name` (compared without regard to case), or "".
std::string AttributeValue(const platform::SaxAttributes& attributes, const char* name);

}  // namespace vnxml
