#pragma once

// Fixed points of the scene that the engine's effects and the forge's
// models must agree on. Scene units are metres, +Y up, the vehicle at the
// origin with its front towards -x.

namespace gloam::landmarks {

struct Point3 {
    float x, y, z;
};

// Horizontal direction from the origin towards the house front, the
// lightning bolt and the moon (normalised when used).
inline constexpr Point3 houseDirection{0.8163f, 0.0f, -0.5776f};
// Horizontal axis to the right of the default view (normalised when used).
inline constexpr Point3 viewRight{0.5776f, 0.0f, 0.8163f};

// The moon's centre; the witch crosses it and its click sphere sits there.
inline constexpr Point3 moonPosition{18.219704f, 2.4613976f, -14.070088f};
inline constexpr float moonClickRadius = 0.7f;

// The skeletal hand's wrist, reaching out of its grave mound.
inline constexpr Point3 handWrist{-0.25219727f, 0.39178744f, 2.8839676f};

// The lightning bolt stands in a vertical plane this far along
// houseDirection.
inline constexpr float boltPlaneDistance = 9.7f;

// Every vehicle fits inside this footprint (half extents along x and z);
// props keep clear of it.
inline constexpr float vehicleHalfLength = 3.1f;
inline constexpr float vehicleHalfWidth = 1.9f;
// The camera frames a narrower box across the vehicle (half extent along
// z, the same for every vehicle): the bodies' own width, not the props'
// clearance above.
inline constexpr float framedVehicleHalfWidth = 1.6f;

// The first vehicle's rear light bar and its two red lights sit at this
// height and distance behind the origin, the lights at +-rearLightSpread.
inline constexpr float rearLightX = 2.56f;
inline constexpr float rearLightY = 0.985f;
inline constexpr float rearLightSpread = 0.65f;

// The default camera: yaw and elevation of the orbit, distance to the
// orbit target at (0, orbitTargetHeight, 0), vertical field of view.
inline constexpr float cameraYaw = -0.955f;
inline constexpr float cameraElevation = 0.044f;
inline constexpr float cameraDistance = 19.7f;
inline constexpr float orbitTargetHeight = 1.05f;
inline constexpr float fieldOfViewDegrees = 10.5f;

// The opening's panorama: the house on the hill stands this far across the
// picture (0 left, 1 right) and this wide, where its bolt strikes as the
// view pans down (the opening keeps both in narrow views).
inline constexpr float panoramaHouseAcross = 0.7f;
inline constexpr float panoramaHouseWidth = 0.085f;

// The opening's title picture: its lettering, with the dark rim round the
// letters, spans this share of the picture's width about its centre (the
// opening narrows the card in views too narrow for it).
inline constexpr float titleLetteringWidth = 0.64f;

} // namespace gloam::landmarks
