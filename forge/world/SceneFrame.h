#pragma once

#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>

namespace gloam::forge::frame {

// The scene's two horizontal axes: towards the house (and the moon), and to
// the right of the default view.
glm::vec3 houseDirection();
glm::vec3 viewRight();

// A point given by its depth along houseDirection, lateral offset along
// viewRight and height.
glm::vec3 place(float depth, float lateral, float height = 0.0f);

// The rotation about +y that turns local +z towards the horizontal
// direction dir.
glm::quat facing(glm::vec3 dir);

// The default camera of the scene at a 1200 x 540 view (orbit yaw,
// elevation with the narrow-view lift, distance).
glm::vec3 defaultCameraPosition();
glm::vec3 orbitTarget();
glm::vec3 landmark(float x, float y, float z);

// Height of the ground at (x, z); 0 under the vehicle.
float groundHeight(float x, float z);

} // namespace gloam::forge::frame
