#include "scanners/file_cache.h"

#include <cstdio>
#include <cstdlib>

#include "platform/log.h"

namespace fileid {

namespace {

// The file: a header line, one line per file, and an end line with the count,
// so that a cut file is told from a whole one. Fields are separated by tabs:
//   path  size  write-time  version-result  version-bytes  md5
// The version result is "-" when the version was not read, else 8 hex digits;
// the bytes are in hex.
constexpr std::string_view kHeader = "VarnelFileCache\t1\n";
constexpr std::string_view kEnd = "end\t";

constexpr uint32_t kErrorBadFormat = 11;               // ERROR_BAD_FORMAT
constexpr uint32_t kErrorBadExeFormat = 193;           // ERROR_BAD_EXE_FORMAT
constexpr uint32_t kErrorResourceDataNotFound = 1812;  // ERROR_RESOURCE_DATA_NOT_FOUND
constexpr uint32_t kErrorResourceNameNotFound = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND

bool Storable(std::string_view path) { return !path.empty() && path.find_first_of("\t\n\r") == std::string_view::npos; }

void AppendHex(std::string& out, std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    const size_t at = out.size();
    out.resize(at + bytes.size() * 2);
    char* p = &out[at];
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *p++ = digits[b >> 4];
        *p++ = digits[b & 15];
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool FromHex(std::string_view hex, std::string& out) {
    if (hex.size() % 2 != 0) return false;
    out.resize(hex.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const int high = HexDigit(hex[2 * i]);
        const int low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        out[i] = static_cast<char>(high << 4 | low);
    }
    return true;
}

bool ParseNumber(std::string_view text, int base, uint64_t& out) {
    if (text.empty() || text.size() > 20) return false;
    out = 0;
    for (const char c : text) {
        const int d = base == 16 ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) return false;
        const uint64_t next = out * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (next / static_cast<uint64_t>(base) != out) return false;  // overflow
        out = next;
    }
    return true;
}

// Splits off the text up to the next tab (or the end).
std::string_view NextField(std::string_view& line) {
    const size_t tab = line.find('\t');
    const std::string_view field = line.substr(0, tab);
    line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    return field;
}

}  // namespace

bool IsLastingVersionFailure(HResult result) {
    for (const uint32_t error : {kErrorBadFormat, kErrorBadExeFormat, kErrorResourceDataNotFound,
                                 kErrorResourceTypeNotFound, kErrorResourceNameNotFound}) {
        if (result == FromSystemError(error)) return true;
    }
    return false;
}

std::string CFileCache::Serialize(const Entries& entries) {
    std::string out(kHeader);
    size_t count = 0;
    for (const auto& [path, entry] : entries) {
        if (!Storable(path) || (!entry.hasVersion && entry.md5.empty() && !entry.hasLink)) continue;
        char numbers[80];
        std::snprintf(numbers, sizeof numbers, "\t%llu\t%llu\t", static_cast<unsigned long long>(entry.stamp.size),
                      static_cast<unsigned long long>(entry.stamp.writeTime));
        out += path;
        out += numbers;
        if (entry.hasVersion) {
            char result[16];
            std::snprintf(result, sizeof result, "%08x", static_cast<unsigned>(entry.versionResult));
            out += result;
        } else {
            out += '-';
        }
        out += '\t';
        AppendHex(out, entry.versionBytes);
        out += '\t';
        out += entry.md5;
        out += entry.hasLink ? "\tL\t" : "\t-\t";
        AppendHex(out, entry.link.target);
        out += '\t';
        AppendHex(out, entry.link.arguments);
        out += '\t';
        AppendHex(out, entry.link.description);
        out += '\n';
        ++count;
    }
    out += kEnd;
    out += std::to_string(count);
    out += '\n';
    return out;
}

std::optional<CFileCache::Entries> CFileCache::Parse(std::string_view text) {
    if (text.substr(0, kHeader.size()) != kHeader) return std::nullopt;
    text.remove_prefix(kHeader.size());
    Entries entries;
    uint64_t count = 0;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        if (newline == std::string_view::npos) return std::nullopt;  // a cut line
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline + 1);
        if (line.substr(0, kEnd.size()) == kEnd) {
            uint64_t stated = 0;
            if (!text.empty() || !ParseNumber(line.substr(kEnd.size()), 10, stated) || stated != count)
                return std::nullopt;
            return entries;
        }
        const std::string_view path = NextField(line);
        const std::string_view size = NextField(line);
        const std::string_view time = NextField(line);
        const std::string_view result = NextField(line);
        const std::string_view bytes = NextField(line);
        const std::string_view md5 = NextField(line);
        const std::string_view hasLink = NextField(line);
        const std::string_view target = NextField(line);
        const std::string_view arguments = NextField(line);
        const std::string_view description = line;
        Entry entry;
        uint64_t code = 0;
        if (!Storable(path) || !ParseNumber(size, 10, entry.stamp.size) ||
            !ParseNumber(time, 10, entry.stamp.writeTime) || md5.find('\t') != std::string_view::npos ||
            (!md5.empty() && md5.size() != 32))
            return std::nullopt;
        if (result == "-") {
            if (!bytes.empty()) return std::nullopt;
        } else {
            if (result.size() != 8 || !ParseNumber(result, 16, code) || !FromHex(bytes, entry.versionBytes))
                return std::nullopt;
            entry.hasVersion = true;
            entry.versionResult = static_cast<HResult>(static_cast<uint32_t>(code));
            if ((entry.versionResult == kOk) == entry.versionBytes.empty()) return std::nullopt;
        }
        entry.md5 = std::string(md5);
        if (hasLink != "L" && hasLink != "-") return std::nullopt;
        entry.hasLink = hasLink == "L";
        if (description.find('\t') != std::string_view::npos || !FromHex(target, entry.link.target) ||
            !FromHex(arguments, entry.link.arguments) || !FromHex(description, entry.link.description) ||
            (!entry.hasLink && !(target.empty() && arguments.empty() && description.empty())))
            return std::nullopt;
        if (!entries.emplace(std::string(path), std::move(entry)).second) return std::nullopt;
        ++count;
    }
    return std::nullopt;  // no end line
}

