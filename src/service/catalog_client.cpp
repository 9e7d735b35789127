#include "service/catalog_client.h"

#include <exception>

#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace catalog {

Endpoint CatalogueEndpoint() {
    platform::Settings& settings = platform::AppSettings();
    Endpoint endpoint;
    endpoint.host = settings.ReadText(setting::kCatalogueHost);
    if (endpoint.host.empty()) endpoint.host = setting::kCatalogueHostDefault;
    const uint32_t port = settings.ReadNumber(setting::kCataloguePort, setting::kCataloguePortDefault);
    endpoint.port =
        (port > 0 && port < 65536) ? static_cast<int>(port) : static_cast<int>(setting::kCataloguePortDefault);
    return endpoint;
}

std::string DailyUpdatesUrl() {
    std::string url = platform::AppSettings().ReadText(setting::kDailyUpdatesUrl);
    return url.empty() ? std::string(setting::kDailyUpdatesUrlDefault) : url;
}

bool Call(const Endpoint& endpoint, const char* method, const XmlRpc::XmlRpcValue& params,
          XmlRpc::XmlRpcValue& result) {
    try {
        XmlRpc::XmlRpcClient client(endpoint.host.c_str(), endpoint.port, kRpcPath);
        const bool returned = client.execute(method, params, result, kCallTimeoutSeconds);
        const bool fault = client.isFault();
        client.close();
        return returned && !fault;
    } catch (const XmlRpc::XmlRpcException& e) {
        vnlog::WriteRaw("***Error exception in executing xmlRPC " + e.getMessage());
    } catch (const std::exception& e) {
        vnlog::WriteRaw(std::string("***Error exception in executing xmlRPC ") + e.what());
    }
    return false;
}

XmlRpc::XmlRpcValue SearchParams(const std::string& keywords) {
    XmlRpc::XmlRpcValue param;
    param["filters"]["keywords"] = keywords;
    param["filters"]["platforms"][0] = "Windows";
    param["custom"]["includeDownloadLink"] = "YES";
    param["custom"]["includeProductPageLink"] = "YES";
    return param;
}

XmlRpc::XmlRpcValue PopulateParams(const std::string& productId) {
    XmlRpc::XmlRpcValue param;
    param["ID"] = productId;
    param["populateLinks"] = true;
    param["xmlDocFormat"] = "flat";
    return param;
}

XmlRpc::XmlRpcValue SubmitParams(const XmlRpc::XmlRpcValue& members) {
    XmlRpc::XmlRpcValue params;
    params[0] = "SubmittedProductInfo";
    params[1] = members;
    return params;
}

bool ResultDocument(const XmlRpc::XmlRpcValue& reply, std::string& document) {
    XmlRpc::XmlRpcValue copy = reply;  // the library's const access throws on a wrong type
    if (copy.getType() != XmlRpc::XmlRpcValue::TypeArray || copy.size() < 2) return false;
    if (copy[1].getType() != XmlRpc::XmlRpcValue::TypeString) return false;
    document = static_cast<std::string&>(copy[1]);
    return true;
}

}  // namespace catalog
