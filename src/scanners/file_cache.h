// What the agent derived from each file it read, kept between passes so that
// a rescan reads only the files that changed: a program's version information
// (the bytes the platform's version read gave, or the lasting failure) and its
// MD5 digest, a shortcut's target, arguments and description, keyed by path,
// size and last-write time. A file whose size or time differs from the
// entry's is read again.
//
// The process has one cache (ProcessFileCache). It is open only while a caller
// (the inventory pass) has opened it over a file of the data folder; closed,
// every read goes to the file. The file is rewritten atomically; a missing
// file starts an empty cache, a damaged one is logged and ignored.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "scanners/version_info.h"

namespace fileid {

// The cache's file name in the data folder.
inline constexpr char kFileCacheName[] = "filecache.db";

class CFileCache {
public:
    // Opens the cache over `file`: loads it unless it is already open over
    // the same file (then what it holds in memory stays).
    void Open(const std::string& file);
    // Forgets everything held in memory; reads go to the files again.
    void Close();
    bool IsOpen() const;
    // A pass begins: from now on the cache notes which files it is asked about.
    void BeginPass();

    // Writes the entries to the file (atomically). With `prune` (after a pass
    // that ran to its end), the entries no one asked about since BeginPass
    // are dropped first, so the cache holds only files that are still found.
    // The check saves it again without pruning, to keep the digests it made.
    // False when it could not be written (logged); the cache stays open.
    bool Save(bool prune);

    // The version information of the file as it is now, through the cache.
    VersionInfoRead ReadVersion(const std::string& path);
    // The file's MD5 as it is now: the cached one, else `compute()`'s answer,
    // which is kept when it is a digest (32 characters).
    template <typename Compute>
    std::string Digest(const std::string& path, Compute compute);

    // What a shortcut file names, as the shell link read it.
    struct Link {
        std::string target;
        std::string arguments;
        std::string description;
    };
    // The cached link of the shortcut as it is now (true), else false; `stamp`
    // receives the file's stamp when the cache is open and the file has one.
    bool FindLink(const std::string& path, Link& link, std::optional<platform::FileStamp>& stamp);
    // Keeps the link read from the shortcut with `stamp`, if it still has it.
    void KeepLink(const std::string& path, const platform::FileStamp& stamp, const Link& link);

    // The text image of entries, and its reading (nothing when damaged). For
    // the tests and the file.
    struct Entry {
        platform::FileStamp stamp;
        bool hasVersion = false;
        HResult versionResult = kFail;
        std::string versionBytes;
        std::string md5;  // empty: not known
        bool hasLink = false;
        Link link;
        bool used = false;
    };
    using Entries = std::map<std::string, Entry>;
    static std::string Serialize(const Entries& entries);
    static std::optional<Entries> Parse(std::string_view text);

private:
    // The entry for the file as it is now, made empty when the file changed;
    // nullptr when the cache is closed or the file has no stamp.
    Entry* Current(const std::string& path);
    // The cached digest (empty when not known) and the stamp it is for.
    std::string StoredDigest(const std::string& path, std::optional<platform::FileStamp>& stamp);
    // Keeps the digest computed for the file with `stamp`, if it still has it.
    void KeepDigest(const std::string& path, const platform::FileStamp& stamp, const std::string& md5);

    mutable std::mutex mutex_;
    bool open_ = false;
    std::string file_;
    Entries entries_;
};

// The process's file cache.
CFileCache& ProcessFileCache();

// Whether a failed version read is lasting (the file has no version
// resource), so that the cache may keep it.
bool IsLastingVersionFailure(HResult result);

template <typename Compute>
std::string CFileCache::Digest(const std::string& path, Compute compute) {
    std::optional<platform::FileStamp> stamp;
    std::string md5 = StoredDigest(path, stamp);
    if (!md5.empty()) return md5;
    md5 = compute();
    if (stamp && md5.size() == 32) KeepDigest(path, *stamp, md5);
    return md5;
}

}  // namespace fileid
