#include "engine/export/VideoExportOptions.h"

#include "engine/export/SceneTrigger.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace gloam {

namespace {

[[noreturn]] void reject(const std::string& message)
{
    throw std::invalid_argument(message);
}

std::string quoted(const std::string& text)
{
    return "\u201c" + text + "\u201d";
}

bool parseDouble(const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end != text.c_str() && *end == '\0' && std::isfinite(value);
}

bool parseWhole(const std::string& text, std::uint64_t& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19) {
        return false;
    }
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

void parseSize(VideoExportOptions& options, const std::string& text)
{
    const auto x = text.find('x');
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    const std::string wants = "--size wants WIDTHxHEIGHT from " + std::to_string(VideoExportOptions::minimumWidth) +
                              "x" + std::to_string(VideoExportOptions::minimumHeight) + " to " +
                              std::to_string(VideoExportOptions::maximumWidth) + "x" +
                              std::to_string(VideoExportOptions::maximumHeight) + ", not " + quoted(text);
    if (x == std::string::npos || !parseWhole(text.substr(0, x), width) || !parseWhole(text.substr(x + 1), height) ||
        width < VideoExportOptions::minimumWidth || height < VideoExportOptions::minimumHeight ||
        width > VideoExportOptions::maximumWidth || height > VideoExportOptions::maximumHeight) {
        reject(wants);
    }
    options.width = static_cast<int>(width);
    options.height = static_cast<int>(height);
    // yuv420p keeps one colour sample per 2 × 2 pixels, so H.264 players
    // want even sizes; a pixel less is the smallest change.
    if (options.width % 2 != 0 || options.height % 2 != 0) {
        options.width -= options.width % 2;
        options.height -= options.height % 2;
        options.notes.push_back("note: " + text + " rounded to " + std::to_string(options.width) + "x" +
                                std::to_string(options.height) + " (H.264 video wants an even width and height)");
    }
}

void parseTrigger(VideoExportOptions& options, const std::string& text)
{
    const auto atSign = text.rfind('@');
    VideoExportOptions::TimedTrigger trigger;
    trigger.what = text.substr(0, atSign);
    if (atSign == std::string::npos || !SceneTrigger::known(trigger.what) ||
        !parseDouble(text.substr(atSign + 1), trigger.at) || trigger.at < 0) {
        reject("--trigger wants WHAT@SECONDS with WHAT one of lightning, pumpkins, ghost, ghost=ID, witch, hand, "
               "skyrell or amperle, not " +
               quoted(text));
    }
    options.triggers.push_back(trigger);
}

// One option: its name, the name of its value (empty for a switch), its
// help, and what it does to the options.
struct Rule {
    const char* name;
    const char* value;
    const char* help;
    std::function<void(VideoExportOptions&, const std::string&)> apply;
};

const std::vector<Rule>& rules()
{
    static const std::vector<Rule> table{
        {"--seconds", "N", "length of the video in seconds (default 30)",
         [](VideoExportOptions& o, const std::string& v) {
             if (!parseDouble(v, o.seconds) || o.seconds <= 0 || o.seconds > VideoExportOptions::maximumSeconds) {
                 reject("--seconds wants a length above 0 and up to 86400 seconds, not " + quoted(v));
             }
         }},
        {"--size", "WxH", "picture size in pixels, 64x64 to 7680x4320 (default 1200x540)", parseSize},
        {"--fps", "N", "frames per second, a whole number from 1 to 240 (default 30)",
         [](VideoExportOptions& o, const std::string& v) {
             std::uint64_t fps = 0;
             if (!parseWhole(v, fps) || fps < 1 || fps > VideoExportOptions::maximumFramesPerSecond) {
                 reject("--fps wants a whole number from 1 to 240, not " + quoted(v));
             }
             o.framesPerSecond = static_cast<int>(fps);
         }},
        {"--vehicle", "NAME", "corsel, vantre, brusker or spirra (default: the stored choice)",
         [](VideoExportOptions& o, const std::string& v) {
             o.vehicle = vehicleFromRawValue(v);
             if (!o.vehicle) {
                 reject("--vehicle wants corsel, vantre, brusker or spirra, not " + quoted(v));
             }
         }},
        {"--seed", "N", "the surprises' schedule, so that one command gives the same video",
         [](VideoExportOptions& o, const std::string& v) {
             std::uint64_t seed = 0;
             if (!parseWhole(v, seed)) {
                 reject("--seed wants a whole number, not " + quoted(v));
             }
             o.seed = seed;
         }},
        {"--skip-opening", "", "start with the scene instead of the title sequence",
         [](VideoExportOptions& o, const std::string&) { o.skipOpening = true; }},
        {"--manual", "", "no automatic effects: only the --trigger ones happen",
         [](VideoExportOptions& o, const std::string&) { o.manual = true; }},
        {"--reduce-flashing", "", "lightning lights the scene with a gentle rise and fall (default: the stored choice)",
         [](VideoExportOptions& o, const std::string&) { o.reduceFlashing = true; }},
        {"--trigger", "WHAT@T",
         "start an effect at T seconds, once the opening is over (repeatable); WHAT is lightning, pumpkins, ghost, "
         "ghost=ID, witch, hand, skyrell or amperle",
         parseTrigger},
        {"--force", "", "replace the file if it exists",
         [](VideoExportOptions& o, const std::string&) { o.force = true; }},
    };
    return table;
}

} // namespace

