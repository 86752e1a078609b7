#pragma once

#include <cmath>
#include <cstdint>

// Elementary functions from +, -, *, / and sqrt alone, which IEEE 754 rounds the same way
// everywhere: the data set must come out byte for byte the same on every machine, and the
// library's transcendental functions may pick other code (and other last bits) by processor.
// Accurate to about 1e-10, ample for pictures and sound.
namespace dm {

inline constexpr double pi = 3.14159265358979323846;
inline constexpr double tau = 2 * pi;

inline double clamp(double x, double lo, double hi) { return x < lo ? lo : x > hi ? hi : x; }
inline double mix(double a, double b, double t) { return a + (b - a) * t; }
inline double fract(double x) { return x - std::floor(x); }
inline double smoothstep(double e0, double e1, double x)
{
    const double t = clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// sin on [-pi/2, pi/2] by its Taylor series to x^15.
inline double sin_core(double x)
{
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 1; n <= 7; ++n) {
        term *= -x2 / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

inline double sin(double x)
{
    x -= tau * std::floor(x / tau + 0.5);  // now in [-pi, pi]
    if (x > pi / 2)
        x = pi - x;
    else if (x < -pi / 2)
        x = -pi - x;
    return sin_core(x);
}

inline double cos(double x) { return sin(x + pi / 2); }

inline double exp(double x)
{
    if (x < -700)
        return 0;
    const double k = std::floor(x / 0.69314718055994530942 + 0.5);
    const double r = x - k * 0.69314718055994530942;
    double term = 1;
    double sum = 1;
    for (int n = 1; n <= 13; ++n) {
        term *= r / n;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

// For x > 0.
inline double log(double x)
{
    int e = 0;
    double m = std::frexp(x, &e);  // x = m * 2^e, m in [0.5, 1)
    if (m < 0.70710678118654752440) {
        m *= 2;
        --e;
    }
    const double s = (m - 1) / (m + 1);
    const double s2 = s * s;
    double term = s;
    double sum = 0;
    for (int n = 1; n <= 27; n += 2) {
        sum += term / n;
        term *= s2;
    }
    return 2 * sum + e * 0.69314718055994530942;
}

inline double pow(double x, double y) { return x <= 0 ? 0 : exp(y * log(x)); }

inline double atan(double x)
{
    const bool negative = x < 0;
    if (negative)
        x = -x;
    const bool inverted = x > 1;
    if (inverted)
        x = 1 / x;
    // Shift by pi/6 so that the series argument stays below tan(pi/12).
    const bool shifted = x > 0.26794919243112270647;
    constexpr double sqrt3 = 1.73205080756887729353;
    if (shifted)
        x = (x * sqrt3 - 1) / (sqrt3 + x);
    const double x2 = x * x;
    double term = x;
    double sum = 0;
    for (int n = 1; n <= 19; n += 2) {
        sum += term / n;
        term *= -x2;
    }
    if (shifted)
        sum += pi / 6;
    if (inverted)
        sum = pi / 2 - sum;
    return negative ? -sum : sum;
}

inline double atan2(double y, double x)
{
    if (x > 0)
        return atan(y / x);
    if (x < 0)
        return y >= 0 ? atan(y / x) + pi : atan(y / x) - pi;
    return y > 0 ? pi / 2 : y < 0 ? -pi / 2 : 0;
}

// A well-mixed 32-bit hash of integers: the source of every "random" choice.
inline std::uint32_t hash(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

inline std::uint32_t hash(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    return hash(static_cast<std::uint32_t>(x) * 0x9E3779B1u ^ hash(static_cast<std::uint32_t>(y) + seed * 0x85EBCA77u));
}

// A value in [0, 1) from a hash.
inline double unit(std::uint32_t h) { return (h >> 8) * (1.0 / 16777216.0); }

// Smooth value noise in [0, 1); with a period > 0 it tiles every period units.
inline double value_noise(double x, double y, std::uint32_t seed, int period = 0)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    auto corner = [&](int i, int j) {
        std::int32_t cx = static_cast<std::int32_t>(fx) + i;
        std::int32_t cy = static_cast<std::int32_t>(fy) + j;
        if (period > 0) {
            cx = ((cx % period) + period) % period;
            cy = ((cy % period) + period) % period;
        }
        return unit(hash(cx, cy, seed));
    };
    const double tx = x - fx;
    const double ty = y - fy;
    const double sx = tx * tx * (3 - 2 * tx);
    const double sy = ty * ty * (3 - 2 * ty);
    return mix(mix(corner(0, 0), corner(1, 0), sx), mix(corner(0, 1), corner(1, 1), sx), sy);
}

// Fractal sum of octaves of value noise, in [0, 1).
inline double fbm(double x, double y, std::uint32_t seed, int octaves, int period = 0)
{
    double sum = 0;
    double amplitude = 0.5;
    double norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * value_noise(x, y, seed + static_cast<std::uint32_t>(o) * 1013u, period);
        norm += amplitude;
        x *= 2;
        y *= 2;
        if (period > 0)
            period *= 2;
        amplitude *= 0.5;
    }
    return sum / norm;
}

}  // namespace dm
