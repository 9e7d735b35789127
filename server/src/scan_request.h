// Reads the scan document an agent posts: the pre-scan request (identity of
// the machine only) or the check request (with every item of its watch list
// and driver list). The document comes from the network, so the reader bounds
// what it keeps, refuses document type declarations (no entity expansion) and
// answers a clear error for anything that is not a scan document.
//
// The agent writes its document in its Windows ANSI code page under a bare
// XML declaration; in practice nearly all of it is ASCII. The reader takes the
// bytes as UTF-8 when they are valid UTF-8 and as Windows-1252 otherwise,
// whatever the declaration says, and hands back UTF-8 texts.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vnservice {

// One leaf element of an item, named by its path below `item` ("ProgName",
// "ProcessIdentity/BaseName") and, when the element carries one of the
// attributes type, src, from or HexRank, that value in brackets
// ("GUID[product]", "Md5Id[exe]", "ID[fingerPrint]", "HwId[2000]").
struct ItemField {
    std::string name;
    std::string text;  // surrounding white space removed
};

// An `icon` element of an item: a PNG in Base64, or the generic marker the
// agent sends for an item that has no icon file.
struct ItemIcon {
    bool generic = false;
    std::string productId, width, height, format, encoding;
    std::string data;  // the Base64 text
};

struct RequestItem {
    std::vector<ItemField> fields;  // in document order
    std::vector<ItemIcon> icons;

    // The text of the first field of that name, or empty.
    const std::string& Field(std::string_view name) const;
    bool Has(std::string_view name) const;
    const std::string& Sequence() const { return Field("Sequence"); }
    bool IsDriver() const { return Field("ItemType") == "driver"; }
};

struct ScanRequest {
    // Root attributes.
    std::string clientVersion, clientPlatform, revision;
    std::string scanId, timestamp;
    // authentication
    std::string authType, machineName, machineId, exclusionListDate;
    // Leaf texts of systemProfile and clientsettings by path ("operatingSystem/name").
    std::map<std::string, std::string> profile, clientSettings;
    // True when the document has a software.scanned element: a check request.
    bool isCheck = false;
    std::vector<RequestItem> items;
};

// What a document may hold. A real agent's item has at most a few dozen
// elements (a driver with many hardware identifiers the most) and a machine
// a few thousand items; the bounds leave ample room above that while keeping
// the rows one check stores, and the time it takes, bounded.
struct ParseLimits {
    size_t maxItems = 10000;
    size_t maxFieldsPerItem = 128;        // elements and icons of one item
    size_t maxFieldsPerDocument = 50000;  // over all items
    size_t maxTextBytes = 1u << 20;       // one element's text (icons are the largest)
    size_t maxDepth = 32;
};

struct ParsedRequest {
    bool ok = false;
    bool tooLarge = false;  // refused for holding more than the limits allow
    std::string error;      // why the document was refused, when !ok
    ScanRequest request;
};

ParsedRequest ParseScanRequest(std::string_view document, const ParseLimits& limits = {});

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

}  // namespace vnservice
