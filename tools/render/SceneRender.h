#pragma once

// The render tool's scene mode: the whole Gloamyard scene, stepped at a
// fixed frame rate from construction to a chosen time, written as a PNG.
int renderScene(int argc, char** argv);

// Whether the arguments ask for the scene mode (not the studio modes).
bool wantsScene(int argc, char** argv);
