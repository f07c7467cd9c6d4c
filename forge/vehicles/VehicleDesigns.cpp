// The four cars under their sheets. Heights are metres above the ground,
// x runs from the front (-x) to the rear (+x); each car's reach and roof
// height are the catalogue's half length and top.

#include "forge/vehicles/GhostVehicle.h"

namespace gloam::forge {

GhostVehicleDesign corselDesign()
{
    // A saloon: bonnet, raked windscreen, a roof over the middle, a sloping
    // rear window and a high boot lid with the light bar under its lip.
    GhostVehicleDesign d;
    d.name = "Corsel";
    d.halfLength = 2.5f;
    d.top = 1.55f;
    d.halfWidth = 0.92f;
    d.cornerFront = 0.38f;
    d.cornerRear = 0.3f;
    d.belt = {{-2.5f, 0.8f}, {-2.15f, 0.88f}, {-1.1f, 0.95f}, {0.9f, 1.0f}, {1.75f, 1.1f}, {2.5f, 1.12f}};
    BodyBlock cabin;
    cabin.profile = {{-1.1f, 0.95f}, {-0.3f, 1.5f}, {-0.1f, 1.545f}, {0.55f, 1.545f}, {0.9f, 1.47f}, {1.7f, 1.1f}};
    cabin.halfWidth = 0.76f;
    cabin.sideRun = 0.24f;
    cabin.sideDrop = 0.5f;
    d.blocks = {cabin};
    d.axles = {-1.5f, 1.4f};
    d.eyes = {-0.66f, 0.31f};
    d.eyeSize = {0.17f, 0.26f};
    d.lamps = {{"HeadlampLeft", 0.6f, 0.6f, {0.32f, 0.11f}, false, false}};
    d.seed = 611;
    return d;
}

GhostVehicleDesign vantreDesign()
{
    // A tall estate: high shoulders, a long flat roof with rails running to
    // an upright tailgate, tall rear lamps at the corners.
    GhostVehicleDesign d;
    d.name = "Vantre";
    d.halfLength = 2.5f;
    d.top = 1.55f;
    d.halfWidth = 0.93f;
    d.cornerFront = 0.36f;
    d.cornerRear = 0.18f;
    d.belt = {{-2.5f, 0.84f}, {-2.1f, 0.93f}, {-1.2f, 1.01f}, {2.5f, 1.08f}};
    BodyBlock cabin;
    cabin.profile = {{-1.2f, 1.01f}, {-0.45f, 1.47f}, {-0.25f, 1.5f}, {2.2f, 1.5f}, {2.45f, 1.42f}};
    cabin.halfWidth = 0.8f;
    cabin.sideRun = 0.2f;
    cabin.sideDrop = 0.42f;
    BodyBlock rail;
    rail.profile = {{-0.2f, 1.5f}, {0.0f, 1.548f}, {2.0f, 1.548f}, {2.2f, 1.5f}};
    rail.halfWidth = 0.045f;
    rail.centreZ = 0.62f;
    rail.sideRun = 0.045f;
    rail.sideDrop = 0.05f;
    rail.mirrored = true;
    d.blocks = {cabin, rail};
    d.axles = {-1.55f, 1.45f};
    d.eyes = {-0.78f, 0.32f};
    d.eyeSize = {0.17f, 0.25f};
    d.lamps = {{"HeadlampLeft", 0.62f, 0.66f, {0.3f, 0.12f}, false, false},
               {"RearCornerLampLeft", 0.7f, 0.78f, {0.15f, 0.3f}, true, true},
               {"RearLampStrip", 0.0f, 0.86f, {0.8f, 0.05f}, true, true, false}};
    d.seed = 622;
    return d;
}

GhostVehicleDesign bruskerDesign()
{
    // A large angular pick-up: a high square bonnet, an upright cab, an open
    // bed between rails that the sheet spans, a tailgate and big tyres.
    GhostVehicleDesign d;
    d.name = "Brusker";
    d.halfLength = 3.08f;
    d.top = 1.9f;
    d.halfWidth = 1.0f;
    d.cornerFront = 0.16f;
    d.cornerRear = 0.1f;
    d.roll = 0.07f;
    d.crown = 0.02f;
    d.sag = 0.0003f;
    d.belt = {{-3.08f, 1.06f}, {-2.9f, 1.15f}, {-1.6f, 1.21f}, {0.55f, 1.23f}, {0.7f, 0.98f}, {3.08f, 0.98f}};
    BodyBlock cab;
    cab.profile = {{-1.6f, 1.21f}, {-0.95f, 1.88f}, {0.48f, 1.89f}, {0.62f, 1.3f}};
    cab.halfWidth = 0.9f;
    cab.sideRun = 0.1f;
    cab.sideDrop = 0.22f;
    BodyBlock rail;
    rail.profile = {{0.5f, 1.28f}, {0.6f, 1.3f}, {3.1f, 1.3f}};
    rail.halfWidth = 0.07f;
    rail.centreZ = 0.93f;
    rail.sideRun = 0.05f;
    rail.sideDrop = 0.06f;
    rail.mirrored = true;
    BodyBlock tailgate;
    tailgate.profile = {{2.9f, 1.3f}, {3.1f, 1.3f}};
    tailgate.halfWidth = 1.0f;
    tailgate.sideRun = 0.05f;
    tailgate.sideDrop = 0.06f;
    d.blocks = {cab, rail, tailgate};
    d.hemHeight = 0.46f;
    d.hemWave = 0.08f;
    d.cornerDrop = 0.07f;
    d.wheelRadius = 0.41f;
    d.wheelWidth = 0.3f;
    d.track = 0.82f;
    d.axles = {-2.0f, 1.8f};
    d.eyes = {-1.22f, 0.38f};
    d.eyeSize = {0.2f, 0.3f};
    d.lamps = {{"HeadlampLeft", 0.7f, 0.92f, {0.36f, 0.15f}, false, false},
               {"RearCornerLampLeft", 0.86f, 0.86f, {0.13f, 0.36f}, true, true},
               {"RearLampLeft", 0.5f, 1.06f, {0.2f, 0.05f}, true, true}};
    d.seed = 633;
    return d;
}

GhostVehicleDesign spirraDesign()
{
    // A low roadster: a long bonnet, a short windscreen, the sheet sagging
    // into the open cockpit between it and two fairings behind the seats,
    // a short round tail with round lamps.
    GhostVehicleDesign d;
    d.name = "Spirra";
    d.halfLength = 2.58f;
    d.top = 1.4f;
    d.halfWidth = 0.9f;
    d.cornerFront = 0.48f;
    d.cornerRear = 0.42f;
    d.sag = 0.0004f;
    d.belt = {{-2.58f, 0.7f}, {-2.2f, 0.77f}, {-0.7f, 0.86f}, {1.4f, 0.9f}, {2.58f, 0.86f}};
    BodyBlock screen;
    screen.profile = {{-0.75f, 0.86f}, {-0.38f, 1.17f}, {-0.3f, 1.17f}, {-0.2f, 0.88f}};
    screen.halfWidth = 0.72f;
    screen.sideRun = 0.1f;
    screen.sideDrop = 0.12f;
    BodyBlock fairing;
    fairing.profile = {{0.35f, 0.88f}, {0.6f, 1.385f}, {0.82f, 1.385f}, {1.6f, 0.92f}};
    fairing.halfWidth = 0.2f;
    fairing.centreZ = 0.36f;
    fairing.sideRun = 0.12f;
    fairing.sideDrop = 0.25f;
    fairing.mirrored = true;
    d.blocks = {screen, fairing};
    d.hemHeight = 0.3f;
    d.hemWave = 0.06f;
    d.cornerDrop = 0.04f;
    d.wheelRadius = 0.32f;
    d.axles = {-1.6f, 1.5f};
    d.eyes = {-0.62f, 0.3f};
    d.eyeSize = {0.16f, 0.22f};
    d.lamps = {{"HeadlampLeft", 0.58f, 0.5f, {0.26f, 0.1f}, false, false},
               {"RearCornerLampLeft", 0.62f, 0.63f, {0.15f, 0.13f}, true, true},
               {"RearLampLeft", 0.4f, 0.63f, {0.13f, 0.11f}, true, true}};
    d.seed = 644;
    return d;
}

} // namespace gloam::forge
