#include "clouds/Wind.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "config/IniFile.h"
#include "plugin/PluginState.h"

namespace envsys {

namespace {

constexpr const char* kWindSection = "BaseWindSection";
constexpr float kRadiansPerDegree = 0.017453292f;
constexpr float kDegreesPerRadian = 57.29578f;

bool IsFinite(float v) { return v >= -FLT_MAX && v <= FLT_MAX; }

// A value that is not a number would spread into every later wind vector.
float Finite(float v) { return IsFinite(v) ? v : 0.0f; }

// A negative rate would drive an offset away from its target without bound,
// so such a change simply never moves.
float Rate(float v) { return v > 0.0f && v <= FLT_MAX ? v : 0.0f; }

// A host draw outside 0..1 (or not a number) must not push a target beyond
// the amount the file allows.
float UnitDraw(RandomService* rnd) {
    const float u = rnd->Random(1.0f);
    if (!(u >= 0.0f)) return 0.0f;
    return u > 1.0f ? 1.0f : u;
}

// Moves value towards target by step, landing on it when the step would
// pass it.
void Approach(float& value, float target, float step) {
    const float diff = target - value;
    if (diff == 0.0f) return;
    // Both are finite, so a difference that is not 0 has a sign.
    if (step > std::fabs(diff)) {
        value = target;
    } else if (diff > 0.0f) {
        value += step;
    } else {
        value -= step;
    }
}

} // namespace

void WindChange::Update(float dt) {
    timer += dt;
    if (timer > changeTime) {
        timer = 0.0f;
        // Without a random-number service no attempt can succeed.
        RandomService* rnd = Rnd();
        if (rnd != nullptr) {
            const float r = std::trunc(rnd->Random(100.0f));
            if (r < changeChance) {
                targetSpeedOffset = (2.0f * UnitDraw(rnd) - 1.0f) * speedAmount;
                targetDirectionOffset = (2.0f * UnitDraw(rnd) - 1.0f) * directionAmount;
            }
        }
    }
    Approach(speedOffset, targetSpeedOffset, dt * speedRate);
    // A gust that has reached its peak dies away again.
    if (speedOffset == targetSpeedOffset) targetSpeedOffset = 0.0f;
    // A reached direction offset stays until the next successful change.
    Approach(directionOffset, targetDirectionOffset, dt * directionRate);
}

void Wind::Load(IniFile& file) {
    baseSpeed = Finite(file.GetFloat(kWindSection, "BaseWindSpeed", 0.0f));
    baseDirection = Finite(file.GetFloat(kWindSection, "BaseWindDirection", 0.0f));

    const int32_t n = file.CountKeys(kWindSection, "WindChange[%02d].ChangeTime");
    if (!changes.Allocate(n > 0 ? n : 0)) return;
    char prefix[32];
    char key[64];
    for (int32_t i = 0; i < n; ++i) {
        WindChange* change = changes.At(i); // one of the n records just allocated
        std::snprintf(prefix, sizeof prefix, "WindChange[%02d]", static_cast<int>(i + 1));
        std::snprintf(key, sizeof key, "%s.ChangeTime", prefix);
        change->changeTime = Finite(file.GetFloat(kWindSection, key, 0.0f));
        std::snprintf(key, sizeof key, "%s.ChangeChance", prefix);
        change->changeChance = Finite(file.GetFloat(kWindSection, key, 0.0f));
        std::snprintf(key, sizeof key, "%s.SpeedRate", prefix);
        change->speedRate = Rate(file.GetFloat(kWindSection, key, 0.0f));
        std::snprintf(key, sizeof key, "%s.SpeedAmount", prefix);
        change->speedAmount = Finite(file.GetFloat(kWindSection, key, 0.0f));
        std::snprintf(key, sizeof key, "%s.DirectionRate", prefix);
        change->directionRate = Rate(file.GetFloat(kWindSection, key, 0.0f));
        std::snprintf(key, sizeof key, "%s.DirectionAmount", prefix);
        change->directionAmount = Finite(file.GetFloat(kWindSection, key, 0.0f));
        change->timer = 0.0f;
        change->speedOffset = 0.0f;
        change->directionOffset = 0.0f;
        change->targetSpeedOffset = 0.0f;
        change->targetDirectionOffset = 0.0f;
    }
}

void Wind::Update(float dt) {
    // A negative or non-finite step would run the timers backwards and push
    // the offsets away from their targets.
    const float step = dt > 0.0f && dt <= FLT_MAX ? dt : 0.0f;

    speed = baseSpeed;
    direction = baseDirection;
    WindChange* records = changes.Records();
    for (int32_t i = 0; records != nullptr && i < changes.count; ++i) {
        records[i].Update(step);
        speed += records[i].speedOffset * gustScale;
        direction += records[i].directionOffset;
    }
    if (!(speed >= 0.0f) || speed > FLT_MAX) speed = 0.0f;

    if (!IsFinite(direction)) {
        // Only a host's non-finite SetWind gets here; start again from north.
        direction = 0.0f;
        baseDirection = 0.0f;
    } else if (direction < 0.0f || direction > 360.0f) {
        // Whole turns at once rather than 360 at a time, so a far-out value
        // costs no more than a near one. 360 itself stays 360, as does any
        // positive whole number of turns, while 0 is where a negative whole
        // number of turns lands. The base direction moves by the same turns
        // so that it stays in the current direction's turn.
        const double d = direction;
        double wrapped = std::fmod(d, 360.0);
        if (d > 360.0 && wrapped == 0.0) wrapped = 360.0;
        if (wrapped < 0.0) wrapped += 360.0;
        wrapped += 0.0; // -0 becomes +0
        const double shift = wrapped - d;
        direction = static_cast<float>(wrapped);
        baseDirection = static_cast<float>(static_cast<double>(baseDirection) + shift);
    }

    const double a = direction * 0.017453292519943295;
    vector[0] = static_cast<float>(std::sin(a) * speed);
    vector[1] = static_cast<float>(std::cos(a) * speed);
    vector[2] = 0.0f;
}

void Wind::SetWind(float directionRadians, float newSpeed, float newGustScale) {
    baseDirection = directionRadians * kDegreesPerRadian;
    baseSpeed = newSpeed;
    gustScale = newGustScale;
}

float Wind::GetWindDirection() const { return direction * kRadiansPerDegree; }

float* Wind::GetWindVector(float* out3) const {
    if (out3 != nullptr) {
        out3[0] = vector[0];
        out3[1] = vector[1];
        out3[2] = vector[2];
    }
    return out3;
}

void Wind::Release() { changes.Free(); }

} // namespace envsys
