#include "saver/SaverMonitor.h"

#include <cmath>

namespace gloam::saver {

QRect SaverMonitor::nativeGeometry() const
{
    const double ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return {geometry.topLeft(), QSize(static_cast<int>(std::lround(geometry.width() * ratio)),
                                      static_cast<int>(std::lround(geometry.height() * ratio)))};
}

std::optional<std::size_t> SaverMonitor::find(const QRect& nativeWindow, const std::vector<SaverMonitor>& monitors)
{
    if (nativeWindow.isEmpty()) {
        return std::nullopt;
    }
    const QPoint centre = nativeWindow.center();
    for (std::size_t index = 0; index < monitors.size(); ++index) {
        if (monitors[index].nativeGeometry().contains(centre)) {
            return index;
        }
    }
    // Partly off every monitor (or a preview still being placed).
    std::optional<std::size_t> best;
    long long bestArea = 0;
    for (std::size_t index = 0; index < monitors.size(); ++index) {
        const QRect overlap = monitors[index].nativeGeometry().intersected(nativeWindow);
        const long long area = overlap.isEmpty() ? 0 : static_cast<long long>(overlap.width()) * overlap.height();
        if (area > bestArea) {
            bestArea = area;
            best = index;
        }
    }
    return best;
}

} // namespace gloam::saver
