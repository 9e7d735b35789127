// The catalogue's XML-RPC calls (keyword search, product page, item report):
// XmlRpc++ over plain HTTP to the catalogue endpoint, path "/product/RPC2",
// one client per call. The endpoint and the today's-updates feed address are
// settings ("Catalogue Host", "Catalogue Port", "Daily Updates URL").
#pragma once

#include <string>

#include "XmlRpc.h"

namespace catalog {

inline constexpr char kRpcPath[] = "/product/RPC2";
inline constexpr char kSearchMethod[] = "FilterService.search";
inline constexpr char kPopulateMethod[] = "FilterService.populate";
inline constexpr char kSubmitMethod[] = "TaskService.submit";
// How long one call may take, connecting included.
inline constexpr double kCallTimeoutSeconds = 30.0;

struct Endpoint {
    std::string host;
    int port = 80;
};

// The endpoint from the settings, with their defaults.
Endpoint CatalogueEndpoint();
// The today's-updates feed address from the settings.
std::string DailyUpdatesUrl();

// One call with a client of its own. True when the call reached the service
// and returned a result that is not a fault; never throws.
bool Call(const Endpoint& endpoint, const char* method, const XmlRpc::XmlRpcValue& params, XmlRpc::XmlRpcValue& result);

// The single parameter of a keyword search: `filters` {`keywords`,
// `platforms` ["Windows"]} and `custom` {`includeDownloadLink` "YES",
// `includeProductPageLink` "YES"}.
XmlRpc::XmlRpcValue SearchParams(const std::string& keywords);
// The single parameter of a product page request: `ID`, `populateLinks`
// true, `xmlDocFormat` "flat".
XmlRpc::XmlRpcValue PopulateParams(const std::string& productId);
// The parameter array of an item report: "SubmittedProductInfo" and the
// report's members.
XmlRpc::XmlRpcValue SubmitParams(const XmlRpc::XmlRpcValue& members);

// Element 1 of a reply array when it is a string (the result document).
bool ResultDocument(const XmlRpc::XmlRpcValue& reply, std::string& document);

}  // namespace catalog
