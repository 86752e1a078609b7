#include "pictures.h"

#include <thread>

#include "det_math.h"

namespace {

struct Rgb {
    double r, g, b;
};

Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb operator*(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }
Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
Rgb mix(Rgb a, Rgb b, double t) { return a + (b + a * -1) * t; }

// A cosine palette: a + b cos(2 pi (c t + d)) per channel.
Rgb palette(double t, Rgb a, Rgb b, Rgb c, Rgb d)
{
    return {a.r + b.r * dm::cos(dm::tau * (c.r * t + d.r)), a.g + b.g * dm::cos(dm::tau * (c.g * t + d.g)),
            a.b + b.b * dm::cos(dm::tau * (c.b * t + d.b))};
}

Rgb rainbow(double t) { return palette(t, {0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {1, 1, 1}, {0.0, 0.33, 0.67}); }

// A starfield: one star at most per cell, of random place, size and brightness.
double stars(double x, double y, double cell, std::uint32_t seed, double density)
{
    const double cx = std::floor(x / cell);
    const double cy = std::floor(y / cell);
    const std::uint32_t h = dm::hash(static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy), seed);
    if (dm::unit(h) > density)
        return 0;
    const double sx = (cx + 0.2 + 0.6 * dm::unit(dm::hash(h + 1))) * cell;
    const double sy = (cy + 0.2 + 0.6 * dm::unit(dm::hash(h + 2))) * cell;
    const double size = 0.5 + 1.5 * dm::unit(dm::hash(h + 3));
    const double d2 = ((x - sx) * (x - sx) + (y - sy) * (y - sy)) / (size * size);
    return dm::exp(-d2) * (0.4 + 0.6 * dm::unit(dm::hash(h + 4)));
}

// Intro: a glowing ring in a nebula among stars.
Rgb intro(double x, double y)
{
    const double u = (x - 320) / 240;
    const double v = (y - 240) / 240;
    const double cloud = dm::fbm(x / 140, y / 140, 11, 6);
    const double wisps = dm::fbm(x / 60 + cloud * 3, y / 60, 12, 5);
    Rgb c = Rgb{0.02, 0.01, 0.06} + Rgb{0.55, 0.1, 0.6} * dm::pow(cloud, 2.5) * 1.6 +
            Rgb{0.05, 0.4, 0.7} * dm::pow(wisps, 3.0) * 1.2;
    const double r = std::sqrt(u * u + v * v);
    const double ring = dm::exp(-(r - 0.62) * (r - 0.62) * 260);
    const double halo = dm::exp(-(r - 0.62) * (r - 0.62) * 18) * 0.35;
    const double angle = dm::atan2(v, u);
    const Rgb ring_colour = palette(angle / dm::tau + 0.1 * dm::sin(r * 30), {0.8, 0.6, 0.7}, {0.2, 0.3, 0.3},
                                    {1, 1, 1}, {0.0, 0.15, 0.3});
    c = c + ring_colour * (ring * 1.3 + halo);
    c = c + Rgb{1, 0.95, 0.9} * (stars(x, y, 9, 13, 0.35) + stars(x, y, 31, 14, 0.5) * 1.5);
    return c;
}

// Set 1, 1: the Mandelbrot set's seahorse valley with smooth colouring.
Rgb mandelbrot(double x, double y)
{
    const double cr = -0.7453 + (x - 320) * (0.012 / 640);
    const double ci = 0.1127 + (y - 240) * (0.012 / 640);
    double zr = 0;
    double zi = 0;
    int n = 0;
    constexpr int limit = 400;
    while (n < limit && zr * zr + zi * zi < 256) {
        const double t = zr * zr - zi * zi + cr;
        zi = 2 * zr * zi + ci;
        zr = t;
        ++n;
    }
    if (n == limit)
        return {0.02, 0.0, 0.05};
    const double smooth = n + 1 - dm::log(dm::log(zr * zr + zi * zi) * 0.5) / 0.69314718055994530942;
    const double t = smooth / 40;
    return palette(t, {0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {1.0, 1.0, 1.0}, {0.0, 0.1, 0.2}) *
           dm::clamp(smooth / 12, 0.0, 1.0);
}

// Set 1, 2: a plasma of interfering waves with gilded contour lines.
Rgb plasma(double x, double y)
{
    const double u = x / 640 * 6;
    const double v = y / 480 * 4.5;
    double p = dm::sin(u * 1.3 + 0.5) + dm::sin(v * 1.7 - u * 0.4) + dm::sin((u + v) * 1.1) +
               dm::sin(std::sqrt((u - 3) * (u - 3) + (v - 2.2) * (v - 2.2)) * 2.6);
    p = p * 0.25;
    Rgb c = palette(p * 0.9 + 0.2, {0.55, 0.35, 0.45}, {0.45, 0.35, 0.4}, {1.0, 1.0, 0.8}, {0.0, 0.2, 0.35});
    const double bands = dm::fract(p * 6);
    const double line = dm::smoothstep(0.06, 0.0, std::fabs(bands - 0.5) - 0.42);
    return mix(c, Rgb{1.0, 0.85, 0.45}, line * 0.7);
}

// Ridge heights for landscapes: y of the ridge at x, in pixels.
double ridge(double x, double base, double height, double scale, std::uint32_t seed)
{
    return base - height * dm::fbm(x / scale, 0.5, seed, 6);
}

// Set 1, 3: mountain ranges at dawn above a still lake.
Rgb mountains(double x, double y)
{
    constexpr double horizon = 340;
    const bool water = y > horizon;
    const double depth = water ? (y - horizon) / 140 : 0;
    const double sy = water ? 2 * horizon - y + 3 * dm::sin(y * 0.9) * depth : y;
    const double sx = water ? x + 5 * dm::sin(y * 0.35 + x * 0.01) * depth : x;

    const double sky_t = dm::clamp(sy / horizon, 0.0, 1.0);
    Rgb c = mix(Rgb{0.1, 0.15, 0.42}, Rgb{0.85, 0.45, 0.55}, dm::smoothstep(0.1, 0.75, sky_t));
    c = mix(c, Rgb{1.0, 0.7, 0.35}, dm::smoothstep(0.6, 1.0, sky_t));
    // Long pink clouds lit from below.
    const double cloud = dm::smoothstep(0.55, 0.75, dm::fbm(sx / 180, sy / 25, 44, 5)) * (1 - sky_t * 0.5);
    c = mix(c, Rgb{1.0, 0.6, 0.65}, cloud * 0.7);
    const double sun_d = std::sqrt((sx - 430) * (sx - 430) + (sy - 175) * (sy - 175));
    c = c + Rgb{1.0, 0.85, 0.55} * (sun_d < 26 ? 1.0 : dm::exp(-(sun_d - 26) / 35) * 0.7);

    const Rgb layers[3] = {{0.5, 0.42, 0.62}, {0.32, 0.26, 0.46}, {0.14, 0.12, 0.24}};
    const double ridges[3][3] = {{275, 120, 230}, {310, 95, 160}, {340, 60, 110}};
    for (int i = 0; i < 3; ++i) {
        const double top = ridge(sx, ridges[i][0], ridges[i][1], ridges[i][2], 40 + i);
        if (sy > top) {
            const double below = dm::clamp((sy - top) / 90, 0.0, 1.0);
            Rgb rock = mix(layers[i], layers[i] * 0.55, below);
            // The sunward slopes catch the light.
            const double slope = ridge(sx + 3, ridges[i][0], ridges[i][1], ridges[i][2], 40 + i) - top;
            rock = rock + Rgb{0.35, 0.2, 0.1} * dm::clamp(slope * 0.15, 0.0, 1.0) * (1 - below) * (0.6 - 0.2 * i);
            if (i == 0 && sy - top < 14 * dm::fbm(sx / 20, sy / 20, 50, 3) + 4)
                rock = mix(rock, Rgb{1.0, 0.9, 0.92}, 0.85);
            c = rock;
        }
    }
    if (water)
        c = c * Rgb{0.75, 0.82, 0.92} * (1 - 0.25 * depth) + Rgb{0.02, 0.04, 0.09};
    return c;
}

// Set 1, 4: a Julia set in ice and gold.
Rgb julia(double x, double y)
{
    double zr = (x - 320) / 200;
    double zi = (y - 240) / 200;
    int n = 0;
    constexpr int limit = 300;
    double trap = 10;
    while (n < limit && zr * zr + zi * zi < 256) {
        const double t = zr * zr - zi * zi - 0.8;
        zi = 2 * zr * zi + 0.156;
        zr = t;
        trap = std::fmin(trap, std::fabs(zr * zi));
        ++n;
    }
    if (n == limit)
        return Rgb{0.9, 0.7, 0.3} * (0.4 + 0.6 * dm::exp(-trap * 20));
    const double smooth = n + 1 - dm::log(dm::log(zr * zr + zi * zi) * 0.5) / 0.69314718055994530942;
    const double t = dm::pow(smooth / limit, 0.35);
    return palette(t * 2.2, {0.3, 0.45, 0.6}, {0.3, 0.35, 0.4}, {1.0, 1.0, 1.0}, {0.55, 0.45, 0.35}) *
           dm::clamp(t * 2.5, 0.0, 1.0);
}

// Set 1, 5: stained glass of Voronoi cells lit from behind.
Rgb stained_glass(double x, double y)
{
    constexpr double cell = 56;
    const double gx = std::floor(x / cell);
    const double gy = std::floor(y / cell);
    double best = 1e9;
    double second = 1e9;
    std::uint32_t best_hash = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            const std::uint32_t h = dm::hash(static_cast<std::int32_t>(gx) + i, static_cast<std::int32_t>(gy) + j, 77);
            const double px = (gx + i + 0.15 + 0.7 * dm::unit(h)) * cell;
            const double py = (gy + j + 0.15 + 0.7 * dm::unit(dm::hash(h))) * cell;
            const double d = std::sqrt((x - px) * (x - px) + (y - py) * (y - py));
            if (d < best) {
                second = best;
                best = d;
                best_hash = h;
            } else if (d < second) {
                second = d;
            }
        }
    const double light = 0.55 + 0.45 * dm::exp(-((x - 320) * (x - 320) + (y - 200) * (y - 200)) / 90000);
    const Rgb glass = rainbow(dm::unit(dm::hash(best_hash + 9)) * 0.85 + 0.05) * light *
                      (0.75 + 0.25 * dm::fbm(x / 12, y / 12, best_hash, 3));
    const double lead = dm::smoothstep(2.5, 5.0, second - best);
    return glass * lead + Rgb{0.05, 0.04, 0.03} * (1 - lead);
}

// Set 2, 1: desert dunes under a large moon.
Rgb dunes(double x, double y)
{
    Rgb c = mix(Rgb{0.02, 0.03, 0.12}, Rgb{0.25, 0.2, 0.45}, dm::pow(y / 480, 1.5));
    c = c + Rgb{0.9, 0.9, 1.0} * stars(x, y, 14, 21, 0.3);
    const double moon_d = std::sqrt((x - 170) * (x - 170) + (y - 120) * (y - 120));
    if (moon_d < 70) {
        const double crater = dm::fbm(x / 18, y / 18, 22, 4);
        c = Rgb{0.95, 0.9, 0.75} * (0.75 + 0.25 * crater);
    } else {
        c = c + Rgb{0.6, 0.55, 0.45} * dm::exp(-(moon_d - 70) / 45) * 0.5;
    }
    for (int i = 0; i < 4; ++i) {
        const double base = 300 + i * 48;
        const double top = base - 45 * (0.5 + 0.5 * dm::sin(x / (90 + i * 25) + i * 1.7)) -
                           25 * dm::fbm(x / 150, i, 23 + i, 4);
        if (y > top) {
            const double slope = dm::cos(x / (90 + i * 25) + i * 1.7);
            const double lit = 0.45 + 0.35 * slope;
            const double ripple = 0.9 + 0.1 * dm::sin((y - top) * 0.8 + x * 0.05);
            c = Rgb{0.85, 0.55, 0.3} * (lit * ripple * (0.55 + 0.15 * i)) + Rgb{0.05, 0.04, 0.1};
        }
    }
    return c;
}

// Set 2, 2: an eight-fold kaleidoscope.
Rgb kaleidoscope(double x, double y)
{
    const double u = (x - 320) / 240;
    const double v = (y - 240) / 240;
    const double r = std::sqrt(u * u + v * v);
    double a = dm::atan2(v, u);
    const double sector = dm::pi / 4;
    a = std::fabs(dm::fract(a / sector / 2 + 0.5) * 2 - 1) * sector;  // mirrored wedge
    const double px = r * dm::cos(a);
    const double py = r * dm::sin(a);
    const double pattern = dm::sin(px * 14 + dm::sin(py * 20) * 1.5) * dm::cos(py * 18 - r * 6) +
                           0.5 * dm::sin(r * 25 - a * 8);
    Rgb c = palette(pattern * 0.35 + r * 0.6, {0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {1.0, 0.7, 0.4}, {0.0, 0.15, 0.2});
    c = c * (1.1 - 0.6 * dm::smoothstep(0.8, 1.4, r));
    const double petals = std::fabs(dm::sin(a * 4 + r * 3));
    return mix(c, Rgb{1, 1, 1}, dm::smoothstep(0.985, 1.0, petals) * 0.5);
}

// Set 2, 3: an aurora over snowy peaks.
Rgb aurora(double x, double y)
{
    Rgb c = mix(Rgb{0.0, 0.02, 0.07}, Rgb{0.03, 0.1, 0.2}, y / 480);
    c = c + Rgb{0.85, 0.9, 1.0} * stars(x, y, 11, 31, 0.35);
    for (int i = 0; i < 3; ++i) {
        const double curtain_y = 120 + 50 * i + 60 * dm::fbm(x / 220, i * 3.7, 32 + i, 4);
        const double d = y - curtain_y;
        if (d < 0 && d > -220) {
            const double rays = 0.6 + 0.4 * dm::fbm(x / 6, i, 35 + i, 2);
            const double fall = dm::exp(d / (50 + 20 * i)) * dm::smoothstep(0, 12, -d + 12);
            const Rgb tint = i == 1 ? Rgb{0.55, 0.25, 0.8} : Rgb{0.2, 0.95, 0.55};
            c = c + tint * (fall * rays * 0.8);
        }
    }
    const double peak = 330 - 140 * dm::fbm(x / 160, 3.5, 36, 6) - 40 * dm::exp(-(x - 430) * (x - 430) / 9000);
    if (y > peak) {
        const double snow = dm::smoothstep(0.45, 0.55, 0.6 * dm::fbm(x / 25, y / 25, 37, 4) + (peak + 40 - y) / 90);
        const Rgb rock = mix(Rgb{0.08, 0.1, 0.16}, Rgb{0.02, 0.03, 0.06}, dm::clamp((y - peak) / 150, 0.0, 1.0));
        // The aurora's green light on the snow.
        c = mix(rock, Rgb{0.55, 0.75, 0.75}, snow * 0.9);
    }
    return c;
}

// Set 2, 4: Truchet tiles of banded quarter circles.
Rgb truchet(double x, double y)
{
    constexpr double tile = 64;
    const double tx = std::floor(x / tile);
    const double ty = std::floor(y / tile);
    double u = x / tile - tx;
    const double v = y / tile - ty;
    if (dm::hash(static_cast<std::int32_t>(tx), static_cast<std::int32_t>(ty), 41) & 1)
        u = 1 - u;
    const double d1 = std::fabs(std::sqrt(u * u + v * v) - 0.5);
    const double d2 = std::fabs(std::sqrt((1 - u) * (1 - u) + (1 - v) * (1 - v)) - 0.5);
    const double d = std::fmin(d1, d2);
    const double band = dm::smoothstep(0.2, 0.17, d);
    const double stripe = 0.5 + 0.5 * dm::cos(d * 70);
    const Rgb tube = rainbow(x / 900 + y / 1400 + 0.1) * (0.55 + 0.45 * stripe);
    const Rgb ground = Rgb{0.08, 0.07, 0.12} + Rgb{0.1, 0.08, 0.15} * dm::fbm(x / 40, y / 40, 42, 3);
    const double shadow = dm::smoothstep(0.26, 0.19, d) * (1 - band);
    return mix(ground * (1 - 0.6 * shadow), tube, band);
}

// Set 2, 5: Newton's method on z^3 = 1, its three basins in three hues.
Rgb newton(double x, double y)
{
    double zr = (x - 320) / 260;
    double zi = (y - 240) / 260;
    int n = 0;
    for (; n < 60; ++n) {
        // z -= (z^3 - 1) / (3 z^2)
        const double r2 = zr * zr - zi * zi;
        const double i2 = 2 * zr * zi;
        const double r3 = r2 * zr - i2 * zi - 1;
        const double i3 = r2 * zi + i2 * zr;
        const double dr = 3 * r2;
        const double di = 3 * i2;
        const double den = dr * dr + di * di;
        if (den < 1e-12)
            break;
        const double qr = (r3 * dr + i3 * di) / den;
        const double qi = (i3 * dr - r3 * di) / den;
        zr -= qr;
        zi -= qi;
        if (qr * qr + qi * qi < 1e-10)
            break;
    }
    const int root = zr > 0 ? 0 : zi > 0 ? 1 : 2;
    const Rgb hues[3] = {{0.95, 0.35, 0.25}, {0.25, 0.8, 0.45}, {0.3, 0.45, 1.0}};
    const double shade = dm::exp(-n * 0.1);
    const double bands = 0.5 + 0.5 * dm::cos(n * 1.1);
    return hues[root] * (0.2 + 0.6 * shade + 0.2 * bands) +
           Rgb{1, 0.95, 0.8} * (0.25 * dm::smoothstep(0.25, 0.0, shade));
}

// Set 2, 6: a ringed planet over a starfield, the show's closing picture.
Rgb planet(double x, double y)
{
    Rgb c = Rgb{0.01, 0.01, 0.03} + Rgb{0.3, 0.15, 0.4} * dm::pow(dm::fbm(x / 200, y / 200, 51, 5), 3) +
            Rgb{0.9, 0.9, 1.0} * (stars(x, y, 10, 52, 0.3) + stars(x, y, 37, 53, 0.4) * 1.4);
    const double px = (x - 300) / 150;
    const double py = (y - 250) / 150;
    // Rings in a tilted plane: an ellipse of radii 2.1 and 0.55.
    const double rx = px * 0.97 + py * 0.25;
    const double ry = -px * 0.25 + py * 0.97;
    const double ring_r = std::sqrt(rx * rx + (ry / 0.26) * (ry / 0.26));
    const double ring = dm::smoothstep(1.25, 1.3, ring_r) * dm::smoothstep(2.05, 2.0, ring_r) *
                        (0.55 + 0.45 * dm::sin(ring_r * 40)) * (ring_r > 1.62 && ring_r < 1.68 ? 0.15 : 1.0);
    const double r2 = px * px + py * py;
    const Rgb ring_colour = Rgb{0.85, 0.75, 0.6} * ring;
    const bool ring_in_front = ry > 0;
    if (ring > 0 && !ring_in_front)
        c = mix(c, ring_colour, 0.85);
    if (r2 < 1) {
        const double pz = std::sqrt(1 - r2);
        const double light = dm::clamp(-0.55 * px - 0.35 * py + 0.75 * pz, 0.0, 1.0);
        const double bands = dm::fbm(py * 6, px * 0.6 + dm::sin(py * 9) * 0.3, 54, 5);
        const Rgb surface = palette(bands * 1.3 + py * 0.2, {0.6, 0.45, 0.35}, {0.3, 0.25, 0.2}, {1.0, 1.0, 1.0},
                                    {0.0, 0.05, 0.1});
        c = surface * (0.08 + 0.92 * light) + Rgb{0.3, 0.5, 0.9} * dm::pow(1 - pz, 4) * 0.6 * light;
    }
    if (ring > 0 && ring_in_front)
        c = mix(c, ring_colour, 0.85);
    return c;
}

using Painter = Rgb (*)(double x, double y);

struct PictureEntry {
    const char* title;
    Painter paint;
};

// In the order of the show's table (show/data_set.h): the intro, the first set, the second.
const PictureEntry k_pictures[k_picture_count] = {
    {"a glowing ring in a nebula", intro},
    {"the Mandelbrot set's seahorse valley", mandelbrot},
    {"a gilded plasma", plasma},
    {"mountains at dawn above a lake", mountains},
    {"a Julia set in ice and gold", julia},
    {"stained glass", stained_glass},
    {"dunes under a large moon", dunes},
    {"a kaleidoscope", kaleidoscope},
    {"an aurora over snowy peaks", aurora},
    {"Truchet tiles", truchet},
    {"Newton's fractal", newton},
    {"a ringed planet", planet},
};

std::uint8_t to_byte(double value) { return static_cast<std::uint8_t>(dm::clamp(value, 0.0, 1.0) * 255 + 0.5); }

// Rows [first, last) of a picture, each pixel the mean of a 2x2 grid of samples.
void draw_rows(Painter paint, int first, int last, std::uint8_t* out)
{
    for (int y = first; y < last; ++y)
        for (int x = 0; x < k_picture_width; ++x) {
            Rgb sum{0, 0, 0};
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i)
                    sum = sum + paint(x + 0.25 + 0.5 * i, y + 0.25 + 0.5 * j);
            std::uint8_t* pixel = out + (static_cast<std::size_t>(y) * k_picture_width + x) * 3;
            pixel[0] = to_byte(sum.r * 0.25);
            pixel[1] = to_byte(sum.g * 0.25);
            pixel[2] = to_byte(sum.b * 0.25);
        }
}

}  // namespace

