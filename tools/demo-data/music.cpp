#include "music.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "det_math.h"
#include "show/timeline.h"

namespace {

// The piece follows the show's timeline: two bars to each fade (so 94.1 beats a minute), the
// intro's fade-in, then two fades for each picture of the two sets.
constexpr int k_bars_per_fade = 2;
constexpr double k_bar = k_fade_ms / 1000.0 / k_bars_per_fade;
constexpr double k_beat = k_bar / 4;
constexpr int k_intro_bars = k_bars_per_fade;
constexpr int k_first_set_bars = 2 * k_bars_per_fade * k_first_set_count;
constexpr int k_second_set_bars = 2 * k_bars_per_fade * k_second_set_count;
constexpr int k_total_bars = k_intro_bars + k_first_set_bars + k_second_set_bars;
static_assert(k_total_bars == k_bars_per_fade * k_show_phases, "one bar pair per fade of the show");
constexpr int k_second_set_start = k_intro_bars + k_first_set_bars;
// The show ends as its last picture has faded in: that fade is the final chord dying away, after
// a two-bar cadence.
constexpr int k_final_bar = k_total_bars - k_bars_per_fade;
constexpr int k_cadence_start = k_final_bar - 2;
constexpr double k_show_seconds = k_total_bars * k_bar;
// Silent a beat before the last picture is fully in, so that nothing is cut when the show stops.
constexpr double k_silent_from = k_show_seconds - k_beat;
constexpr double k_final_chord_seconds = k_silent_from - k_final_bar * k_bar;
// The show's last frame comes a little after its nominal end at any frame rate; the file covers it.
constexpr double k_length = k_show_seconds + 1.0;

double note_frequency(int midi) { return 440.0 * dm::exp(0.69314718055994530942 * (midi - 69) / 12.0); }

// One cycle of a waveform made of harmonics, looked up with linear interpolation.
class Wavetable {
public:
    template <typename Amplitude>
    explicit Wavetable(int harmonics, Amplitude amplitude)
    {
        for (int i = 0; i < k_size; ++i) {
            double sum = 0;
            for (int h = 1; h <= harmonics; ++h)
                sum += amplitude(h) * dm::sin(dm::tau * h * i / k_size);
            table_[i] = sum;
        }
        table_[k_size] = table_[0];
    }

    // phase in cycles
    double at(double phase) const
    {
        const double p = dm::fract(phase) * k_size;
        const int i = static_cast<int>(p);
        return table_[i] + (table_[i + 1] - table_[i]) * (p - i);
    }

private:
    static constexpr int k_size = 4096;
    std::array<double, k_size + 1> table_;
};

const Wavetable& sine_table()
{
    static const Wavetable table(1, [](int) { return 1.0; });
    return table;
}
const Wavetable& warm_table()
{
    static const Wavetable table(7, [](int h) { return 0.6 / dm::pow(h, 1.4); });
    return table;
}
const Wavetable& reed_table()
{
    static const Wavetable table(9, [](int h) { return h % 2 ? 0.8 / h : 0.12 / h; });
    return table;
}

double noise(std::uint64_t n, std::uint32_t seed)
{
    return dm::unit(dm::hash(static_cast<std::uint32_t>(n) ^ dm::hash(seed + static_cast<std::uint32_t>(n >> 32)))) *
               2 -
           1;
}

class Mixer {
public:
    Mixer() : left_(samples(k_length)), right_(samples(k_length)), send_left_(left_.size()), send_right_(left_.size())
    {
    }

    static std::size_t samples(double seconds) { return static_cast<std::size_t>(seconds * k_sample_rate); }

