// An event log for tests that keeps every reported event (kind and text).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/scoped_hook.h"
#include "platform/event_log.h"

namespace testing_support {

struct RecordedEvent {
    platform::EventKind kind;
    std::string text;
};

struct RecordedEvents {
    std::mutex mutex;
    std::vector<RecordedEvent> events;
    std::vector<RecordedEvent> Events() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> texts;
        for (const RecordedEvent& e : events) texts.push_back(e.text);
        return texts;
    }
};

class RecordingEventLog : public platform::IEventLog {
public:
    explicit RecordingEventLog(std::shared_ptr<RecordedEvents> out) : out_(std::move(out)) {}
    bool Report(platform::EventKind kind, const std::string& text) override {
        std::lock_guard<std::mutex> lock(out_->mutex);
        out_->events.push_back({kind, text});
        return true;
    }

private:
    std::shared_ptr<RecordedEvents> out_;
};

// Installs a recording event log for the life of the object.
class EventRecorder {
public:
    EventRecorder() : events_(std::make_shared<RecordedEvents>()), log_(std::make_unique<RecordingEventLog>(events_)) {}
    std::vector<std::string> Texts() { return events_->Texts(); }
    std::vector<RecordedEvent> Events() { return events_->Events(); }

private:
    std::shared_ptr<RecordedEvents> events_;
    ScopedHook<platform::InstallEventLog> log_;
};

}  // namespace testing_support
