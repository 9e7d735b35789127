// Bringing the agent back after it has started an update installer and
// exited: a copy of the program (varnel.exe and the DLLs it imports from its
// own folder), in a folder of its own under the user's temporary folder,
// waits for the installer and the agent to end, then starts the agent again.
// The copy holds nothing in the install folder open, so the installer can
// replace every file there.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win/win.h"

namespace dlmgr {

// Copies the program and starts the watcher for the installer process
// `installer` (may be null: then it waits for this agent only). False, with
// a log line, when it could not be started; the update goes on regardless.
bool StartUpdateWatcher(HANDLE installer);

// The watcher's whole run (the "updatewatch" switch): waits for both
// processes (a process id of 0 or one that cannot be opened has ended
// already), at most an hour, then starts the installed agent, or
// `runningProgram` when the installer failed or none is installed (see
// AgentToRestart), with no parameters. A failed installer is reported to the
// event log with its exit code. Returns the process's exit code.
int RunUpdateWatch(uint32_t installerPid, uint32_t agentPid, const std::string& runningProgram);

// Removes the folders earlier watchers were copied to, each file that is no
// longer in use; what cannot be removed is left for the next start.
void RemoveLeftoverWatcherFolders();

}  // namespace dlmgr
