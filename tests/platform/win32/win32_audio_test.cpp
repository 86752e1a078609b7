// The Windows sound output driven as the show drives it, and the checks on what comes out of it.
// The calling script encodes this program's test signal with LAME, plays it through the real
// waveOut under Wine into a PulseAudio null sink, records the sink, and hands the recording back
// here to be compared with the signal itself.
//
//   signal OUT SECONDS RATE CHANNELS          the test signal as raw 16-bit PCM, or OUT.wav
//   decode FILE SECONDS [SLACK]               the decoder alone: exact start and length (within
//                                             SLACK frames, for a resampled file)
//   play FILE PLAY_MS [BUSY_AT_MS BUSY_MS]    the show's calls, with the main thread busy a while;
//                                             fails when the device ran out of our sound
//   compare REC MIN_MUSIC_MS mono|stereo|FILE a 44.1 kHz stereo recording of the signal played from
//                                             a mono or stereo file, or of the sound file FILE

#include <windows.h>
#include <psapi.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "audio/sound_format.h"
#include "platform/audio.h"
#include "platform/win32/audio_ring.h"
#include "platform/win32/sound_source.h"

namespace {

constexpr int k_rate = 44100;
constexpr double k_full_scale = 32767.0;
// Below this in both channels a frame is silence; the signal is never this quiet for 1 ms.
constexpr int k_quiet = 64;
// Wine mixes the sound in our own process at an ordinary priority, so on a busy machine its output
// breaks up: silences of 5 to 500 ms, as many as twenty a second, once one of 4.3 s, after which
// the music goes on that much later, while our ring was full. So the recording's gaps are only
// reported: the play's own count of the ring running dry tells whether any were ours. A silence
// this long is such a break (the signal is never quiet for 1 ms); no block spans one.
constexpr long k_break_frames = k_rate / 1000;
constexpr double k_min_correlation = 0.9;
// The level of the matching blocks against the reference's at the same places: Wine plays at full
// volume.
constexpr double k_min_level = 0.5;
// A recording is matched with the reference a block at a time, between Wine's breaks: its small
// underruns shift what follows them by a fraction of a millisecond upwards, so that no one offset
// fits a whole recording. A block that holds such a shift matches neither side; a few may. Wine's
// output may break up so often that few blocks fit between its breaks (a quarter of the music
// seen), but fewer than a second's worth tell nothing.
constexpr long k_block_frames = k_rate / 20;
constexpr double k_min_matched_share = 0.9;
constexpr long k_min_matched_blocks = 20;
// Each block is looked for this near where the last one matched (widened by the breaks since),
// else (a jump, or the first block) this far around it: the monitor may miss the first second,
// and a soundtrack that fades in is loud later. The wide searches are costly, and a recording that
// is not the music at all fails them all: a few suffice, the fewer the longer the blocks miss.
constexpr long k_block_lag_search = 100;
constexpr long k_start_search = 2 * k_rate;
constexpr int k_max_wide_searches = 10;
// A decoder's first sample is looked for this far around the signal's: more than an MP3
// encoder's delay at either rate, which a decoder without gapless decoding would leave in.
constexpr long k_decoder_lag_search = 3000;

// Two tones whose pitch wanders at unrelated slow rates, plus a steady one: never silent, and no
// stretch of it looks like another, so a correlation finds one offset only.
double signal_at(double t, int channel)
{
    constexpr double two_pi = 2 * std::numbers::pi;
    const double wander = channel == 0 ? 0.37 : 0.23;
    const double depth = channel == 0 ? 250.0 : 200.0;
    const double centre = channel == 0 ? 600.0 : 450.0;
    const double phase = two_pi * (centre * t - depth / (two_pi * wander) * std::cos(two_pi * wander * t));
    return 0.3 * std::sin(phase) + 0.15 * std::sin(two_pi * (1234.5 + channel * 97.1) * t);
}

// What a recording or a decoder's output is matched with: the test signal (one channel of it
// twice, for a mono file), or the frames of a soundtrack decoded here.
struct Reference {
    bool mono = false;
    std::vector<std::int16_t> decoded;  // interleaved stereo; empty for the signal

