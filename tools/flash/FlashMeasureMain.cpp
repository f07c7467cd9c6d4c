// gloamyard-flash-measure: how much a run of frames flashes. Reads PNG
// frames (in order, at a steady rate) and prints each frame's mean relative
// luminance (linearised sRGB, Rec. 709 weights) and the largest swing of it
// within any window of consecutive frames (30 at 30 fps: one second), for
// the whole frame and for the worst small area. measure.sh beside this file
// renders the frames with gloamyard-render.
#include "platform/render/ImageFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

using gloam::render::ImageData;
using gloam::render::ImageFile;

void usage()
{
    std::printf("Usage: gloamyard-flash-measure [--window FRAMES] [--area WxH] FRAME.png...\n"
                "\n"
                "Prints each frame's mean relative luminance (0 to 1) and the largest swing\n"
                "(highest minus lowest) within any FRAMES consecutive frames (default 30, one\n"
                "second at 30 fps), over the whole frame and over the worst area of WxH pixels\n"
                "(default 341x256, a quarter of the central field of view on a 1024x768\n"
                "screen). A swing of 0.1 or more can be a flash; lightning without reduced\n"
                "flashing swings about 0.19.\n");
}

// sRGB 8-bit code to linear light.
std::array<double, 256> linearTable()
{
    std::array<double, 256> table{};
    for (int code = 0; code < 256; ++code) {
        const double c = code / 255.0;
        table[static_cast<std::size_t>(code)] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return table;
}

// One frame's relative luminance per pixel, as a summed-area table with a
// zero row and column in front.
struct Luminance {
    int width = 0;
    int height = 0;
    std::vector<double> sums;

    double boxMean(int x, int y, int w, int h) const
    {
        const auto at = [this](int col, int row) {
            return sums[static_cast<std::size_t>(row) * static_cast<std::size_t>(width + 1) +
                        static_cast<std::size_t>(col)];
        };
        return (at(x + w, y + h) - at(x, y + h) - at(x + w, y) + at(x, y)) / (static_cast<double>(w) * h);
    }
    double mean() const { return boxMean(0, 0, width, height); }
};

Luminance luminanceOf(const ImageData& image)
{
    static const std::array<double, 256> linear = linearTable();
    Luminance result;
    result.width = image.width;
    result.height = image.height;
    const auto stride = static_cast<std::size_t>(image.width + 1);
    result.sums.assign(stride * static_cast<std::size_t>(image.height + 1), 0.0);
    for (int y = 0; y < image.height; ++y) {
        double row = 0.0;
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = &image.bytes[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                                                  static_cast<std::size_t>(x)) *
                                                 4];
            row += 0.2126 * linear[p[0]] + 0.7152 * linear[p[1]] + 0.0722 * linear[p[2]];
            result.sums[static_cast<std::size_t>(y + 1) * stride + static_cast<std::size_t>(x + 1)] =
                result.sums[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x + 1)] + row;
        }
    }
    return result;
}

struct Swing {
    double size = 0.0;
    std::size_t from = 0; // the frames of the lowest and highest value
    std::size_t to = 0;
};

// The largest highest-minus-lowest within any `window` consecutive values.
Swing largestSwing(const std::vector<double>& values, std::size_t window)
{
    Swing largest;
    const std::size_t span = std::min(window, values.size());
    for (std::size_t start = 0; start + span <= values.size() && span > 0; ++start) {
        const auto first = values.begin() + static_cast<long>(start);
        const auto [low, high] = std::minmax_element(first, first + static_cast<long>(span));
        if (*high - *low > largest.size) {
            largest = {*high - *low, static_cast<std::size_t>(low - values.begin()),
                       static_cast<std::size_t>(high - values.begin())};
        }
    }
    return largest;
}

// Changes of at least `threshold` between the series' turning points (a
// change counts once it has reached the threshold; smaller wiggles do not
// turn it). Two opposing changes make one flash.
int opposingChanges(const std::vector<double>& values, double threshold)
{
    if (values.empty()) {
        return 0;
    }
    int changes = 0;
    int direction = 0; // +1 rising, -1 falling, 0 no change yet
    double low = values.front();
    double high = values.front();
    double extreme = values.front();
    for (const double v : values) {
        if (direction == 0) {
            low = std::min(low, v);
            high = std::max(high, v);
            if (v - low >= threshold || high - v >= threshold) {
                direction = v - low >= threshold ? 1 : -1;
                changes = 1;
                extreme = v;
            }
        } else if (direction * (v - extreme) > 0) {
            extreme = v;
        } else if (std::abs(v - extreme) >= threshold) {
            direction = -direction;
            ++changes;
            extreme = v;
        }
    }
    return changes;
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t window = 30;
    int areaWidth = 341;
    int areaHeight = 256;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else if (a == "--window" && i + 1 < argc) {
            const long frames = std::strtol(argv[++i], nullptr, 10);
            if (frames < 2) {
                std::fprintf(stderr, "gloamyard-flash-measure: --window wants 2 frames or more\n");
                return 2;
            }
            window = static_cast<std::size_t>(frames);
        } else if (a == "--area" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &areaWidth, &areaHeight) != 2 || areaWidth <= 0 || areaHeight <= 0) {
                std::fprintf(stderr, "gloamyard-flash-measure: --area wants WIDTHxHEIGHT, e.g. 341x256\n");
                return 2;
            }
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "gloamyard-flash-measure: unknown argument \u201c%s\u201d (see --help)\n", a.c_str());
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        usage();
        return 2;
    }

    std::vector<Luminance> frames;
    try {
        for (const std::string& file : files) {
            const auto image = ImageFile::read(file, ImageData::Encoding::srgb8);
            if (!frames.empty() && (image->width != frames.front().width || image->height != frames.front().height)) {
                std::fprintf(stderr, "gloamyard-flash-measure: %s is not the size of the frames before it\n",
                             file.c_str());
                return 1;
            }
            frames.push_back(luminanceOf(*image));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gloamyard-flash-measure: %s\n", error.what());
        return 1;
    }

    std::vector<double> means;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        means.push_back(frames[i].mean());
        std::printf("%3zu  %.4f  %s\n", i, means.back(), files[i].c_str());
    }
    const Swing whole = largestSwing(means, window);
    std::printf("frame mean: %.4f to %.4f; largest swing within %zu frames %.4f (frames %zu and %zu); "
                "opposing changes of 0.1 or more: %d\n",
                *std::min_element(means.begin(), means.end()), *std::max_element(means.begin(), means.end()), window,
                whole.size, whole.from, whole.to, opposingChanges(means, 0.1));

    // The worst area, on a grid of a sixteenth of the area's size.
    const int w = std::min(areaWidth, frames.front().width);
    const int h = std::min(areaHeight, frames.front().height);
    const int stepX = std::max(1, w / 16);
    const int stepY = std::max(1, h / 16);
    Swing worst;
    int worstX = 0;
    int worstY = 0;
    std::vector<double> area(frames.size());
    for (int y = 0; y + h <= frames.front().height; y += stepY) {
        for (int x = 0; x + w <= frames.front().width; x += stepX) {
            for (std::size_t i = 0; i < frames.size(); ++i) {
                area[i] = frames[i].boxMean(x, y, w, h);
            }
            const Swing swing = largestSwing(area, window);
            if (swing.size > worst.size) {
                worst = swing;
                worstX = x;
                worstY = y;
            }
        }
    }
    std::printf("worst %dx%d area (left %d, top %d): largest swing within %zu frames %.4f (frames %zu and %zu)\n", w, h,
                worstX, worstY, window, worst.size, worst.from, worst.to);
    return 0;
}
