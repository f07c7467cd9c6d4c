#pragma once

namespace gloam::saver {

// A pending or repeating timer of the saver's event loop. Dropping it
// cancels it.
class SaverTimer {
public:
    virtual ~SaverTimer() = default;
    virtual void cancel() = 0;
};

} // namespace gloam::saver
