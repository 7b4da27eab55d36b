#include "host/Camera.h"

#include <cmath>

namespace envhost {

namespace {
constexpr float kDegrees = 0.017453292519943295f;
}

void Camera::GetViewerPosition(double* out3) {
    if (out3 == nullptr) return;
    for (int i = 0; i < 3; ++i)
        out3[i] = position[i];
}

void Camera::GetViewerMotion(float* out3) {
    if (out3 == nullptr) return;
    for (int i = 0; i < 3; ++i)
        out3[i] = motion[i];
}

void Camera::GetViewOrientation(float* m9) {
    if (m9 == nullptr) return;
    const Vec3 rows[3] = {Right(), Up(), Forward()};
    for (int r = 0; r < 3; ++r) {
        m9[r * 3] = rows[r].x;
        m9[r * 3 + 1] = rows[r].y;
        m9[r * 3 + 2] = rows[r].z;
    }
}

void Camera::SetViewport(int w, int h) {
    width = w > 0 ? w : 1;
    height = h > 0 ? h : 1;
}

void Camera::LookAlong(Vec3 d) {
    const float horizontal = std::sqrt(d.x * d.x + d.y * d.y);
    if (horizontal > 0) headingDegrees = std::atan2(d.x, d.y) / kDegrees;
    pitchDegrees = std::atan2(d.z, horizontal) / kDegrees;
}

Vec3 Camera::Forward() const {
    const float h = headingDegrees * kDegrees, p = pitchDegrees * kDegrees;
    return {std::sin(h) * std::cos(p), std::cos(h) * std::cos(p), std::sin(p)};
}

Vec3 Camera::Right() const {
    const float h = headingDegrees * kDegrees;
    return {std::cos(h), -std::sin(h), 0};
}

Vec3 Camera::Up() const {
    const float h = headingDegrees * kDegrees, p = pitchDegrees * kDegrees;
    return {-std::sin(h) * std::sin(p), -std::cos(h) * std::sin(p), std::cos(p)};
}

float Camera::FocalLength() const {
    float fov = horizontalFov;
    if (fov < 1) fov = 1;
    if (fov > 170) fov = 170;
    return 0.5f * static_cast<float>(width) / std::tan(0.5f * fov * kDegrees);
}

Vec3 Camera::ToCamera(Vec3 v) const { return {Dot(v, Right()), Dot(v, Up()), Dot(v, Forward())}; }

void Camera::ToScreen(Vec3 c, float* sx, float* sy) const {
    const float f = FocalLength();
    *sx = 0.5f * static_cast<float>(width) + f * c.x / c.z;
    *sy = 0.5f * static_cast<float>(height) - f * c.y / c.z;
}

Vec3 Camera::RayThrough(float sx, float sy) const {
    const float f = FocalLength();
    const float cx = (sx - 0.5f * static_cast<float>(width)) / f;
    const float cy = (0.5f * static_cast<float>(height) - sy) / f;
    return Forward() + Right() * cx + Up() * cy;
}

} // namespace envhost
