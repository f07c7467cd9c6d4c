#include "forge/shaders/PostProcessLibraries.h"

#include "resources/ResourceFiles.h"

#include <array>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace gloam::forge {

namespace {

// The vehicles in the order of the columns below.
constexpr std::array<std::string_view, 4> vehicles{"corsel", "vantre", "brusker", "spirra"};
constexpr std::array<std::string_view, 4> titles{"Corsel", "Vantre", "Brusker", "Spirra"};

// One constant of the block: its GLSL type and name, its value for each
// vehicle (same order as `vehicles`), and what it means.
struct Constant {
    std::string_view type;
    std::string_view name;
    std::array<std::string_view, 4> values;
    std::string_view comment;
};

// The look of each vehicle's scene (linear light, metres, seconds).
constexpr std::array<Constant, 19> constants{{
    {"vec3",
     "BLOOM_TINT",
     {"vec3(0.45, 1.0, 1.15)", "vec3(0.40, 1.0, 0.95)", "vec3(0.38, 0.92, 1.2)", "vec3(0.6, 1.0, 1.12)"},
     "the cold hue highlights are pushed to"},
    {"float", "BLOOM_TINT_AMOUNT", {"0.6", "0.55", "0.65", "0.5"}, ""},
    {"float", "BLOOM_THRESHOLD", {"1.0", "1.0", "1.1", "0.95"}, "brightest channel where highlights begin"},
    {"float", "BLOOM_KNEE", {"0.5", "0.5", "0.5", "0.5"}, "soft start, as a fraction of the threshold"},
    {"float", "BLOOM_CLAMP", {"64.0", "64.0", "64.0", "64.0"}, "brightest value a pixel may feed the bloom"},
    {"float", "BLOOM_STRENGTH", {"0.85", "0.85", "0.9", "0.8"}, "the blurred highlights added back"},
    {"float", "HALO_STRENGTH", {"0.45", "0.45", "0.5", "0.4"}, "the wider halo around them"},
    {"vec2",
     "FOG_SWAY",
     {"vec2(2.4, 1.6)", "vec2(2.0, -1.8)", "vec2(2.8, 1.2)", "vec2(1.8, 2.2)"},
     "how far the fog drifts to and fro, m"},
    {"float", "FOG_DENSITY", {"0.12", "0.12", "0.14", "0.11"}, "extinction per metre where the volume is thickest"},
    {"float", "FOG_ENVELOPE_HEIGHT", {"0.6", "0.6", "0.6", "0.6"}, "how fast the fog thins with height, roughly, m"},
    {"float",
     "FOG_HAZE_DENSITY",
     {"0.006", "0.006", "0.006", "0.006"},
     "a faint haze above the ground fog: extinction per metre"},
    {"float", "FOG_HAZE_HEIGHT", {"1.8", "1.8", "1.8", "1.8"}, "and the height it thins by 1/e in, m"},
    {"float", "FOG_MAX_DISTANCE", {"60.0", "60.0", "60.0", "60.0"}, "the march ends this far from the camera"},
    {"vec3",
     "FOG_AMBIENT",
     {"vec3(0.05, 0.065, 0.105)", "vec3(0.05, 0.065, 0.105)", "vec3(0.05, 0.065, 0.105)", "vec3(0.05, 0.065, 0.105)"},
     "moonlit night sky in the fog"},
    {"vec3",
     "MOON_DIRECTION",
     {"vec3(0.7880, 0.2590, -0.5586)", "vec3(0.7880, 0.2590, -0.5586)", "vec3(0.7880, 0.2590, -0.5586)",
      "vec3(0.7880, 0.2590, -0.5586)"},
     ""},
    {"vec3",
     "MOON_COLOR",
     {"vec3(0.1, 0.13, 0.19)", "vec3(0.1, 0.13, 0.19)", "vec3(0.1, 0.13, 0.19)", "vec3(0.1, 0.13, 0.19)"},
     ""},
    {"vec3",
     "FLASH_COLOR",
     {"vec3(0.55, 0.62, 0.85)", "vec3(0.55, 0.62, 0.85)", "vec3(0.55, 0.62, 0.85)", "vec3(0.55, 0.62, 0.85)"},
     ""},
    {"vec3",
     "PUMPKIN_COLOR",
     {"vec3(0.2, 0.075, 0.012)", "vec3(0.2, 0.075, 0.012)", "vec3(0.2, 0.075, 0.012)", "vec3(0.2, 0.075, 0.012)"},
     ""},
    {"float", "FOG_GLOW_SCATTER", {"0.9", "0.9", "1.0", "0.85"}, "how much of the nearby glow the fog catches"},
}};

std::size_t column(std::string_view vehicle)
{
    for (std::size_t i = 0; i < vehicles.size(); ++i) {
        if (vehicles[i] == vehicle) {
            return i;
        }
    }
    throw std::invalid_argument("no post-process look for the vehicle \"" + std::string(vehicle) + "\"");
}

// The body starts at its first rule line; the lines above it describe the
// body file itself.
std::string_view kernelsOf(const std::string& body)
{
    const auto start = body.find("// ----");
    if (start == std::string::npos || (start != 0 && body[start - 1] != '\n')) {
        throw std::runtime_error("the post-process kernel body has no \"// ----\" line to start at");
    }
    return std::string_view(body).substr(start);
}

} // namespace

std::string postProcessLibrary(std::string_view vehicle, const std::string& kernelBody)
{
    const std::size_t v = column(vehicle);
    std::ostringstream out;
    out << "// " << vehicle << resources::postProcessLibrarySuffix << ": the " << titles[v]
        << " post-process: cyan highlight bloom\n"
           "// and drifting volumetric ground fog. Kernels (the last three: the\n"
           "// same on a quarter-size copy, for a software GPU):\n"
           "#pragma kernel cyanHighlights\n"
           "#pragma kernel groundMist\n"
           "#pragma kernel cyanHighlightsQuarter\n"
           "#pragma kernel groundMistQuarter\n"
           "#pragma kernel groundMistUpsample\n"
           "\n"
           "// The look of this vehicle's scene (linear light, metres, seconds).\n";
    for (const Constant& constant : constants) {
        std::string line = "const " + std::string(constant.type) + " " + std::string(constant.name) + " = " +
                           std::string(constant.values[v]) + ";";
        if (!constant.comment.empty()) {
            line.resize(std::max<std::size_t>(line.size() + 1, 52), ' ');
            line += "// " + std::string(constant.comment);
        }
        out << line << "\n";
    }
    out << "\n" << kernelsOf(kernelBody);
    return out.str();
}

void writePostProcessLibraries(const std::filesystem::path& resourceFolder, const std::filesystem::path& kernelBodyFile)
{
    std::ifstream in(kernelBodyFile, std::ios::binary);
    std::ostringstream body;
    body << in.rdbuf();
    if (!in || body.str().empty()) {
        throw std::runtime_error("cannot read the post-process kernel body " + kernelBodyFile.string());
    }
    for (std::string_view vehicle : vehicles) {
        const auto file = resourceFolder / (std::string(vehicle) + std::string(resources::postProcessLibrarySuffix));
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << postProcessLibrary(vehicle, body.str());
        if (!out) {
            throw std::runtime_error("cannot write " + file.string());
        }
    }
}

} // namespace gloam::forge
