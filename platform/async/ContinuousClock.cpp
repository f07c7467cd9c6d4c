#include "platform/async/ContinuousClock.h"

#include <ctime>

namespace gloam::async {

double ContinuousClock::now()
{
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

} // namespace gloam::async
