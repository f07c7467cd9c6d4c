#include "saver/ProcessActivity.h"

#include <sys/prctl.h>

namespace gloam::saver {

namespace {

int count = 0;

void applySlack()
{
    // 0 restores the thread's default slack (50 µs).
    ::prctl(PR_SET_TIMERSLACK, count > 0 ? 0UL : ProcessActivity::idleTimerSlack, 0UL, 0UL, 0UL);
}

} // namespace

ProcessActivity::ProcessActivity(std::string reason)
    : reason_(std::move(reason))
{
    ++count;
    applySlack();
}

ProcessActivity::~ProcessActivity()
{
    --count;
    applySlack();
}

int ProcessActivity::held()
{
    return count;
}

} // namespace gloam::saver
