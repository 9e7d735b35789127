#include "inventory/archive.h"

#include <cstring>
#include <limits>

#include "inventory/field_exchange.h"
#include "inventory/item_base.h"
#include "platform/codepage.h"

namespace inventory {

std::string QuoteBytes(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '\\' || c == '"') {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

void StoreFields(ArchiveWriter& writer, VN_ItemGrandBase& object) {
    StoreExchange fx(writer);
    object.StoreFields(fx);
}

void LoadFields(ArchiveReader& reader, VN_ItemGrandBase& object) {
    LoadExchange fx(reader);
    object.LoadFields(fx);
}

int32_t StoreExchange::CheckedCount(size_t count) {
    if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw ArchiveError("too many entries to store");
    return static_cast<int32_t>(count);
}

size_t LoadExchange::ReadCount32(size_t minElementBytes) {
    const size_t at = r_.Position();
    const int32_t count = r_.ReadInt32();
    if (count < 0) throw ArchiveError("negative count " + std::to_string(count) + " at offset " + std::to_string(at));
    r_.RequireRoom(static_cast<uint64_t>(count), minElementBytes);
    return static_cast<size_t>(count);
}

// ------------------------------------------------------------ ArchiveWriter

void ArchiveWriter::Grow(size_t bytes) {
    size_t size = out_.size() < 256 ? 256 : out_.size() * 2;
    while (size - used_ < bytes) size *= 2;
    out_.resize(size);
}

void ArchiveWriter::WriteInt64(int64_t value) {
    const uint64_t v = static_cast<uint64_t>(value);
    WriteDword(static_cast<uint32_t>(v & 0xFFFFFFFFu));
    WriteDword(static_cast<uint32_t>(v >> 32));
}

void ArchiveWriter::WriteLongString(std::string_view text) {
    const size_t n = text.size();
    if (n < 0xFFFE) {
        WriteByte(0xFF);
        WriteWord(static_cast<uint16_t>(n));
    } else {
        if (n >= 0xFFFFFFFFu) throw ArchiveError("string too long to store");
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDword(static_cast<uint32_t>(n));
    }
    std::memcpy(Room(n), text.data(), n);
}

void ArchiveWriter::WriteCount(size_t count) {
    if (count < 0xFFFF) {
        WriteWord(static_cast<uint16_t>(count));
    } else {
        if (count > 0xFFFFFFFFu) throw ArchiveError("too many entries to store");
        WriteWord(0xFFFF);
        WriteDword(static_cast<uint32_t>(count));
    }
}

size_t ArchiveWriter::ObjectIndex::Slot(const void* object) const {
    // Objects are at least 8-byte aligned: the low bits say nothing.
    uint64_t key = reinterpret_cast<uintptr_t>(object) >> 3;
    key *= 0x9E3779B97F4A7C15ull;
    key ^= key >> 32;
    return static_cast<size_t>(key) & (slots_.size() - 1);
}

uint32_t ArchiveWriter::ObjectIndex::Find(const void* object) const {
    if (slots_.empty()) return 0;
    for (size_t i = Slot(object);; i = (i + 1) & (slots_.size() - 1)) {
        if (slots_[i].object == object) return slots_[i].index;
        if (!slots_[i].object) return 0;
    }
}

void ArchiveWriter::ObjectIndex::Add(const void* object, uint32_t index) {
    // At most half full, so that a search soon meets a free slot.
    if ((used_ + 1) * 2 > slots_.size()) {
        std::vector<Entry> old = std::move(slots_);
        slots_.assign(old.empty() ? 1024 : old.size() * 2, Entry{nullptr, 0});
        for (const Entry& e : old)
            if (e.object) {
                size_t i = Slot(e.object);
                while (slots_[i].object) i = (i + 1) & (slots_.size() - 1);
                slots_[i] = e;
            }
    }
    size_t i = Slot(object);
    while (slots_[i].object) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = Entry{object, index};
    ++used_;
}

void ArchiveWriter::WriteObject(VN_ItemGrandBase* object) {
    using namespace archive_tag;
    if (!object) {
        WriteWord(kNull);
        return;
    }
    if (const uint32_t seen = objectIndex_.Find(object)) {
        if (seen < kBigObject) {
            WriteWord(static_cast<uint16_t>(seen));
        } else {
            WriteWord(kBigObject);
            WriteDword(seen);
        }
        return;
    }
    const char* name = object->RuntimeClassName();
    if (name != lastClassName_ || !name) {
        lastClass_ = name ? FindPersistentClass(name) : nullptr;
        lastClassName_ = name;
    }
    const PersistentClass* cls = lastClass_;
    if (!cls) throw ArchiveError(std::string("objects of this class cannot be stored: ") + (name ? name : "(none)"));

    const auto known = classIndex_.find(cls);
    if (known != classIndex_.end()) {
        if (known->second < kBigObject) {
            WriteWord(static_cast<uint16_t>(kClass | known->second));
        } else {
            WriteWord(kBigObject);
            WriteDword(kBigClass | known->second);
        }
    } else {
        const size_t len = std::strlen(cls->name);
        WriteWord(kNewClass);
        WriteWord(cls->schema);
        WriteWord(static_cast<uint16_t>(len));
        std::memcpy(Room(len), cls->name, len);
        classIndex_.emplace(cls, mapCount_++);
    }
    objectIndex_.Add(object, mapCount_++);
    StoreFields(*this, *object);
}

// ------------------------------------------------------------ ArchiveReader

void ArchiveReader::Fail(const std::string& what) const {
    throw ArchiveError(what + " at offset " + std::to_string(pos_));
}

void ArchiveReader::FailEnd(size_t bytes) const {
    Fail("unexpected end of data (" + std::to_string(bytes) + " bytes needed, " + std::to_string(Remaining()) +
         " left)");
}

void ArchiveReader::RequireRoom(uint64_t count, size_t minBytes) const {
    if (minBytes == 0) minBytes = 1;
    if (count > Remaining() / minBytes)
        Fail("count " + std::to_string(count) + " does not fit in the remaining " + std::to_string(Remaining()) +
             " bytes");
}

int64_t ArchiveReader::ReadInt64() {
    const uint64_t low = ReadDword();
    const uint64_t high = ReadDword();
    return static_cast<int64_t>(low | (high << 32));
}

void ArchiveReader::ReadLongString(std::string& text) {
    bool wide = false;
    uint32_t length = ReadByte();
    if (length == 0xFF) {
        length = ReadWord();
        if (length == 0xFFFE) {
            wide = true;
            length = ReadByte();
            if (length == 0xFF) length = ReadWord();
        }
        if (length == 0xFFFF) length = ReadDword();
    }
    if (!wide) {
        const char* p = Take(length);
        text.assign(p, length);
        return;
    }
    if (length > Remaining() / 2) Fail("unexpected end of data in a string of 2-byte characters");
    const unsigned char* p = reinterpret_cast<const unsigned char*>(Take(size_t{length} * 2));
    std::u16string wideText(length, u'\0');
    for (size_t i = 0; i < length; ++i) wideText[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    text = platform::Utf16ToAnsi(wideText);
}

uint32_t ArchiveReader::ReadCount() {
    const uint16_t count = ReadWord();
    return count != 0xFFFF ? count : ReadDword();
}

std::unique_ptr<VN_ItemGrandBase> ArchiveReader::ReadObject() {
    using namespace archive_tag;
    const size_t at = pos_;
    const uint16_t tag = ReadWord();
    const PersistentClass* cls = nullptr;

    if (tag == kNewClass) {
        const uint16_t schema = ReadWord();
        const uint16_t nameLength = ReadWord();
        if (nameLength > kMaxClassNameLength) Fail("class name of " + std::to_string(nameLength) + " characters");
        const std::string name(Take(nameLength), nameLength);
        cls = FindPersistentClass(name);
        if (!cls) Fail("unknown class \"" + QuoteBytes(name) + "\"");
        if (schema != cls->schema)
            Fail(std::string("class ") + cls->name + " has schema " + std::to_string(schema) + ", expected " +
                 std::to_string(cls->schema));
        map_.push_back(Entry{cls, false, 0, 0});
    } else {
        const uint32_t ref =
            tag == kBigObject ? ReadDword() : ((static_cast<uint32_t>(tag & kClass) << 16) | (tag & ~kClass));
        const uint32_t index = ref & ~kBigClass;
        if (index >= map_.size()) {
            pos_ = at;
            Fail("reference to index " + std::to_string(index) + " of " + std::to_string(map_.size() - 1));
        }
        const Entry& entry = map_[index];
        if (ref & kBigClass) {
            if (index == 0 || entry.isObject || !entry.cls) {
                pos_ = at;
                Fail("index " + std::to_string(index) + " is not a class");
            }
            cls = entry.cls;
        } else {
            if (index == 0) return nullptr;
            if (!entry.isObject) {
                pos_ = at;
                Fail("index " + std::to_string(index) + " is not an object");
            }
            // A list entry that repeats an earlier object. Each list entry is
            // owned on its own, so the repeat becomes an equal copy, read
            // again from the earlier object's body.
            const size_t bodyLength = entry.bodyEnd - entry.bodyBegin;
            repeatedBytes_ += bodyLength;
            if (repeatedBytes_ > uint64_t{kRepeatBudgetFactor} * data_.size()) {
                pos_ = at;
                Fail("repeated objects would copy more than " + std::to_string(kRepeatBudgetFactor) + " times the " +
                     std::to_string(data_.size()) + " bytes of the data");
            }
            std::unique_ptr<VN_ItemGrandBase> copy = entry.cls->create();
            ArchiveReader bodyReader(data_.substr(entry.bodyBegin, bodyLength));
            LoadFields(bodyReader, *copy);
            return copy;
        }
    }

    std::unique_ptr<VN_ItemGrandBase> object = cls->create();
    const size_t entryIndex = map_.size();
    map_.push_back(Entry{cls, true, pos_, pos_});
    LoadFields(*this, *object);
    map_[entryIndex].bodyEnd = pos_;
    return object;
}

}  // namespace inventory
