#pragma once

#include <string>

namespace gloam::saver {

// Held while the saver shows a scene. It keeps the main thread's timers
// (the frame loop's and the lifecycle's) precise, with the kernel's default
// timer slack, while frames are drawn, and lets them coalesce generously
// while the saver only waits, the way an idle program should. Main thread
// only: the slack is a per-thread setting. It never keeps the system awake: idle sleep and
// the display's power saving stay the host's business.
class ProcessActivity {
public:
    // How late an idle saver's timers may fire, in nanoseconds.
    static constexpr unsigned long idleTimerSlack = 50'000'000;

    explicit ProcessActivity(std::string reason);
    ~ProcessActivity();
    ProcessActivity(const ProcessActivity&) = delete;
    ProcessActivity& operator=(const ProcessActivity&) = delete;

    const std::string& reason() const { return reason_; }
    // Activities alive in this process now.
    static int held();

private:
    std::string reason_;
};

} // namespace gloam::saver
