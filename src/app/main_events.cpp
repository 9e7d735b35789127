#include "app/main_events.h"

namespace app {

bool CMainEvents::ListAction(int index, bool run, appcore::CommandUi& ui) {
    Views::CListViewEx* view = CurrentView();
    if (!view || index < 0) return false;
    if (run) view->DoAction(index);
    else ui = view->ActionState(index);
    return true;
}

}  // namespace app