    double at(long frame, int channel) const
    {
        if (decoded.empty())
            return signal_at(double(frame) / k_rate, mono ? 0 : channel);
        const bool inside = frame >= 0 && frame < static_cast<long>(decoded.size() / 2);
        return inside ? decoded[2 * frame + channel] / k_full_scale : 0.0;
    }

    // Its first frame above silence (the signal starts loud; a soundtrack may fade in).
    long first_loud() const
    {
        const long frames = decoded.empty() ? k_rate : static_cast<long>(decoded.size() / 2);
        long first = 0;
        while (first < frames && std::abs(at(first, 0)) * k_full_scale <= k_quiet &&
               std::abs(at(first, 1)) * k_full_scale <= k_quiet)
            ++first;
        return first;
    }
};

int fail(const char* format, double a = 0, double b = 0)
{
    std::printf("FAIL: ");
    std::printf(format, a, b);
    std::printf("\n");
    return 1;
}

void put_le(std::FILE* out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        std::fputc(static_cast<int>(value >> (8 * i) & 0xFF), out);
}

// A WAV header for frames of 16-bit PCM, with a chunk of odd size before the sound's, as other
// programs write (its padding byte must be skipped).
void put_wav_header(std::FILE* out, long frames, int rate, int channels)
{
    const std::uint32_t data_bytes = static_cast<std::uint32_t>(frames * channels * 2);
    const char note[] = "velmorastik";  // 11 bytes, padded to 12
    std::fputs("RIFF", out);
    put_le(out, 4 + 8 + 16 + 8 + 12 + 8 + data_bytes, 4);
    std::fputs("WAVEfmt ", out);
    put_le(out, 16, 4);
    put_le(out, 1, 2);
    put_le(out, channels, 2);
    put_le(out, rate, 4);
    put_le(out, rate * channels * 2, 4);
    put_le(out, channels * 2, 2);
    put_le(out, 16, 2);
    std::fputs("note", out);
    put_le(out, sizeof note - 1, 4);
    std::fwrite(note, 1, sizeof note, out);
    std::fputs("data", out);
    put_le(out, data_bytes, 4);
}

// The signal as 16-bit PCM: raw for the encoder, or a WAV when the name ends in .wav.
int make_signal(const char* path, double seconds, int rate, int channels)
{
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr)
        return fail("cannot write the signal");
    const long frames = std::lround(seconds * rate);
    const std::size_t length = std::strlen(path);
    if (length > 4 && std::strcmp(path + length - 4, ".wav") == 0)
        put_wav_header(out, frames, rate, channels);
    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const auto sample = static_cast<std::int16_t>(std::lround(signal_at(double(i) / rate, c) * k_full_scale));
            put_le(out, static_cast<std::uint16_t>(sample), 2);
        }
    return std::fclose(out) == 0 ? 0 : fail("cannot write the signal");
}

// The lag at which frames (interleaved stereo) [from, from + window) best match the reference's
// left channel, frame i holding the reference's frame i - lag; searched around guess.
long best_lag(const std::vector<std::int16_t>& frames, const Reference& expected, long guess, long from, long window,
              long search)
{
    const long base = from - guess - search;  // the reference's first frame needed
    std::vector<double> reference(window + 2 * search + 1);
    for (std::size_t i = 0; i < reference.size(); ++i)
        reference[i] = expected.at(base + static_cast<long>(i), 0);
    // Scored by the correlation itself: a plain sum would prefer where the reference is loudest.
    std::vector<double> energy(reference.size() + 1, 0.0);
    for (std::size_t i = 0; i < reference.size(); ++i)
        energy[i + 1] = energy[i] + reference[i] * reference[i];
    long best = guess;
    double best_score = -1e300;
    for (long lag = guess - search; lag <= guess + search; ++lag) {
        double sum = 0;
        for (long i = from; i < from + window; ++i)
            sum += frames[2 * i] * reference[i - lag - base];
        const long start = from - lag - base;
        const double score = sum / std::sqrt(energy[start + window] - energy[start] + 1e-9);
        if (score > best_score) {
            best_score = score;
            best = lag;
        }
    }
    return best;
}

