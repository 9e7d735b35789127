#include "catalogue_endpoint.h"

#include <httplib.h>

#include <cctype>
#include <functional>
#include <map>

#include "platform/text.h"
#include "xml_writer.h"

namespace vnservice {
namespace {

const char kColumns[] =
    "SELECT id, name, publisher, current_version, release_date, product_url, download_url, download_is_file, "
    "additional_info FROM products";

Product ProductAt(const Statement& row) {
    Product p;
    p.id = row.Int(0);
    p.name = row.Text(1);
    p.publisher = row.Text(2);
    p.currentVersion = row.Text(3);
    p.releaseDate = row.Text(4);
    p.productUrl = row.Text(5);
    p.downloadUrl = row.Text(6);
    p.downloadIsFile = row.Int(7) != 0;
    p.additionalInfo = row.Text(8);
    return p;
}

bool IsDecimal(const std::string& text) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// LIKE pattern for a word: its %, _ and the escape character escaped.
std::string LikePattern(const std::string& word) {
    std::string out = "%";
    for (char c : word) {
        if (c == '%' || c == '_' || c == '\\') out += '\\';
        out += c;
    }
    return out + "%";
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text + " ") {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

std::string FileNameOf(const std::string& url) {
    const std::string path = url.substr(0, url.find_first_of("?#"));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What a search result and an entry of the recent-updates feed both say of a product.
void WriteSummary(XmlWriter& xml, const Product& p) {
    xml.Leaf("productID", std::to_string(p.id));
    xml.Leaf("name", p.name);
    xml.Leaf("version", p.currentVersion);
    xml.Leaf("releaseDate", p.releaseDate);
    xml.Leaf("platform", "Windows");
    xml.Leaf("shortDescription", p.additionalInfo.empty() ? p.publisher : p.additionalInfo);
}

}  // namespace

CatalogueEndpoint::CatalogueEndpoint(ServiceStore& store, std::string publicUrl, Logger log)
    : store_(store), publicUrl_(std::move(publicUrl)), log_(std::move(log)) {}

std::string CatalogueEndpoint::Absolute(const std::string& url) const {
    return (!url.empty() && url[0] == '/') ? publicUrl_ + url : url;
}

void CatalogueEndpoint::Mount(httplib::Server& server) {
    server.Post(kRpcPath, [this](const httplib::Request& req, httplib::Response& res) {
        // XML-RPC clients send text/xml; types a web page can send without
        // the browser asking first (forms, plain text) are refused.
        const std::string type = textutil::ToLowerAscii(textutil::Trim(
            req.get_header_value("Content-Type").substr(0, req.get_header_value("Content-Type").find(';'))));
        if (type != "text/xml" && type != "application/xml") {
            Log("catalogue: refused a call of type " + type);
            res.status = 415;
            res.set_content("content type " + type + " is not accepted\n", "text/plain");
            return;
        }
        if (req.body.size() > kMaxRpcBodyBytes) {
            Log("catalogue: refused a call of " + std::to_string(req.body.size()) + " bytes");
            res.status = 413;
            res.set_content("an XML-RPC call may hold at most 1 MB\n", "text/plain");
            return;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_content(Answer(req.body), "text/xml");
    });
    server.Get(kRecentPath, [this](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(RecentDocument(), "text/xml");
    });
    server.Get(kRedirectPath, [this](const httplib::Request& req, httplib::Response& res) {
        const std::optional<std::string> address = DownloadAddress(req.get_param_value("lid"));
        if (!address) {
            res.status = 404;
            res.set_content("no download with that lid\n", "text/plain");
            return;
        }
        res.set_redirect(*address, 302);
    });
}

std::string CatalogueEndpoint::Answer(std::string_view body) {
    const RpcCall call = ParseRpcCall(body);
    if (!call.ok) {
        Log("catalogue: malformed call: " + call.error);
        return RpcFault(kFaultMalformed, "not an XML-RPC call: " + call.error);
    }
    try {
        if (call.method == "FilterService.search") return Search(call);
        if (call.method == "FilterService.populate") return Populate(call);
        if (call.method == "TaskService.submit") return Submit(call);
    } catch (const StoreError& e) {
        Log(std::string("catalogue: store error: ") + e.what());
        return RpcFault(kFaultMalformed, "the catalogue could not be read");
    }
    Log("catalogue: unknown method " + call.method.substr(0, 80));
    return RpcFault(kFaultNoMethod, "no method " + call.method.substr(0, 80));
}

std::string CatalogueEndpoint::Search(const RpcCall& call) {
    const RpcValue* filters = call.params.size() == 1 ? call.params[0].Member("filters") : nullptr;
    const RpcValue* keywords = filters ? filters->Member("keywords") : nullptr;
    if (!keywords || !keywords->IsString() || keywords->text.size() > 200)
        return RpcFault(kFaultBadParams,
                        "search takes one struct with filters.keywords, a string of at most 200 bytes");
    const std::vector<std::string> words = Words(keywords->text);
    if (words.empty()) return RpcFault(kFaultBadParams, "no keywords");

    std::string sql = std::string(kColumns) + " WHERE 1";
    for (size_t i = 0; i < words.size(); ++i) sql += " AND name LIKE ? ESCAPE '\\'";
    sql += " ORDER BY name COLLATE NOCASE LIMIT " + std::to_string(kMaxSearchResults);
    std::vector<Product> found;
    {
        auto lock = store_.Lock();
        Statement st = store_.Db().Prepare(sql);
        for (size_t i = 0; i < words.size(); ++i) st.Bind(static_cast<int>(i + 1), LikePattern(words[i]));
        while (st.Step()) found.push_back(ProductAt(st));
    }
    XmlWriter xml;
    xml.Open("results", {{"count", std::to_string(found.size())}});
    for (const Product& p : found) {
        xml.Open("product");
        WriteSummary(xml, p);
        if (!p.downloadUrl.empty()) {
            xml.Open("link", {{"type", "download"}});
            xml.Leaf("ID", std::to_string(p.id));
            xml.Leaf("url", Absolute(p.downloadUrl));
            if (p.downloadIsFile) xml.Leaf("filename", FileNameOf(p.downloadUrl));
            xml.Close();
        }
        if (!p.productUrl.empty()) {
            xml.Open("link", {{"type", "productPage"}});
            xml.Leaf("url", Absolute(p.productUrl));
            xml.Close();
        }
        xml.Close();
    }
    Log("catalogue: search \"" + keywords->text.substr(0, 80) + "\" found " + std::to_string(found.size()));
    return RpcResponse(
        RpcValue::MakeArray({RpcValue::Int(static_cast<int64_t>(found.size())), RpcValue::String(xml.Finish())}));
}

std::string CatalogueEndpoint::Populate(const RpcCall& call) {
    const RpcValue* id = call.params.size() == 1 ? call.params[0].Member("ID") : nullptr;
    if (!id || !id->IsString()) return RpcFault(kFaultBadParams, "populate takes one struct with ID, a string");
    std::optional<Product> product;
    if (IsDecimal(id->text)) {
        auto lock = store_.Lock();
        Statement st = store_.Db().Prepare(std::string(kColumns) + " WHERE id = ?");
        st.Bind(1, static_cast<int64_t>(std::stoll(id->text)));
        if (st.Step()) product = ProductAt(st);
    }
    if (!product) {
        Log("catalogue: populate of unknown product " + id->text.substr(0, 40));
        return RpcFault(kFaultNotFound, "no product " + id->text.substr(0, 40));
    }
    const RpcValue* links = call.params[0].Member("populateLinks");
    const bool withLinks = links && links->type == RpcValue::Type::Boolean && links->number == 1;
    XmlWriter xml;
    xml.Open("product");
    xml.Leaf("productID", std::to_string(product->id));
    xml.Leaf("name", product->name);
    xml.Leaf("version", product->currentVersion);
    xml.Leaf("publisher", product->publisher);
    xml.Leaf("releaseDate", product->releaseDate);
    xml.Leaf("shortDescription", product->additionalInfo);
    if (withLinks) {
        if (!product->productUrl.empty()) {
            xml.Open("link", {{"type", "productPage"}});
            xml.Leaf("url", Absolute(product->productUrl));
            xml.Close();
        }
        if (!product->downloadUrl.empty()) {
            xml.Open("link", {{"type", "download"}});
            xml.Leaf("ID", std::to_string(product->id));
            xml.Leaf("url", Absolute(product->downloadUrl));
            xml.Close();
        }
    }
    Log("catalogue: populate " + std::to_string(product->id));
    return RpcResponse(RpcValue::MakeArray({RpcValue::Int(1), RpcValue::String(xml.Finish())}));
}

std::string CatalogueEndpoint::Submit(const RpcCall& call) {
    if (call.params.size() != 2 || !call.params[0].IsString() || call.params[0].text != "SubmittedProductInfo" ||
        call.params[1].type != RpcValue::Type::Struct)
        return RpcFault(kFaultBadParams, "submit takes \"SubmittedProductInfo\" and a struct");
    const RpcValue& report = call.params[1];
    const auto text = [&report](const char* name) {
        const RpcValue* v = report.Member(name);
        return v && v->IsString() ? v->text : std::string();
    };
    // Every member as "name=value" lines; a struct or array as its members' texts.
    std::string members;
    std::function<void(const std::string&, const RpcValue&)> add = [&](const std::string& name, const RpcValue& v) {
        if (v.type == RpcValue::Type::Struct) {
            for (const auto& m : v.members) add(name + "." + m.first, m.second);
        } else if (v.type == RpcValue::Type::Array) {
            for (size_t i = 0; i < v.items.size(); ++i) add(name + "[" + std::to_string(i) + "]", v.items[i]);
        } else {
            members += name + "=" + (v.type == RpcValue::Type::Boolean ? std::to_string(v.number) : v.text) + "\n";
        }
    };
    for (const auto& m : report.members) add(m.first, m.second);
    {
        auto lock = store_.Lock();
        store_.Db()
            .Prepare(
                "INSERT INTO item_reports(received, machine_id, machine_name, program_name, reason, comments, "
                "members) VALUES(?, ?, ?, ?, ?, ?, ?)")
            .Bind(1, UtcNow())
            .Bind(2, text("machineID"))
            .Bind(3, text("machineName"))
            .Bind(4, text("programName"))
            .Bind(5, text("reason"))
            .Bind(6, text("comments"))
            .Bind(7, members)
            .Run();
    }
    Log("catalogue: report on \"" + text("programName").substr(0, 80) + "\" from " + text("machineID").substr(0, 40));
    return RpcResponse(RpcValue::MakeArray({RpcValue::Int(1), RpcValue::String("received")}));
}

std::string CatalogueEndpoint::RecentDocument() {
    std::map<std::string, std::vector<Product>, std::greater<>> days;
    {
        auto lock = store_.Lock();
        Statement st = store_.Db().Prepare(
            std::string(kColumns) +
            " WHERE release_date IN (SELECT DISTINCT release_date FROM products WHERE release_date <> '' "
            "ORDER BY release_date DESC LIMIT ?) ORDER BY release_date DESC, name COLLATE NOCASE");
        st.Bind(1, kRecentDays);
        while (st.Step()) {
            Product p = ProductAt(st);
            days[p.releaseDate].push_back(std::move(p));
        }
    }
    XmlWriter xml;
    xml.Open("recent");
    for (const auto& [date, products] : days) {
        xml.Open("day", {{"date", date}});
        for (const Product& p : products) {
            xml.Open("update", {{"postingTime", date}, {"globalEditorPick", "false"}});
            WriteSummary(xml, p);
            if (!p.downloadUrl.empty()) {
                xml.Open("link", {{"type", "download"}});
                xml.Leaf("ID", std::to_string(p.id));
                xml.Leaf("url", Absolute(p.downloadUrl));
                xml.Close();
            }
            xml.Close();
        }
        xml.Close();
    }
    return xml.Finish();
}

std::optional<std::string> CatalogueEndpoint::DownloadAddress(const std::string& lid) {
    if (!IsDecimal(lid)) return std::nullopt;
    auto lock = store_.Lock();
    Statement st = store_.Db().Prepare("SELECT download_url FROM products WHERE id = ?");
    st.Bind(1, static_cast<int64_t>(std::stoll(lid)));
    if (!st.Step() || st.Text(0).empty()) return std::nullopt;
    return Absolute(st.Text(0));
}

}  // namespace vnservice
