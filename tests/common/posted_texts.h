// A notifier for tests that keeps what workers post: the texts of
// "WM_Varnel10_SetMessage" (taken out of their blocks, which frees them, as
// the main window would) and every other posted or sent message.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/scoped_hook.h"
#include "platform/message_names.h"
#include "platform/notifier.h"
#include "platform/post_safe.h"
#include "platform/text_block.h"

namespace testing_transport {

struct PostedMessage {
    platform::WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

struct Recorded {
    std::mutex mutex;
    std::vector<std::string> texts;        // of "WM_Varnel10_SetMessage", in order
    std::vector<PostedMessage> others;     // every other message
    std::vector<intptr_t> setMessageLParams;
    bool refusePosts = false;              // answer every post with failure

    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(mutex);
        return texts;
    }
};

class RecordingNotifier : public platform::INotifier {
public:
    explicit RecordingNotifier(std::shared_ptr<Recorded> out) : out_(std::move(out)) {}
    bool Post(platform::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(out_->mutex);
        if (out_->refusePosts) return false;
        if (message == platform::RegisterMessage(wmname::kSetMessage)) {
            out_->texts.push_back(platform::TakeTextBlock(wParam));
            out_->setMessageLParams.push_back(lParam);
        } else {
            out_->others.push_back({window, message, wParam, lParam});
        }
        return true;
    }
    intptr_t Send(platform::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(out_->mutex);
        out_->others.push_back({window, message, wParam, lParam});
        return 0;
    }

private:
    std::shared_ptr<Recorded> out_;
};

// Installs a recording notifier and a main window for the life of the object.
class PostedTexts {
public:
    explicit PostedTexts(platform::WindowHandle mainWindow = reinterpret_cast<platform::WindowHandle>(0x1234))
        : recorded_(std::make_shared<Recorded>()), notifier_(std::make_unique<RecordingNotifier>(recorded_)) {
        platform::SetMainWindow(mainWindow);
    }
    ~PostedTexts() { platform::SetMainWindow(nullptr); }
    PostedTexts(const PostedTexts&) = delete;
    PostedTexts& operator=(const PostedTexts&) = delete;

    std::vector<std::string> Texts() { return recorded_->Texts(); }
    Recorded& recorded() { return *recorded_; }

private:
    std::shared_ptr<Recorded> recorded_;
    testing_support::ScopedHook<platform::InstallNotifier> notifier_;
};

}  // namespace testing_transport