// The worse correlation of the two channels of frames [from, to) with the reference at that lag.
double correlation(const std::vector<std::int16_t>& frames, const Reference& expected, long lag, long from, long to)
{
    double worst = 1;
    for (int c = 0; c < 2; ++c) {
        double cross = 0, heard = 0, wanted = 0;
        for (long i = from; i < to; ++i) {
            const double x = frames[2 * i + c];
            const double s = expected.at(i - lag, c);
            cross += x * s;
            heard += x * x;
            wanted += s * s;
        }
        const double r = heard > 0 ? cross / std::sqrt(heard * wanted) : 0;
        worst = r < worst ? r : worst;
    }
    return worst;
}

// Whether frames [from, to) hold the same sample in both channels, as a mono file played is.
bool is_mono(const std::vector<std::int16_t>& frames, long from, long to)
{
    for (long i = from; i < to; ++i)
        if (frames[2 * i] != frames[2 * i + 1])
            return false;
    return true;
}

std::vector<std::int16_t> read_all(SoundSource& source)
{
    std::vector<std::int16_t> frames;
    std::int16_t block[4096 * k_source_channels];
    while (const std::size_t got = source.read(source.state, block, 4096))
        frames.insert(frames.end(), block, block + got * k_source_channels);
    return frames;
}

// The whole of a sound file as the Windows build decodes it; false when it cannot.
bool decode_file(const char* path, std::vector<std::int16_t>* frames)
{
    std::FILE* file = std::fopen(path, "rb");
    std::uint8_t head[k_sound_head_bytes];
    const std::size_t head_size = file != nullptr ? std::fread(head, 1, sizeof head, file) : 0;
    SoundSource source = {};
    char reason[256] = "";
    if (file == nullptr || std::fseek(file, 0, SEEK_SET) != 0 ||
        !sound_source_open(file, sound_format_of(head, head_size), k_rate, &source, reason, sizeof reason)) {
        std::printf("FAIL: cannot open %s: %s\n", path, reason);
        return false;
    }
    *frames = read_all(source);
    source.close(source.state);
    return true;
}

int decode(const char* path, double seconds, long allowed)
{
    std::vector<std::int16_t> frames;
    if (!decode_file(path, &frames))
        return 1;
    const long expected = std::lround(seconds * k_rate);
    const long got = static_cast<long>(frames.size() / 2);
    const Reference signal = {.mono = is_mono(frames, 0, got), .decoded = {}};
    const long lag = best_lag(frames, signal, 0, k_rate / 2, got - k_rate / 2 < k_rate ? got - k_rate / 2 : k_rate,
                              k_decoder_lag_search);
    const double r = correlation(frames, signal, lag, 0, got < expected ? got : expected);
    std::printf("decoded %ld frames (signal %ld), first sample at %ld, correlation %.4f\n", got, expected, lag, r);
    if (std::labs(lag) > allowed)
        return fail("the decoded sound starts %.0f frames away from the signal's first", double(lag));
    if (std::labs(got - expected) > allowed)
        return fail("%.0f frames decoded where the signal has %.0f", double(got), double(expected));
    return r >= k_min_correlation ? 0 : fail("the decoded sound correlates %.4f with the signal", r);
}

PROCESS_MEMORY_COUNTERS memory()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// The main thread as the show's when idle: it hands out its messages until ms have passed.
void pump_messages(DWORD ms)
{
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < ms; elapsed = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
}

