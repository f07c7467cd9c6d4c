#pragma once

#include "platform/async/Task.h"

#include <functional>

#include <sys/types.h>

namespace gloam::installer {

// Whether the process exists and has not ended (a zombie counts as ended).
bool processIsAlive(pid_t pid);

// Asks a process to quit with `request` and waits, on the main actor, until
// it has exited or `limitSeconds` have passed. True when it is gone: its exit
// was observed, or it no longer exists right after the request or when the
// time runs out. False when the request returns false or the process is still
// alive at the limit. Never fails.
async::Task<bool> observedExit(pid_t pid, std::function<bool()> request, double limitSeconds = 8.0);

} // namespace gloam::installer