std::int64_t VideoExportOptions::frameCount() const
{
    return std::max<std::int64_t>(1, std::llround(seconds * framesPerSecond));
}

VideoExportOptions VideoExportOptions::parse(const std::vector<std::string>& arguments, std::string_view fileOption)
{
    VideoExportOptions options;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            return options;
        }
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        const bool isFile = name == fileOption;
        const Rule* rule = nullptr;
        for (const Rule& candidate : rules()) {
            if (name == candidate.name) {
                rule = &candidate;
            }
        }
        if (!isFile && rule == nullptr) {
            reject("unknown option " + quoted(name) + " (see --help)");
        }
        const bool wantsValue = isFile || *rule->value != '\0';
        if (wantsValue && i + 1 >= arguments.size()) {
            reject(name + " wants " + (isFile ? std::string("a file name") : std::string("a value")));
        }
        const std::string value = wantsValue ? arguments[++i] : std::string();
        if (isFile) {
            if (value.empty()) {
                reject(name + " wants a file name");
            }
            options.file = value;
        } else {
            rule->apply(options, value);
        }
    }
    if (options.file.empty()) {
        reject(std::string(fileOption) + " wants a file name, e.g. " + std::string(fileOption) + " gloamyard.mp4");
    }
    return options;
}

bool VideoExportOptions::requested(int argc, char** argv, std::string_view fileOption)
{
    for (int i = 1; i < argc; ++i) {
        if (fileOption == argv[i]) {
            return true;
        }
    }
    return false;
}

std::string VideoExportOptions::usage(std::string_view program, std::string_view fileOption)
{
    std::string text = "Usage: " + std::string(program) + " " + std::string(fileOption) + " FILE.mp4 [options]\n\n" +
                       "Exports the scene as a video with its music and sounds (H.264 and AAC in MP4),\n"
                       "headless: no display and no sound card needed. The default is the scene as it\n"
                       "lives: 30 s at 1200x540 and 30 fps, the stored vehicle, the opening from 0 with\n"
                       "its music, automatic effects on, sound at the stored volume.\n";
    for (const Rule& rule : rules()) {
        std::string left = "  " + std::string(rule.name) + (*rule.value != '\0' ? " " + std::string(rule.value) : "");
        left.resize(std::max<std::size_t>(left.size() + 2, 24), ' ');
        text += left + rule.help + "\n";
    }
    return text;
}

} // namespace gloam
