#include "app/SleepSource.h"

namespace gloam::app {

SleepSource::~SleepSource() = default;

} // namespace gloam::app