void CFileCache::Open(const std::string& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_ && file_ == file) return;
    open_ = true;
    file_ = file;
    entries_.clear();
    std::string text;
    const platform::ReadOutcome outcome = platform::ReadWholeFile(file, text);
    if (outcome == platform::ReadOutcome::kCannotOpen) return;  // none yet: it is built by this pass
    std::optional<Entries> loaded;
    if (outcome == platform::ReadOutcome::kRead) loaded = Parse(text);
    if (!loaded) {
        vnlog::Write("The file cache " + file + " is damaged; it is rebuilt.");
        return;
    }
    entries_ = std::move(*loaded);
}

void CFileCache::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    file_.clear();
    entries_.clear();
}

bool CFileCache::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void CFileCache::BeginPass() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [path, entry] : entries_) entry.used = false;
}

bool CFileCache::Save(bool prune) {
    std::string text;
    std::string file;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_) return false;
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (prune && !it->second.used) it = entries_.erase(it);
            else ++it;
        }
        text = Serialize(entries_);
        file = file_;
    }
    if (platform::WriteFileAtomically(file, text)) return true;
    vnlog::Write("The file cache " + file + " could not be written.");
    return false;
}

CFileCache::Entry* CFileCache::Current(const std::string& path) {
    if (!open_ || !Storable(path)) return nullptr;
    const std::optional<platform::FileStamp> stamp = platform::StampOf(path);
    if (!stamp) return nullptr;
    Entry& entry = entries_[path];
    if (entry.stamp != *stamp) {
        entry = Entry();
        entry.stamp = *stamp;
    }
    entry.used = true;
    return &entry;
}

namespace {

VersionInfoRead FromBytes(HResult result, std::string_view bytes) {
    VersionInfoRead read;
    read.result = result;
    if (result == kOk) {
        read.info = VersionInfoFromBytes(bytes);
        if (!read.info) read.result = kOutOfMemory;
    }
    return read;
}

}  // namespace

VersionInfoRead CFileCache::ReadVersion(const std::string& path) {
    std::optional<platform::FileStamp> before;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (const Entry* entry = Current(path)) {
            if (entry->hasVersion) return FromBytes(entry->versionResult, entry->versionBytes);
            before = entry->stamp;
        }
    }
    VersionBytesRead bytes = ReadVersionBytes(path);
    VersionInfoRead read = FromBytes(bytes.result, bytes.bytes);
    // Kept only when the file did not change while it was read.
    if (before && (read.info || IsLastingVersionFailure(read.result))) {
        std::lock_guard<std::mutex> lock(mutex_);
        Entry* entry = Current(path);
        if (entry && entry->stamp == *before) {
            entry->hasVersion = true;
            entry->versionResult = read.result;
            entry->versionBytes = read.info ? std::move(bytes.bytes) : std::string();
        }
    }
    return read;
}

std::string CFileCache::StoredDigest(const std::string& path, std::optional<platform::FileStamp>& stamp) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Entry* entry = Current(path);
    if (!entry) return std::string();
    stamp = entry->stamp;
    return entry->md5;
}

void CFileCache::KeepDigest(const std::string& path, const platform::FileStamp& stamp, const std::string& md5) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry* entry = Current(path);
    if (entry && entry->stamp == stamp) entry->md5 = md5;
}

bool CFileCache::FindLink(const std::string& path, Link& link, std::optional<platform::FileStamp>& stamp) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Entry* entry = Current(path);
    if (!entry) return false;
    stamp = entry->stamp;
    if (!entry->hasLink) return false;
    link = entry->link;
    return true;
}

void CFileCache::KeepLink(const std::string& path, const platform::FileStamp& stamp, const Link& link) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry* entry = Current(path);
    if (!entry || entry->stamp != stamp) return;
    entry->hasLink = true;
    entry->link = link;
}

CFileCache& ProcessFileCache() {
    static CFileCache cache;
    return cache;
}

VersionInfoRead ReadVersionInfo(const std::string& path) { return ProcessFileCache().ReadVersion(path); }

}  // namespace fileid
