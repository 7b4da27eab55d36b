// VMG: the viewer. A camera with a position (z up, the third component is
// the altitude), a heading (degrees from north, +y, toward east, +x), a
// pitch (degrees above the horizon), a motion and a horizontal field of
// view; the renderer's view projects through it.
#pragma once

#include "envsys/HostServices.h"

namespace envhost {

struct Vec3 {
    float x, y, z;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

class Camera : public envsys::ViewerService {
public:
    void GetViewerPosition(double* out3) override;
    void GetViewerMotion(float* out3) override;
    // Rows right, up, forward.
    void GetViewOrientation(float* m9) override;

    void SetViewport(int width, int height);
    // Points the camera along a direction (need not be unit length).
    void LookAlong(Vec3 direction);

    Vec3 Right() const;
    Vec3 Up() const;
    Vec3 Forward() const;
    // Pixels per unit of tangent: the screen half width over tan(fov / 2).
    float FocalLength() const;
    // A point relative to the eye in camera space: x right, y up, z ahead.
    Vec3 ToCamera(Vec3 v) const;
    // Screen position of a point in camera space (z > 0).
    void ToScreen(Vec3 camera, float* sx, float* sy) const;
    // The direction through a pixel position, not normalised (forward part 1).
    Vec3 RayThrough(float sx, float sy) const;

    double position[3] = {0, 0, 2};
    float motion[3] = {0, 0, 0};
    float headingDegrees = 0;
    float pitchDegrees = 0;
    float horizontalFov = 90;
    int width = 640;
    int height = 360;
};

} // namespace envhost