int play(const char* path, int play_ms, int busy_at_ms, int busy_ms)
{
    if (!audio_open_device(k_rate)) {
        std::printf("device: none (%s)\n", audio_failure_reason());
        std::FILE* file = std::fopen(path, "rb");
        // What the show does next without a device: every call still safe.
        PlatformMusic* music = file != nullptr ? audio_load_music(file, SoundFormat::mp3) : nullptr;
        std::printf("load: %s (%s)\n", music != nullptr ? "ok" : "failed", audio_failure_reason());
        audio_play_music(music);
        audio_stop(music);
        return 0;
    }
    std::printf("device: open\n");
    const std::size_t before_load = memory().WorkingSetSize;
    std::FILE* file = std::fopen(path, "rb");
    std::uint8_t head[k_sound_head_bytes];
    const std::size_t head_size = file != nullptr ? std::fread(head, 1, sizeof head, file) : 0;
    if (file == nullptr || std::fseek(file, 0, SEEK_SET) != 0)
        return fail("cannot read the sound file");
    PlatformMusic* music = audio_load_music(file, sound_format_of(head, head_size));
    std::printf("load: %s (%s)\n", music != nullptr ? "ok" : "failed", audio_failure_reason());
    std::fflush(stdout);
    const DWORD start = GetTickCount();
    audio_play_music(music);
    long written_while_busy = 0;
    if (busy_ms > 0) {
        pump_messages(busy_at_ms);
        // Spinning, as a slow picture load does: the main thread gives nothing up.
        const long written_before = ring_report().buffers_written;
        const DWORD busy_start = GetTickCount();
        while (GetTickCount() - busy_start < static_cast<DWORD>(busy_ms)) {
        }
        written_while_busy = ring_report().buffers_written - written_before;
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed < static_cast<DWORD>(play_ms))
        pump_messages(play_ms - elapsed);
    const DWORD stop_start = GetTickCount();
    audio_stop(music);
    std::printf("stopped in %lu ms\n", static_cast<unsigned long>(GetTickCount() - stop_start));
    std::printf("working set: %zu bytes before loading, peak %zu bytes\n", before_load, memory().PeakWorkingSetSize);
    // What our own feeder saw: a break that Wine or the sound server make later is not counted.
    const RingReport ring = ring_report();
    std::printf("ring: %ld buffers written", ring.buffers_written);
    if (busy_ms > 0)
        std::printf(" (%ld while the main thread was busy)", written_while_busy);
    std::printf("; at %ld refills the device held at least %d ms, none %ld times\n", ring.refills, ring.least_queued_ms,
                ring.ran_dry);
    if (ring.ran_dry > 0)
        return fail("the device ran out of sound at %.0f of %.0f refills", double(ring.ran_dry), double(ring.refills));
    if (busy_ms > 0 && written_while_busy == 0)
        return fail("no sound was written while the main thread was busy for %.0f ms", busy_ms);
    return 0;
}

