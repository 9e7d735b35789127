// The message reporter: every user-facing message of the program passes
// through ReportMessage. The text always goes to the event log as an error
// event. When the main window is interactive it is then shown in a message
// box and the user's answer returned; otherwise nothing is shown and the
// default answer is returned: IDYES for a yes/no question, IDCANCEL otherwise.
// The agent starts non-interactive, so its questions count as answered yes.
#pragma once

#include <string>

#include "platform/notifier.h"

namespace platform {

// Message-box style bits and answers, with their Windows values.
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
// The default caption: string 57344, "Zelto Varnel".
inline constexpr int kDefaultCaptionId = 57344;

// What shows message boxes while the main window is interactive; the main
// window installs one. Called on the user-interface thread only.
class IMessagePresenter {
public:
    virtual ~IMessagePresenter() = default;
    // False while the window is not interactive (then nothing is shown).
    virtual bool Interactive() const = 0;
    virtual int Show(WindowHandle owner, const std::string& text, const std::string& caption, unsigned style) = 0;
};

// Installs the presenter (not owned; nullptr removes it); returns the one it replaced.
IMessagePresenter* InstallMessagePresenter(IMessagePresenter* presenter);

int ReportMessage(const std::string& text, unsigned style, int captionId = kDefaultCaptionId,
                  WindowHandle owner = nullptr);
int ReportMessage(int textId, unsigned style, int captionId = kDefaultCaptionId, WindowHandle owner = nullptr);

}  // namespace platform