const char* picture_title(int index) { return k_pictures[index].title; }

std::vector<std::uint8_t> draw_picture(int index)
{
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(k_picture_width) * k_picture_height * 3);
    // Each pixel depends on its place alone, so the halves can be drawn side by side.
    const Painter paint = k_pictures[index].paint;
    std::thread lower(draw_rows, paint, k_picture_height / 2, k_picture_height, samples.data());
    draw_rows(paint, 0, k_picture_height / 2, samples.data());
    lower.join();
    return samples;
}

std::vector<std::uint8_t> draw_texture()
{
    std::vector<std::uint8_t> texels;
    texels.reserve(256 * 256 * 3);
    for (int row = 0; row < 256; ++row)
        for (int column = 0; column < 256; ++column) {
            const double u = column / 256.0;
            const double v = row / 256.0;
            // Periodic noise at three scales, warped, through a rainbow, with fine rings.
            const double coarse = dm::fbm(u * 4, v * 4, 61, 3, 4);
            const double fine = dm::fbm(u * 32, v * 32, 62, 2, 32);
            const double warp = dm::fbm(u * 8 + coarse * 2, v * 8, 63, 3, 8);
            const double rings = 0.5 + 0.5 * dm::sin(dm::tau * (4 * u + 3 * v) + warp * 6);
            const Rgb colour = rainbow(coarse * 2.5 + warp * 0.8) * (0.6 + 0.4 * rings) * (0.8 + 0.4 * fine);
            texels.push_back(to_byte(colour.r));
            texels.push_back(to_byte(colour.g));
            texels.push_back(to_byte(colour.b));
        }
    return texels;
}
