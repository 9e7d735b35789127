#include "inventory/field_copy.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace inventory::detail {
namespace {

enum class Kind { Text, Int32, Int64, Flag, Texts };

struct Slot {
    Kind kind;
    const void* value;
};

// Notes where each field of the source item lives.
class SourceFields final : public FieldExchange {
public:
    bool IsLoading() const override { return false; }
    void Field(const char*, std::string& value) override { Add(Kind::Text, &value); }
    void Field(const char*, int32_t& value) override { Add(Kind::Int32, &value); }
    void Field(const char*, int64_t& value) override { Add(Kind::Int64, &value); }
    void Field(const char*, bool& value) override { Add(Kind::Flag, &value); }
    void WordFlag(const char*, bool& value) override { Add(Kind::Flag, &value); }
    void Reserved32() override {}
    void Field(const char*, std::vector<std::string>& values) override { Add(Kind::Texts, &values); }
    void MemoryField(const char*, std::string& value) override { Add(Kind::Text, &value); }
    void MemoryField(const char*, int32_t& value) override { Add(Kind::Int32, &value); }
    void MemoryField(const char*, bool& value) override { Add(Kind::Flag, &value); }
    size_t BeginRecords(const char*, size_t, size_t) override { return Unsupported(); }
    void BeginRecord(size_t) override { Unsupported(); }
    void EndRecord() override { Unsupported(); }
    void EndRecords() override { Unsupported(); }

    std::vector<Slot> slots;

private:
    void Add(Kind kind, const void* value) { slots.push_back({kind, value}); }
    static size_t Unsupported() { throw std::logic_error("records are not copied field by field"); }
};

// Applies the noted fields to the receiving item, one by one.
class TargetFields final : public FieldExchange {
public:
    TargetFields(FieldRule rule, const std::vector<Slot>& slots) : rule_(rule), slots_(slots) {}

    bool IsLoading() const override { return true; }
    void Field(const char*, std::string& value) override { Apply(Kind::Text, value); }
    void Field(const char*, int32_t& value) override { Apply(Kind::Int32, value); }
    void Field(const char*, int64_t& value) override { Apply(Kind::Int64, value); }
    void Field(const char*, bool& value) override { Apply(Kind::Flag, value); }
    void WordFlag(const char*, bool& value) override { Apply(Kind::Flag, value); }
    void Reserved32() override {}
    void Field(const char*, std::vector<std::string>& values) override { Apply(Kind::Texts, values); }
    void MemoryField(const char*, std::string& value) override { Apply(Kind::Text, value); }
    void MemoryField(const char*, int32_t& value) override { Apply(Kind::Int32, value); }
    void MemoryField(const char*, bool& value) override { Apply(Kind::Flag, value); }
    size_t BeginRecords(const char*, size_t, size_t) override { return Unsupported(); }
    void BeginRecord(size_t) override { Unsupported(); }
    void EndRecord() override { Unsupported(); }
    void EndRecords() override { Unsupported(); }

    bool AllApplied() const { return next_ == slots_.size(); }

private:
    template <typename T>
    void Apply(Kind kind, T& value) {
        if (next_ >= slots_.size() || slots_[next_].kind != kind)
            throw std::logic_error("the two items list different fields");
        const T& from = *static_cast<const T*>(slots_[next_++].value);
        if (rule_ == FieldRule::Copy || value == T()) value = from;
    }
    static size_t Unsupported() { throw std::logic_error("records are not copied field by field"); }

    FieldRule rule_;
    const std::vector<Slot>& slots_;
    size_t next_ = 0;
};

}  // namespace

void ApplyFields(FieldRule rule, const FieldWalk& walk) {
    SourceFields source;
    walk.From(source);
    TargetFields target(rule, source.slots);
    walk.To(target);
    if (!target.AllApplied()) throw std::logic_error("the two items list different fields");
}

}  // namespace inventory::detail