    // Adds a voice that starts at start seconds and lasts seconds; voice(t) gives its sample at
    // t seconds into it. pan -1 is left, +1 right; echo is how much goes to the delay.
    template <typename Voice>
    void add(double start, double seconds, double pan, double echo, Voice voice)
    {
        const std::size_t first = samples(start);
        const std::size_t count = std::min(samples(seconds), left_.size() - std::min(first, left_.size()));
        const double gain_left = std::sqrt(0.5 * (1 - pan));
        const double gain_right = std::sqrt(0.5 * (1 + pan));
        for (std::size_t i = 0; i < count; ++i) {
            const double v = voice(static_cast<double>(i) / k_sample_rate);
            left_[first + i] += v * gain_left;
            right_[first + i] += v * gain_right;
            send_left_[first + i] += v * gain_left * echo;
            send_right_[first + i] += v * gain_right * echo;
        }
    }

    // Ping-pong echo of the sends at three eighths of a beat, then the final chord's fade to
    // silence, normalise and quantise.
    std::vector<std::int16_t> finish()
    {
        const std::size_t delay = samples(k_beat * 0.75);
        std::vector<double> echo_left(left_.size()), echo_right(left_.size());
        for (std::size_t i = delay; i < left_.size(); ++i) {
            echo_left[i] = send_right_[i - delay] + 0.4 * echo_right[i - delay];
            echo_right[i] = send_left_[i - delay] + 0.4 * echo_left[i - delay];
        }
        double peak = 1e-9;
        for (std::size_t i = 0; i < left_.size(); ++i) {
            left_[i] += 0.5 * echo_left[i];
            right_[i] += 0.5 * echo_right[i];
            const double t = static_cast<double>(i) / k_sample_rate;
            const double fade = dm::clamp((k_silent_from - t) / k_final_chord_seconds, 0.0, 1.0);
            left_[i] *= fade * fade;
            right_[i] *= fade * fade;
            peak = std::max({peak, std::fabs(left_[i]), std::fabs(right_[i])});
        }
        const double scale = 0.89 * 32767 / peak;
        std::vector<std::int16_t> out;
        out.reserve(2 * left_.size());
        for (std::size_t i = 0; i < left_.size(); ++i) {
            out.push_back(static_cast<std::int16_t>(std::lround(left_[i] * scale)));
            out.push_back(static_cast<std::int16_t>(std::lround(right_[i] * scale)));
        }
        return out;
    }

private:
    std::vector<double> left_, right_, send_left_, send_right_;
};

// Attack, then hold, then release over the last release seconds of length.
double envelope(double t, double length, double attack, double release)
{
    const double in = attack > 0 ? dm::clamp(t / attack, 0.0, 1.0) : 1.0;
    const double out = dm::clamp((length - t) / release, 0.0, 1.0);
    return in * out;
}

struct Chord {
    int root;                  // MIDI note of the bass
    std::array<int, 3> tones;  // MIDI notes of the pad, around middle C
};

// The first set broods in A minor; the second lifts towards its relative major.
const Chord k_first_progression[4] = {
    {45, {57, 60, 64}},  // Am
    {41, {57, 60, 65}},  // F
    {48, {55, 60, 64}},  // C
    {43, {55, 59, 62}},  // G
};
const Chord k_second_progression[4] = {
    {41, {57, 60, 65}},  // F
    {43, {55, 59, 62}},  // G
    {40, {55, 59, 64}},  // Em
    {45, {57, 60, 64}},  // Am
};
// The cadence: the submediant, the dominant with its leading tone, then home.
const Chord k_cadence[3] = {
    {41, {57, 60, 65}},  // F
    {40, {56, 59, 64}},  // E, its G sharp leading to A
    {45, {57, 60, 64}},  // Am
};

// Two octaves of A minor from A3, the lead's notes.
constexpr int k_scale[] = {57, 59, 60, 62, 64, 65, 67, 69, 71, 72, 74, 76, 77, 79, 81};

const Chord& chord_of_bar(int bar)
{
    if (bar >= k_final_bar)
        return k_cadence[2];
    if (bar >= k_cadence_start)
        return k_cadence[bar - k_cadence_start];
    if (bar >= k_second_set_start)
        return k_second_progression[(bar - k_second_set_start) % 4];
    return k_first_progression[(bar - k_intro_bars + 4) % 4];
}

bool in_first_set(int bar) { return bar >= k_intro_bars && bar < k_second_set_start; }
bool in_second_set(int bar) { return bar >= k_second_set_start && bar < k_final_bar; }

void play_pad(Mixer& mix)
{
    for (int bar = 0; bar <= k_final_bar; ++bar) {
        const Chord& chord = chord_of_bar(bar);
        const double start = bar * k_bar;
        // Each chord overlaps the next; the final one is struck and dies away over the last fade.
        const bool last = bar == k_final_bar;
        const double length = last ? k_final_chord_seconds : k_bar + 0.9;
        const double attack = bar == 0 ? 2.5 : last ? 0.05 : 0.7;
        const double release = last ? length : 0.9;
        const double level = bar < k_intro_bars ? 0.5 + 0.25 * bar : in_second_set(bar) ? 0.55 : 0.7;
        for (int v = 0; v < 3; ++v)
            for (int detune = -1; detune <= 1; detune += 2) {
                const double f = note_frequency(chord.tones[v]) * (1 + detune * 0.0025);
                mix.add(start, length, 0.5 * detune * (v - 1 + 0.5), 0.1, [=](double t) {
                    return 0.07 * level * envelope(t, length, attack, release) * warm_table().at(f * t + 0.13 * v);
                });
            }
    }
}

void play_bass(Mixer& mix)
{
    auto note = [&](double start, double length, double f, double level) {
        mix.add(start, length, 0.0, 0.0, [=](double t) {
            const double e = envelope(t, length, 0.004, 0.05) * (0.6 + 0.4 * dm::exp(-t * 6));
            return 0.22 * level * e * (0.7 * warm_table().at(f * t) + 0.5 * sine_table().at(f * 0.5 * t));
        });
    };
    for (int bar = k_intro_bars; bar < k_final_bar; ++bar) {
        const double f = note_frequency(chord_of_bar(bar).root);
        // First set: steady eighths. Second set: a syncopated root, fifth and octave figure.
        static constexpr double first_pattern[][2] = {{0, 1}, {0.5, 1}, {1, 1}, {1.5, 1},
                                                      {2, 1}, {2.5, 1}, {3, 1}, {3.5, 1}};
        static constexpr double second_pattern[][2] = {{0, 1}, {0.75, 1}, {1.5, 1.5}, {2, 2}, {2.75, 1}, {3.5, 1.5}};
        const bool second = in_second_set(bar);
        const auto* pattern = second ? second_pattern : first_pattern;
        const int count = second ? 6 : 8;
        for (int n = 0; n < count; ++n) {
            const double start = bar * k_bar + pattern[n][0] * k_beat;
            const double nf = f * pattern[n][1];
            const double length = k_beat * (second ? 0.7 : 0.45);
            note(start, length, nf, n == 0 ? 1.0 : 0.8);
        }
    }
    note(k_final_bar * k_bar, k_final_chord_seconds, note_frequency(chord_of_bar(k_final_bar).root), 1.0);
}

// Sixteenth-note arpeggios over the first set, the sparkle under the dot screen.
void play_arpeggio(Mixer& mix)
{
    for (int bar = k_intro_bars; bar < k_second_set_start; ++bar) {
        const Chord& chord = chord_of_bar(bar);
        const int notes[4] = {chord.tones[0] + 12, chord.tones[1] + 12, chord.tones[2] + 12, chord.tones[1] + 24};
        for (int s = 0; s < 16; ++s) {
            const double f = note_frequency(notes[(s * 3 + bar) % 4]);
            const double start = bar * k_bar + s * k_beat / 4;
            const double swell = bar < k_intro_bars + 4 ? (bar - k_intro_bars + 1) / 4.0 : 1.0;
            mix.add(start, 0.4, s % 2 ? 0.6 : -0.6, 0.5, [=](double t) {
                return 0.05 * swell * dm::exp(-t * 9) * (sine_table().at(f * t) + 0.3 * sine_table().at(3 * f * t));
            });
        }
    }
}

// The scale degree nearest to degree whose note belongs to the chord (in any octave).
int nearest_chord_tone(int degree, const Chord& chord)
{
    int best = -1;
    for (int d = 2; d < 15; ++d) {
        const bool chord_tone = std::any_of(chord.tones.begin(), chord.tones.end(),
                                            [&](int tone) { return (k_scale[d] - tone) % 12 == 0; });
        if (chord_tone && (best < 0 || std::abs(d - degree) < std::abs(best - degree)))
            best = d;
    }
    return best;
}

// The lead line: four-bar phrases of rhythms and steps chosen by a seeded hash, landing on chord
// tones on the beat; phrases alternate so that the tune comes back.
void play_lead(Mixer& mix)
{
    static constexpr int rhythms[][6] = {{2, 1, 1, 2, 2, 0}, {3, 1, 2, 2, 0, 0}, {1, 1, 2, 1, 1, 2},
                                         {4, 2, 2, 0, 0, 0}, {2, 2, 1, 1, 2, 0}, {6, 2, 0, 0, 0, 0}};
    auto note = [&](double start, double length, int midi, double level) {
        const double f = note_frequency(midi);
        mix.add(start, length + 0.15, -0.15, 0.45, [=](double t) {
            const double vibrato = 1 + 0.004 * dm::sin(dm::tau * 5.5 * t) * dm::clamp((t - 0.15) * 4, 0.0, 1.0);
            return level * envelope(t, length + 0.15, 0.02, 0.15) * reed_table().at(f * vibrato * t);
        });
    };
    const int first_bar = k_intro_bars + 4;
    // The second set's later phrases sing an octave up, and so does the cadence after them.
    auto octave = [&](int bar) { return in_second_set(bar) && (bar - first_bar) / 4 >= 4 ? 12 : 0; };
    for (int bar = first_bar; bar < k_cadence_start; ++bar) {
        const bool second = in_second_set(bar);
        const int phrase = (bar - first_bar) / 4;
        const std::uint32_t seed = (second ? 500u : 100u) + static_cast<std::uint32_t>(phrase % 2) * 17u +
                                   static_cast<std::uint32_t>((bar - first_bar) % 4);
        const int* rhythm = rhythms[dm::hash(seed) % 6];
        const Chord& chord = chord_of_bar(bar);
        int degree = 7;  // A4 an octave up: index into scale
        int eighth = 0;
        for (int n = 0; n < 6 && rhythm[n] != 0; ++n) {
            const std::uint32_t h = dm::hash(seed * 31u + static_cast<std::uint32_t>(n));
            const int step = static_cast<int>(h % 5) - 2;
            degree = std::clamp(degree + step, 2, 14);
            if (eighth % 2 == 0)
                degree = nearest_chord_tone(degree, chord);
            const double start = bar * k_bar + eighth * k_beat / 2;
            const double length = rhythm[n] * k_beat / 2 * 0.92;
            eighth += rhythm[n];
            if (dm::unit(h) < 0.1 && n > 0)
                continue;  // a breath
            note(start, length, k_scale[degree] + octave(bar), second ? 0.16 : 0.12);
        }
    }
    // The cadence's line, in beats from its start: C, A, C over F; B, then the leading tone G
    // sharp over E; the tonic held through the final chord.
    struct Step {
        double beat;
        double beats;
        int midi;
    };
    static constexpr Step cadence[] = {{0, 2, 72}, {2, 1, 69}, {3, 1, 72}, {4, 2, 71}, {6, 2, 68}};
    const double cadence_start = k_cadence_start * k_bar;
    const int up = octave(k_cadence_start);
    for (const Step& step : cadence)
        note(cadence_start + step.beat * k_beat, step.beats * k_beat * 0.92, step.midi + up, 0.16);
    note(k_final_bar * k_bar, k_final_chord_seconds - 0.15, 69 + up, 0.16);
}

void play_drums(Mixer& mix)
{
    std::uint64_t hit = 0;
    auto kick = [&](double start, double level) {
        mix.add(start, 0.45, 0.0, 0.0, [=](double t) {
            // The pitch falls from 130 to 45 Hz; its phase is the integral of that sweep.
            const double phase = 45 * t + (130 - 45) / 22.0 * (1 - dm::exp(-22 * t));
            return level * 0.5 * dm::exp(-t * 7) * sine_table().at(phase);
        });
    };
    auto snare = [&](double start, double level) {
        const std::uint32_t seed = static_cast<std::uint32_t>(++hit);
        mix.add(start, 0.3, 0.1, 0.15, [=](double t) {
            const double n = noise(static_cast<std::uint64_t>(t * k_sample_rate), seed);
            return level * (0.22 * n * dm::exp(-t * 16) + 0.2 * sine_table().at(185 * t) * dm::exp(-t * 28));
        });
    };
    auto hat = [&](double start, double level, double pan) {
        const std::uint32_t seed = static_cast<std::uint32_t>(++hit);
        mix.add(start, 0.12, pan, 0.0, [=](double t) {
            const std::uint64_t i = static_cast<std::uint64_t>(t * k_sample_rate);
            return level * 0.09 * (noise(i, seed) - noise(i + 1, seed)) * dm::exp(-t * 55);
        });
    };
    auto crash = [&](double start) {
        const std::uint32_t seed = static_cast<std::uint32_t>(++hit);
        mix.add(start, 3.5, -0.3, 0.1, [=](double t) {
            const std::uint64_t i = static_cast<std::uint64_t>(t * k_sample_rate);
            return 0.11 * (noise(i, seed) - 0.6 * noise(i + 2, seed)) * dm::exp(-t * 1.4);
        });
    };

    for (int bar = k_intro_bars; bar < k_final_bar; ++bar) {
        const double b = bar * k_bar;
        const int in_set = in_first_set(bar) ? bar - k_intro_bars : bar - k_second_set_start;
        if (in_first_set(bar)) {
            // The beat builds through the first set: kick, then hats, then the backbeat.
            kick(b, 0.9);
            kick(b + 2 * k_beat, 0.8);
            if (in_set >= 4)
                for (int e = 0; e < 8; ++e)
                    hat(b + e * k_beat / 2, e % 2 ? 0.6 : 1.0, 0.4);
            if (in_set >= 8) {
                snare(b + k_beat, 0.8);
                snare(b + 3 * k_beat, 0.8);
            }
        } else {
            kick(b, 1.0);
            kick(b + 1.5 * k_beat, 0.7);
            kick(b + 2 * k_beat, 0.9);
            snare(b + k_beat, 1.0);
            snare(b + 3 * k_beat, 1.0);
            for (int s = 0; s < 16; ++s)
                hat(b + s * k_beat / 4, s % 4 == 2 ? 1.0 : 0.5, s % 2 ? 0.5 : 0.3);
        }
        // A snare roll leads into the second set and into the final chord.
        if (bar == k_second_set_start - 1 || bar == k_final_bar - 1)
            for (int s = 0; s < 8; ++s)
                snare(b + 2 * k_beat + s * k_beat / 4, 0.4 + 0.08 * s);
    }
    crash(k_intro_bars * k_bar);
    crash(k_second_set_start * k_bar);
    kick(k_final_bar * k_bar, 1.0);
    crash(k_final_bar * k_bar);
}

}  // namespace

std::vector<std::int16_t> compose_soundtrack()
{
    Mixer mix;
    play_pad(mix);
    play_bass(mix);
    play_arpeggio(mix);
    play_lead(mix);
    play_drums(mix);
    return mix.finish();
}