// A recording holds the reference: at its level, in order, each block between Wine's breaks at
// its place (which the first loud frame only roughly gives: the recording starts at an unknown
// time in the music).
int compare(const char* path, double min_music_ms, const Reference& expected)
{
    std::vector<std::int16_t> frames;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return fail("cannot read the recording");
    std::int16_t block[8192];
    while (const std::size_t got = std::fread(block, sizeof block[0], 8192, file))
        frames.insert(frames.end(), block, block + got);
    std::fclose(file);
    const long total = static_cast<long>(frames.size() / 2);
    auto loud = [&](long i) { return std::abs(frames[2 * i]) > k_quiet || std::abs(frames[2 * i + 1]) > k_quiet; };
    long first = 0;
    while (first < total && !loud(first))
        ++first;
    long last = total - 1;
    while (last > first && !loud(last))
        --last;
    const double music_ms = first < total ? (last - first + 1) * 1000.0 / k_rate : 0;
    std::printf("recording: %.0f ms, music %.0f ms of it\n", total * 1000.0 / k_rate, music_ms);
    if (music_ms < min_music_ms)
        return fail("%.0f ms of music recorded, expected at least %.0f", music_ms, min_music_ms);
    long longest_gap = 0;
    for (long i = first, run = 0; i <= last; ++i) {
        run = loud(i) ? 0 : run + 1;
        longest_gap = run > longest_gap ? run : longest_gap;
    }
    double heard_energy = 0, expected_energy = 0;  // over the matching blocks
    const long reference_first = expected.first_loud();
    long blocks = 0, matched = 0, lag = first - reference_first, first_lag = lag, wide_searches = 0;
    long breaks = 0, silence = 0, misses = 0;  // silence: frames of breaks since the last match
    for (long from = first; from + k_block_frames <= last + 1;) {
        long quiet = 0, end = from;
        for (; end < from + k_block_frames && quiet < k_break_frames; ++end)
            quiet = loud(end) ? 0 : quiet + 1;
        if (quiet == k_break_frames) {
            // A break: the next block starts with the sound after it.
            long next = end;
            while (next <= last && !loud(next))
                ++next;
            ++breaks;
            silence += next - (end - quiet);
            from = next;
            continue;
        }
        auto fits = [&](long at) {
            return correlation(frames, expected, at, from, from + k_block_frames) >= k_min_correlation;
        };
        // Near where the last block matched, as far again as the breaks since may have moved it;
        // failing that, anywhere.
        long found = best_lag(frames, expected, lag, from, k_block_frames, k_block_lag_search + silence);
        bool match = matched > 0 && fits(found);
        if (!match && wide_searches < k_max_wide_searches && (misses & (misses + 1)) == 0) {
            ++wide_searches;
            found = best_lag(frames, expected, lag, from, k_block_frames, k_start_search);
            match = fits(found);
        }
        ++blocks;
        misses = match ? 0 : misses + 1;
        if (match) {
            first_lag = matched == 0 ? found : first_lag;
            ++matched;
            lag = found;
            silence = 0;
            for (long i = from; i < from + k_block_frames; ++i)
                for (int c = 0; c < 2; ++c) {
                    heard_energy += (frames[2 * i + c] / k_full_scale) * (frames[2 * i + c] / k_full_scale);
                    expected_energy += expected.at(i - lag, c) * expected.at(i - lag, c);
                }
        }
        from += k_block_frames;
    }
    const double samples = 2.0 * matched * k_block_frames + 1e-9;
    const double rms = std::sqrt(heard_energy / samples), expected_rms = std::sqrt(expected_energy / samples);
    std::printf("%ld breaks, the longest %.1f ms; %ld of %ld blocks of %.0f ms match the %s, the last %.1f ms "
                "later than the first, at rms %.3f (%.3f expected)\n",
                breaks, longest_gap * 1000.0 / k_rate, matched, blocks, k_block_frames * 1000.0 / k_rate,
                expected.decoded.empty() ? "signal" : "soundtrack", (lag - first_lag) * 1000.0 / k_rate, rms,
                expected_rms);
    if (matched < blocks * k_min_matched_share)
        return fail("%.0f of %.0f blocks match", double(matched), double(blocks));
    if (matched < k_min_matched_blocks)
        return fail("%.0f blocks match, fewer than %.0f", double(matched), double(k_min_matched_blocks));
    if (rms < k_min_level * expected_rms)
        return fail("the music's rms is %.3f where %.3f was played", rms, expected_rms);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* usage = "usage: signal OUT SECONDS RATE CHANNELS | decode FILE SECONDS [SLACK] | "
                        "play FILE PLAY_MS [BUSY_AT_MS BUSY_MS] | compare REC MIN_MUSIC_MS mono|stereo|FILE\n";
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "signal") == 0 && argc == 6)
        return make_signal(argv[2], std::atof(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    if (std::strcmp(mode, "decode") == 0 && (argc == 4 || argc == 5))
        return decode(argv[2], std::atof(argv[3]), argc == 5 ? std::atol(argv[4]) : 0);
    if (std::strcmp(mode, "play") == 0 && (argc == 4 || argc == 6))
        return play(argv[2], std::atoi(argv[3]), argc == 6 ? std::atoi(argv[4]) : 0,
                    argc == 6 ? std::atoi(argv[5]) : 0);
    if (std::strcmp(mode, "compare") == 0 && argc == 5) {
        Reference expected = {.mono = std::strcmp(argv[4], "mono") == 0, .decoded = {}};
        if (!expected.mono && std::strcmp(argv[4], "stereo") != 0 && !decode_file(argv[4], &expected.decoded))
            return 1;
        return compare(argv[2], std::atof(argv[3]), expected);
    }
    std::fputs(usage, stderr);
    return 64;
}
