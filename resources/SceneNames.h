#pragma once

// The names the scene engine looks up inside the resource files, and the
// forge writes into them: entity names of the environment and hand models,
// material names of the hand, normal-map keys, and the prop-target ids and
// kinds that carry behaviour. Both sides include this header; the forge's
// tests check every generated file against it.
//
// Environment entities are judged by an "effective name": an entity whose
// own name begins with envPrefix uses that name, any other entity inherits
// its parent's. Most tests below are "the effective name contains ...".

#include <array>
#include <string>
#include <string_view>

namespace gloam::scene_names {

inline constexpr std::string_view envPrefix = "Env_";

// House (flat unlit silhouettes; house walls and roof are also the
// lightning's click target once renamed).
inline constexpr std::string_view houseBlack = "HouseBlack";
inline constexpr std::string_view roofBlack = "RoofBlack";
inline constexpr std::string_view houseTimber = "HouseTimber";
inline constexpr std::string_view houseEdge = "HouseEdge";
inline constexpr std::string_view houseSlate = "HouseSlate";
inline constexpr std::string_view windowGlow = "WindowGlow";
inline constexpr std::string_view lightningHouse = "LightningHouse";

// Trees, backdrop ring, sky.
inline constexpr std::string_view treeBlack = "TreeBlack";
inline constexpr std::string_view treeMist = "TreeMist";
inline constexpr std::string_view backdrop = "Backdrop";
inline constexpr std::string_view skyClouds = "SkyClouds";
inline constexpr std::string_view moonSprite = "MoonSprite";

// Ground.
inline constexpr std::string_view earth = "Env_Earth";              // exact name
inline constexpr std::string_view earthBankExact = "Env_EarthBank"; // exact name
inline constexpr std::string_view earthBank = "EarthBank";

// Graves.
inline constexpr std::string_view stone = "Stone";
inline constexpr std::string_view stoneInset = "StoneInset";
inline constexpr std::string_view stoneRecess = "StoneRecess";
inline constexpr std::string_view moss = "Moss";

// Pumpkins.
inline constexpr std::string_view pumpkinSkin = "PumpkinSkin";
inline constexpr std::string_view pumpkinFlame = "PumpkinFlame";
inline constexpr std::string_view pumpkinGlow = "PumpkinGlow";
inline constexpr std::string_view pumpkinCarvedWall = "PumpkinCarvedWall";

// Hand parts: hidden in the graveyard, shown in the hand model.
inline constexpr std::string_view bones = "Bones";
inline constexpr std::string_view sleevePrefix = "Env_Sleeve";

// Normal-map keys, in the order the engine tries them. An entity whose
// effective name is envPrefix + key, or ends with "_" + key, gets the
// normal map "ao-" + key + "-normal.png".
inline constexpr std::array<std::string_view, 13> normalMapKeys{
    "WeatheredStone", "StoneTrim", "StoneInset", "OldWood",    "PumpkinSkin", "MossStone", "MossRecess",
    "BonesSkin",      "BonesPalm", "BonesWrist", "BonesThumb", "Sleeve",      "MoundSoil"};

// Hand material-name prefixes that receive normal maps (a material matches
// prefix P when its name is P or begins with P + "_").
inline constexpr std::array<std::string_view, 5> handMaterialPrefixes{"BonesSkin", "BonesPalm", "BonesWrist",
                                                                      "BonesThumb", "Sleeve"};

// Hit entities the effects bring with them.
inline constexpr std::string_view moonReaction = "MoonReaction";
inline constexpr std::string_view handReaction = "HandReaction";

// Prop targets.
inline constexpr std::string_view targetHitPrefix = "Reaction_";
inline constexpr std::string_view kindPumpkin = "pumpkin";
inline constexpr std::string_view kindGrave = "grave";
inline constexpr std::string_view rightBroken = "RightBroken";
inline constexpr std::string_view matchedLeftStone = "MatchedLeftStone";
inline constexpr std::string_view matchedLeaningStone = "MatchedLeaningStone";
inline constexpr std::string_view ringGravePrefix = "RingGrave";
inline constexpr std::string_view orbitPumpkinPrefix = "OrbitPumpkin";

// Vehicle models: entities whose names contain vehicleEye keep their own
// material; textured parts glow, and on every vehicle but the first those
// whose names contain vehicleRear glow brighter, brightest with
// vehicleCorner as well. The first vehicle's rear-light model has the
// parts rearAmberCore and rearRedGuide.
inline constexpr std::string_view vehicleEye = "Eye";
inline constexpr std::string_view vehicleRear = "Rear";
inline constexpr std::string_view vehicleCorner = "Corner";
inline constexpr std::string_view rearAmberCore = "AmberCore";
inline constexpr std::string_view rearRedGuide = "RedGuide";

// The witch model's cape, turned about +Z at its origin (the shoulders).
inline constexpr std::string_view witchCape = "WitchCape";

inline std::string normalMapFile(std::string_view key)
{
    return std::string("ao-") + std::string(key) + "-normal.png";
}

} // namespace gloam::scene_names
