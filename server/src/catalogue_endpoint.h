// The catalogue as the agent's search box, preview pane and report dialog
// reach it, and the today's-updates feed:
//
//   POST /product/RPC2 (XML-RPC, text/xml)
//     FilterService.search({filters: {keywords, platforms}, custom: {...}})
//       -> [number of products, result document]: one `product` per catalogue
//          product whose name holds every keyword (ASCII letters without
//          regard to case), at most 100, by name.
//     FilterService.populate({ID, populateLinks, xmlDocFormat})
//       -> [1, product document]; fault 4 for an unknown product.
//     TaskService.submit("SubmittedProductInfo", {members...})
//       -> [1, "received"]; the report is stored in item_reports.
//     A body that is not such a call gets an XML-RPC fault (codes in xmlrpc.h).
//   GET /varnel/recent.php
//     <recent> with one `day` per release date, newest first, for the latest
//     seven release dates of the catalogue, each with one `update` per product.
//   GET /product/redir?lid=ID[&mgc=...]
//     302 to the product's download address; 404 for an unknown product.
//
// Documents are ASCII (see xml_writer.h). A download link's ID is the product's
// identifier; its size is left empty (the catalogue does not know it).
#pragma once

#include <optional>
#include <string>

#include "service_store.h"
#include "update_service.h"
#include "xmlrpc.h"

namespace vnservice {

inline constexpr char kRpcPath[] = "/product/RPC2";
inline constexpr char kRecentPath[] = "/varnel/recent.php";
inline constexpr char kRedirectPath[] = "/product/redir";
inline constexpr size_t kMaxRpcBodyBytes = 1024 * 1024;
inline constexpr size_t kMaxSearchResults = 100;
inline constexpr int kRecentDays = 7;

class CatalogueEndpoint : public Endpoint {
public:
    CatalogueEndpoint(ServiceStore& store, std::string publicUrl, Logger log);
    void Mount(httplib::Server& server) override;

    // The methodResponse (or fault) for an XML-RPC request body.
    std::string Answer(std::string_view body);
    std::string RecentDocument();
    // The download address of a product, absolute; nothing when unknown.
    std::optional<std::string> DownloadAddress(const std::string& lid);

private:
    std::string Search(const RpcCall& call);
    std::string Populate(const RpcCall& call);
    std::string Submit(const RpcCall& call);
    std::string Absolute(const std::string& url) const;
    void Log(const std::string& line) const {
        if (log_) log_(line);
    }

    ServiceStore& store_;
    std::string publicUrl_;
    Logger log_;
};

}  // namespace vnservice
