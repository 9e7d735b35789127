// The byte format of the database files: little-endian primitives, length-
// prefixed strings, counts, and object references that name each object's
// class once and refer back to it by index afterwards. ArchiveWriter builds a
// file image in memory; ArchiveReader parses one, checking every length,
// count and index against the data that is really there, and throws
// ArchiveError at the first thing that does not fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "inventory/field_exchange.h"

class VN_ItemGrandBase;

namespace inventory {

class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A class that database files can carry: the name written with its first
// object, its schema number and how to make an empty object of it.
struct PersistentClass {
    const char* name;
    uint16_t schema;
    std::unique_ptr<VN_ItemGrandBase> (*create)();
};

// The program's persistent classes, looked up by exact name. The inventory's
// own ("VN_WatchItem", "VN_DriverItem", "VN_DailyItem", "CMsItem") are always
// known; a subsystem above it adds its classes at start-up, before any file
// is read (the download manager's "CHistoryItem": dlmgr::RegisterItemClasses).
const PersistentClass* FindPersistentClass(std::string_view name);
// In registration order. Entries never move, so pointers to them stay valid.
const std::deque<PersistentClass>& PersistentClasses();
// Adds a class; a name that is known already keeps its first entry. Not for
// use while another thread reads or writes files.
void RegisterPersistentClass(const PersistentClass& cls);

// `bytes` for a one-line message: control bytes, bytes of 128 and above, the
// backslash and the double quote appear as \xNN, so that text taken from a
// file can neither break the line nor pass for something else.
std::string QuoteBytes(std::string_view bytes);

// Tags of object references.
namespace archive_tag {
inline constexpr uint16_t kNull = 0x0000;
inline constexpr uint16_t kNewClass = 0xFFFF;
inline constexpr uint16_t kClass = 0x8000;      // | class index below 0x7FFF
inline constexpr uint16_t kBigObject = 0x7FFF;  // a 32-bit reference follows
inline constexpr uint32_t kBigClass = 0x80000000u;
inline constexpr size_t kMaxClassNameLength = 63;
}  // namespace archive_tag

// Copies `n` (below 256) bytes in pieces of fixed size, the last piece
// overlapping the one before. A field's text is a few dozen bytes: a call of
// memcpy cost more than such a copy, and the compiler's own inline copy of a
// length it knows to be below 256 (a string move instruction) more still.
inline void CopyShort(char* to, const char* from, size_t n) {
    if (n >= 16) {
        for (size_t i = 0; i + 16 < n; i += 16) std::memcpy(to + i, from + i, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else {
        for (size_t i = 0; i < n; ++i) to[i] = from[i];
    }
}

// `n` as a length the compiler knows nothing about. Told that a copy is
// below 256 bytes (a length byte), GCC copies it inline with a string move
// instruction, whose start-up cost made the string copies a sixth of a
// load; a call of memcpy is quicker for such lengths.
inline size_t UnboundedLength(size_t n) {
#if defined(__GNUC__)
    __asm__("" : "+r"(n));
#endif
    return n;
}

class ArchiveWriter {
public:
    void WriteByte(uint8_t value) { *Room(1) = static_cast<char>(value); }
    void WriteWord(uint16_t value) {
        char* p = Room(2);
        p[0] = static_cast<char>(value & 0xFF);
        p[1] = static_cast<char>(value >> 8);
    }
    void WriteDword(uint32_t value) {
        char* p = Room(4);
        p[0] = static_cast<char>(value & 0xFF);
        p[1] = static_cast<char>((value >> 8) & 0xFF);
        p[2] = static_cast<char>((value >> 16) & 0xFF);
        p[3] = static_cast<char>(value >> 24);
    }
    void WriteInt32(int32_t value) { WriteDword(static_cast<uint32_t>(value)); }
    void WriteInt64(int64_t value);
    void WriteBool(bool value) { WriteByte(value ? 1 : 0); }
    // Length prefix (1 byte below 255; 0xFF + WORD below 0xFFFE; else 0xFF,
    // 0xFFFF and a 32-bit length), then the characters.
    void WriteString(std::string_view text) {
        const size_t n = text.size();
        if (n >= 0xFF) return WriteLongString(text);
        char* p = Room(n + 1);
        p[0] = static_cast<char>(n);
        CopyShort(p + 1, text.data(), n);
    }
    // WORD below 0xFFFF, else 0xFFFF and a 32-bit count.
    void WriteCount(size_t count);
    // A reference to `object` (null allowed): its class the first time it
    // occurs, a class index afterwards, then its stored fields. An object
    // written a second time becomes a reference to the first.
    void WriteObject(VN_ItemGrandBase* object);

    void Reserve(size_t bytes) {
        if (bytes > out_.size()) out_.resize(bytes);
    }
    // The image so far (cut to its length; writing on grows it again).
    const std::string& Data() const {
        out_.resize(used_);
        return out_;
    }
    std::string TakeData() {
        out_.resize(used_);
        used_ = 0;
        return std::move(out_);
    }

private:
    // `bytes` more at the end of the image, to be written through the
    // pointer. The buffer grows by doubling and is cut to size by TakeData,
    // so a write is a bounds check and a copy.
    char* Room(size_t bytes) {
        if (out_.size() - used_ < bytes) Grow(bytes);
        char* p = &out_[used_];
        used_ += bytes;
        return p;
    }
    void Grow(size_t bytes);
    void WriteLongString(std::string_view text);

    // The index of each object written so far, by address: open addressing
    // in one array (a list of 10,000 items made as many node allocations
    // in a node-based map, a tenth of the time of the whole save).
    class ObjectIndex {
    public:
        // The object's index, or 0 when it has none yet.
        uint32_t Find(const void* object) const;
        void Add(const void* object, uint32_t index);

    private:
        size_t Slot(const void* object) const;
        struct Entry {
            const void* object;
            uint32_t index;
        };
        std::vector<Entry> slots_;  // a power of two long; object nullptr: free
        size_t used_ = 0;
    };

    mutable std::string out_;  // the image so far is its first used_ bytes
    size_t used_ = 0;
    uint32_t mapCount_ = 1;  // classes and objects share one index sequence from 1
    std::unordered_map<const PersistentClass*, uint32_t> classIndex_;
    ObjectIndex objectIndex_;
    // The class of the last object written, by its name's address: a list
    // holds objects of one class, so the lookup by name is made once.
    const char* lastClassName_ = nullptr;
    const PersistentClass* lastClass_ = nullptr;
};

class ArchiveReader {
public:
    explicit ArchiveReader(std::string_view data) : data_(data) {}

    uint8_t ReadByte() { return static_cast<uint8_t>(*Take(1)); }
    uint16_t ReadWord() {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(Take(2));
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    }
    uint32_t ReadDword() {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(Take(4));
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
               (static_cast<uint32_t>(p[3]) << 24);
    }
    int32_t ReadInt32() { return static_cast<int32_t>(ReadDword()); }
    int64_t ReadInt64();
    bool ReadBool() { return ReadByte() != 0; }
    // Narrow strings as written, and strings of 2-byte characters (prefix
    // 0xFF 0xFFFE), which are converted to the ANSI code page.
    std::string ReadString() {
        std::string text;
        ReadString(text);
        return text;
    }
    // The same into `text`, whose storage is reused.
    void ReadString(std::string& text) {
        if (Remaining() != 0) {
            const auto length = static_cast<unsigned char>(data_[pos_]);
            if (length < 0xFF && length < Remaining()) {
                // Built in place and moved in: the items being loaded
                // have empty strings, and assign's general path (overlap,
                // reuse of the old storage) cost a quarter of a load.
                text = std::string(data_.data() + pos_ + 1, UnboundedLength(length));
                pos_ += size_t{length} + 1;
                return;
            }
        }
        ReadLongString(text);
    }
    uint32_t ReadCount();
    // The next object reference: null, a new object (owned by the caller), or
    // a copy of an object read earlier when the reference repeats it. The
    // copies together may re-read at most kRepeatBudgetFactor times the size
    // of the data, so a small file of repeats cannot make gigabytes.
    std::unique_ptr<VN_ItemGrandBase> ReadObject();
    static constexpr size_t kRepeatBudgetFactor = 4;

    size_t Position() const { return pos_; }
    size_t Remaining() const { return data_.size() - pos_; }
    // Throws unless `count` elements of at least `minBytes` bytes each fit in
    // the rest of the data.
    void RequireRoom(uint64_t count, size_t minBytes) const;

private:
    const char* Take(size_t bytes) {
        if (bytes > Remaining()) FailEnd(bytes);
        const char* p = data_.data() + pos_;
        pos_ += bytes;
        return p;
    }
    [[noreturn]] void FailEnd(size_t bytes) const;
    // The strings of other lengths, and a short one cut by the end of the data.
    void ReadLongString(std::string& text);
    [[noreturn]] void Fail(const std::string& what) const;

    // A class, or an object by the span of its body in the data: a repeat is
    // read again from there, so the reader keeps no pointer to objects it
    // has handed out.
    struct Entry {
        const PersistentClass* cls;
        bool isObject;
        size_t bodyBegin;
        size_t bodyEnd;
    };
    std::string_view data_;
    size_t pos_ = 0;
    uint64_t repeatedBytes_ = 0;                           // body bytes re-read for repeats so far
    std::vector<Entry> map_{Entry{nullptr, false, 0, 0}};  // index 0: the null reference
};

// The field lists written through an archive: names are not stored, only the
// values in order. Both are final and defined here, so that a field list
// walked with one of them as its exchange type (a class's templated
// ExchangeAllFields, see item_base.h) calls them directly and inlines the
// per-field work; through the FieldExchange interface they serve the classes
// whose lists take the interface.
class StoreExchange final : public FieldExchange {
public:
    explicit StoreExchange(ArchiveWriter& w) : w_(w) {}
    bool IsLoading() const override { return false; }
    void Field(const char*, std::string& value) override { w_.WriteString(value); }
    void Field(const char*, int32_t& value) override { w_.WriteInt32(value); }
    void Field(const char*, int64_t& value) override { w_.WriteInt64(value); }
    void Field(const char*, bool& value) override { w_.WriteBool(value); }
    void WordFlag(const char*, bool& value) override { w_.WriteWord(value ? 1 : 0); }
    void Reserved32() override { w_.WriteInt32(0); }
    void Field(const char*, std::vector<std::string>& values) override {
        w_.WriteInt32(CheckedCount(values.size()));
        for (const std::string& v : values) w_.WriteString(v);
    }
    void MemoryField(const char*, std::string&) override {}
    void MemoryField(const char*, int32_t&) override {}
    void MemoryField(const char*, bool&) override {}
    size_t BeginRecords(const char*, size_t count, size_t) override {
        w_.WriteInt32(CheckedCount(count));
        return count;
    }
    void BeginRecord(size_t) override {}
    void EndRecord() override {}
    void EndRecords() override {}

private:
    static int32_t CheckedCount(size_t count);
    ArchiveWriter& w_;
};

class LoadExchange final : public FieldExchange {
public:
    explicit LoadExchange(ArchiveReader& r) : r_(r) {}
    bool IsLoading() const override { return true; }
    void Field(const char*, std::string& value) override { r_.ReadString(value); }
    void Field(const char*, int32_t& value) override { value = r_.ReadInt32(); }
    void Field(const char*, int64_t& value) override { value = r_.ReadInt64(); }
    void Field(const char*, bool& value) override { value = r_.ReadBool(); }
    void WordFlag(const char*, bool& value) override { value = r_.ReadWord() != 0; }
    void Reserved32() override { (void)r_.ReadInt32(); }
    void Field(const char*, std::vector<std::string>& values) override {
        const size_t count = ReadCount32(1);
        for (size_t i = 0; i < count; ++i) values.push_back(r_.ReadString());
    }
    void MemoryField(const char*, std::string&) override {}
    void MemoryField(const char*, int32_t&) override {}
    void MemoryField(const char*, bool&) override {}
    size_t BeginRecords(const char*, size_t, size_t minRecordBytes) override { return ReadCount32(minRecordBytes); }
    void BeginRecord(size_t) override {}
    void EndRecord() override {}
    void EndRecords() override {}

private:
    // A 32-bit count that must not be negative, checked against the room left.
    size_t ReadCount32(size_t minElementBytes);
    ArchiveReader& r_;
};

// Makes a class level's templated field list (ExchangeOwnFields, see
// item_base.h) for the interface and the archive's two exchanges; written
// after the list in the class's source file.
#define VN_INSTANTIATE_FIELD_LIST(Class)                               \
    template void Class::ExchangeOwnFields(inventory::FieldExchange&); \
    template void Class::ExchangeOwnFields(inventory::StoreExchange&); \
    template void Class::ExchangeOwnFields(inventory::LoadExchange&);

// Stores an object's fields into a writer, or loads them from a reader.
void StoreFields(ArchiveWriter& writer, VN_ItemGrandBase& object);
void LoadFields(ArchiveReader& reader, VN_ItemGrandBase& object);

}  // namespace inventory
