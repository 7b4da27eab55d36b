#include "environment/CelestialFrame.h"

#include <cmath>

namespace envsys {

namespace {

void SetAxisRotation(float* m, float degrees) {
    // A NaN or infinite angle from the host keeps the previous rotation: the
    // sun direction built from it would be NaN in every component.
    if (!std::isfinite(degrees)) return;
    const float a = degrees * 0.017453292f;
    const float c = static_cast<float>(std::cos(static_cast<double>(a)));
    const float s = static_cast<float>(std::sin(static_cast<double>(a)));
    m[0] = 1.0f, m[1] = 0.0f, m[2] = 0.0f;
    m[3] = 0.0f, m[4] = c, m[5] = s;
    m[6] = 0.0f, m[7] = -s, m[8] = c;
}

// out = a x b for 3x3 matrices stored row by row, summed in double.
void Multiply(const float* a, const float* b, float* out) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k)
                sum += static_cast<double>(a[r * 3 + k]) * b[k * 3 + c];
            out[r * 3 + c] = static_cast<float>(sum);
        }
}

// out = v . m for a row vector.
void RowTimes(const double* v, const float* m, float* out) {
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<float>(v[0] * m[c] + v[1] * m[3 + c] + v[2] * m[6 + c]);
}

} // namespace

void SetLatitudeRotation(CelestialFrame& frame, float degrees) { SetAxisRotation(frame.latitudeRotation, degrees); }

void SetInclinationRotation(CelestialFrame& frame, float degrees) {
    SetAxisRotation(frame.inclinationRotation, degrees);
}

void ComputeSky(CelestialFrame& frame, int32_t dayOfYear, int32_t secondsOfDay) {
    // The year angle (2 pi / 365 per day) and the hour angle (2 pi / 86400
    // per second, half a turn back so that noon faces the sun), each rounded
    // to single precision as the rest of the frame is.
    const float year = static_cast<float>(static_cast<double>(dayOfYear) * static_cast<double>(0.017214207f));
    const float hour = static_cast<float>(static_cast<double>(secondsOfDay) * static_cast<double>(7.2722054e-5f) +
                                          static_cast<double>(year) - static_cast<double>(3.1415927f));
    const float c = static_cast<float>(std::cos(static_cast<double>(hour)));
    const float s = static_cast<float>(std::sin(static_cast<double>(hour)));
    const float hourRotation[9] = {c, 0.0f, s, 0.0f, 1.0f, 0.0f, -s, 0.0f, c};
    Multiply(hourRotation, frame.latitudeRotation, frame.starRotation);

    float tilted[9];
    Multiply(frame.inclinationRotation, frame.starRotation, tilted);
    const double sunInYear[3] = {std::sin(static_cast<double>(year)), 0.0, std::cos(static_cast<double>(year))};
    RowTimes(sunInYear, tilted, frame.sunDirection);
}

void CelestialToWorld(const CelestialFrame& frame, float rightAscension, float declination, float* out3) {
    if (out3 == nullptr) return;
    const double a = static_cast<double>(rightAscension * 0.017453292f);
    const double e = static_cast<double>(declination * 0.017453292f);
    const double v[3] = {std::cos(e) * std::cos(a), std::sin(e), -std::cos(e) * std::sin(a)};
    RowTimes(v, frame.starRotation, out3);
}

} // namespace envsys
