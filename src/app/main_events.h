// CMainEvents: the most derived layer of the main window, the one start-up
// creates. It adds the list-action commands (Untracked Items ... Reset),
// each forwarded with its enabling to the current view; with no current view
// the command is ignored.
#pragma once

#include "app/main_actions.h"

namespace app {

class CMainEvents final : public CMainActions {
public:
    explicit CMainEvents(HINSTANCE instance) : CMainActions(instance) {}

protected:
    bool ListAction(int index, bool run, appcore::CommandUi& ui) override;
};

}  // namespace app
