#pragma once

namespace OGL_TESK_AE {

// Brings an angle in degrees into one turn, [0, 360), in place, and snaps values within 0.0001
// of 0, 360, 270, 90 or 180 onto them so that round trips through matrices land on the exact
// quarter turns. Returns the whole-turn offset (a multiple of 360) that was subtracted.
float ClampDegrees(float& degrees);

// The same idea for radians: into [0, 2 pi), with 0, 3 pi / 2, pi / 2 and pi snapped.
float NormalizeRadians(float radians);

} // namespace OGL_TESK_AE
