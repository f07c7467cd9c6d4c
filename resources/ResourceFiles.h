#pragma once

// Every file of the resource folder, named in one place. The engine looks
// each one up by name inside the resource folder (sounds in its "Audio"
// subfolder); the forge writes each one under the same name.
//
// Models are glTF binaries (.glb) and shader libraries are GLSL sources
// (.glsl) holding the named kernels or surface functions.

#include <array>
#include <string_view>

namespace gloam::resources {

inline constexpr std::string_view audioFolder = "Audio";

// Models.
inline constexpr std::string_view graveyardModel = "Graveyard.glb";
inline constexpr std::string_view handModel = "Hand.glb";
inline constexpr std::string_view rearLightsModel = "RearLights.glb";
inline constexpr std::string_view witchModel = "Witch.glb";
inline constexpr std::array<std::string_view, 4> vehicleModels{"MarvetGhost.glb", "VantreGhost.glb", "BruskerGhost.glb",
                                                               "SpirraGhost.glb"};

// Data.
inline constexpr std::string_view propTargets = "PropTargets.json";
inline constexpr std::string_view fogDensity = "FogDensity.r8";

// Textures. Normal maps of the environment are "ao-" + key + "-normal.png".
inline constexpr std::string_view normalMapPrefix = "ao-";
inline constexpr std::string_view normalMapSuffix = "-normal.png";
inline constexpr std::string_view groundNormalMap = "ground-v5-normal.png";
inline constexpr std::string_view pumpkinCavity = "pumpkin-cavity.png";
inline constexpr std::string_view openingPanorama = "OpeningPanorama.png";
inline constexpr std::string_view openingTitle = "OpeningTitle.png";

// Shader libraries. Each vehicle has raw value + postProcessLibrarySuffix.
inline constexpr std::string_view postProcessLibrarySuffix = "-ScenePostprocess.glsl";
inline constexpr std::string_view openingAtmosphereLibrary = "OpeningAtmosphere.glsl";
inline constexpr std::string_view cameoFadeLibrary = "CameoFade.glsl";

// Sounds, inside audioFolder.
inline constexpr std::array<std::string_view, 8> soundFiles{
    "thunder.wav", "witch.wav", "pumpkin.wav", "ghost.wav", "hand.wav", "charger.wav", "hill-thunder.wav", "bats.wav"};
inline constexpr std::string_view music = "orlenz.m4a";
inline constexpr std::string_view soundCredits = "CREDITS.txt";

// The app's icon, as the desktop's icon themes lay it out:
// iconsFolder/hicolor/<n>x<n>/apps/<appIconName>.png for each size.
inline constexpr std::string_view iconsFolder = "Icons";
inline constexpr std::string_view appIconName = "gloamyard";
inline constexpr std::array<int, 6> appIconSizes{16, 32, 48, 64, 128, 256};

// Fog volume dimensions (bytes of density, x fastest).
inline constexpr int fogWidth = 128;
inline constexpr int fogHeight = 64;
inline constexpr int fogDepth = 128;

} // namespace gloam::resources
