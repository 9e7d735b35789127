// The field list of a persistent item, written once and walked in both
// directions. Each persistent class lists its stored fields, in file order, in
// ExchangeFields; the database archive implements this interface to write or
// read the bytes, and other tools (vntool's JSON form) implement it to show or
// build the same fields by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace inventory {

class FieldExchange {
public:
    virtual ~FieldExchange() = default;

    // True when the fields are being filled, false when they are being stored.
    virtual bool IsLoading() const = 0;

    virtual void Field(const char* name, std::string& value) = 0;
    virtual void Field(const char* name, int32_t& value) = 0;
    virtual void Field(const char* name, int64_t& value) = 0;
    virtual void Field(const char* name, bool& value) = 0;
    // A flag stored as a 16-bit word (0 or 1 written; any non-zero word reads as true).
    virtual void WordFlag(const char* name, bool& value) = 0;
    // A 32-bit slot that is written as 0 and ignored when read.
    virtual void Reserved32() = 0;
    // A 32-bit count, then that many strings. Loaded entries are appended.
    virtual void Field(const char* name, std::vector<std::string>& values) = 0;
    // A field kept in memory only: never stored or shown, but copied and merged
    // with the stored ones (see field_copy.h). Stores and loads skip it.
    virtual void MemoryField(const char*, std::string&) {}
    virtual void MemoryField(const char*, int32_t&) {}
    virtual void MemoryField(const char*, bool&) {}

    // A 32-bit count, then that many records of fields. Storing, `count` is the
    // number of records to write; loading, the number read is returned. Each
    // record's fields are exchanged between BeginRecord and EndRecord.
    // `minRecordBytes` is the least space one record can take in a file, so a
    // reader can reject counts the remaining data cannot hold.
    virtual size_t BeginRecords(const char* name, size_t count, size_t minRecordBytes) = 0;
    virtual void BeginRecord(size_t index) = 0;
    virtual void EndRecord() = 0;
    virtual void EndRecords() = 0;
};

}  // namespace inventory
