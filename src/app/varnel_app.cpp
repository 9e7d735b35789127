#include "app/varnel_app.h"

namespace app {

// Start-up is not built yet: the program exits at once.
int RunVarnel(HINSTANCE, const char*) { return 0; }

}  // namespace app
