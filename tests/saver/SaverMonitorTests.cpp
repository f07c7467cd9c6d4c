// Which monitor a host's X window is on, with the monitors as Qt 6 lists
// them on X11: origin in native pixels, size divided by the device-pixel
// ratio. XScreenSaver gives each monitor's process a window exactly
// covering that monitor; the settings program's preview is a small window
// inside a dialog.
#include "saver/SaverMonitor.h"

#include <gtest/gtest.h>

#include <cmath>

namespace gloam::saver {
namespace {

// A monitor of `width` x `height` native pixels at native (x, y), listed by
// Qt with `ratio`.
SaverMonitor listed(int x, int y, int width, int height, double ratio)
{
    return {QRect(x, y, static_cast<int>(std::lround(width / ratio)), static_cast<int>(std::lround(height / ratio))),
            ratio};
}

TEST(SaverMonitorTest, NativeGeometryUndoesOnlyTheSizeScaling)
{
    EXPECT_EQ(listed(1920, 0, 1920, 1080, 1.25).geometry, QRect(1920, 0, 1536, 864));
    EXPECT_EQ(listed(1920, 0, 1920, 1080, 1.25).nativeGeometry(), QRect(1920, 0, 1920, 1080));
    EXPECT_EQ(listed(0, 1440, 2560, 1440, 2.0).nativeGeometry(), QRect(0, 1440, 2560, 1440));
}

TEST(SaverMonitorTest, EachMonitorsFullScreenWindowFindsItsMonitorAtEveryRatio)
{
    for (const double ratio : {1.0, 1.25, 1.5, 2.0}) {
        SCOPED_TRACE(ratio);
        // Side by side, one below, and one of another size to the right.
        const std::vector<SaverMonitor> monitors = {
            listed(0, 0, 1920, 1080, ratio),
            listed(1920, 0, 1920, 1080, ratio),
            listed(0, 1080, 1920, 1080, ratio),
            listed(3840, 0, 2560, 1440, ratio),
        };
        const QRect windows[] = {
            {0, 0, 1920, 1080},
            {1920, 0, 1920, 1080},
            {0, 1080, 1920, 1080},
            {3840, 0, 2560, 1440},
        };
        for (std::size_t index = 0; index < std::size(windows); ++index) {
            EXPECT_EQ(SaverMonitor::find(windows[index], monitors), index) << "window " << index;
        }
    }
}

TEST(SaverMonitorTest, APreviewOrAStraddlingWindowGoesWhereMostOfItIs)
{
    const std::vector<SaverMonitor> monitors = {
        listed(0, 0, 1920, 1080, 1.5),
        listed(1920, 0, 1920, 1080, 1.5),
    };
    struct Case {
        QRect window;
        std::optional<std::size_t> monitor;
        const char* what;
    };
    const Case cases[] = {
        {{2200, 300, 700, 400}, 1, "a settings preview on the second monitor"},
        {{1700, 300, 700, 400}, 1, "centre on the second monitor"},
        {{1500, 300, 700, 400}, 0, "centre on the first monitor"},
        // Centre off both, above them: the one it overlaps most.
        {{1800, -500, 700, 520}, 1, "mostly above the second monitor"},
        {{5000, 0, 640, 480}, std::nullopt, "on no monitor"},
        {{0, 0, 0, 0}, std::nullopt, "no size yet"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SaverMonitor::find(c.window, monitors), c.monitor) << c.what;
    }
}

} // namespace
} // namespace gloam::saver
