#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "fx/frame.h"
#include "fx/show_frame.h"
#include "show/data_set.h"
#include "show/timeline.h"

namespace {

// The picture buffer a frame was made from.
enum Source { unknown, outgoing, incoming };

// What the fakes saw, in order.
struct Event {
    enum Kind { load, effect, pump, show } kind = load;
    std::string path;                 // load
    const Frame32* buffer = nullptr;  // load
    double angle = 0;                 // effect
    int picture = 0;                  // effect: the picture the frame is made from; pump, show: the
                                      // picture in the virtual backbuffer, 0 once it is faded
    int amount = 0;                   // effect: the amount asked for; show: the amount applied
    Source source = unknown;          // show: the buffer the frame was made from, unless black
    std::uint32_t clock = 0;          // show: the clock when the frame was presented
};

// The scripted clock: it stands still between presented frames and moves by step at each one;
// the hooks may move it further.
struct Recording {
    std::vector<Event> events;
    std::uint32_t clock = 0;
    std::uint32_t step = 20;  // one level a frame, and phase starts exact in single precision
    int shows = 0;
    std::function<void(const std::string& path)> on_load;
    std::function<void()> after_show;
    std::function<void()> before_reading;
};

Recording g_recording;

// A picture is known by its number: 1 for the intro, 10 + k for set 1, 20 + k for set 2.
int picture_number(const std::string& path)
{
    const int set = path[9] - '0';
    const int k = path[11] - '0';
    return set * 10 + k;
}

// Pixel 0 is white, so the fade amount can be read back from it; pixel 1 tells the two buffers
// apart (red in the outgoing one, blue in the incoming one) until a fade blacks it out; pixel 2
// carries the picture's number in its blue byte, and its top byte tells whether the frame has
// been faded yet.
void fill_picture(Frame32* buffer, int number)
{
    buffer->pixels[0] = 0xFFFFFFFF;
    buffer->pixels[1] = buffer == &g_outgoing_picture ? 0xFFFF0000 : 0xFF0000FF;
    buffer->pixels[2] = 0xFF000000u | static_cast<std::uint32_t>(number);
}

int picture_in(const Frame32& frame)
{
    const std::uint32_t pixel = frame.pixels[2];
    return pixel >> 24 == 0xFF ? static_cast<int>(pixel & 0xFF) : 0;
}

int picture_in_backbuffer() { return picture_in(*g_virtual_backbuffer); }

Source source_in_backbuffer()
{
    const std::uint32_t pixel = g_virtual_backbuffer->pixels[1];
    return pixel & 0xFF0000 ? outgoing : pixel & 0xFF ? incoming : unknown;
}

void fake_load(const char* path, Frame32* buffer)
{
    Event event;
    event.kind = Event::load;
    event.path = path;
    event.buffer = buffer;
    g_recording.events.push_back(event);
    fill_picture(buffer, picture_number(path));
    if (g_recording.on_load)
        g_recording.on_load(path);
}

// Makes the frame as the real one does, less the effect's dots, so that what is presented tells
// which picture and which amount the timeline asked for; effect frames are recorded.
void fake_draw_frame(const Frame32& picture, std::uint32_t amount, double angle)
{
    if (angle != k_no_effect) {
        Event event;
        event.kind = Event::effect;
        event.angle = angle;
        event.picture = picture_in(picture);
        event.amount = static_cast<int>(amount);
        g_recording.events.push_back(event);
    }
    copy_faded_frame(picture, amount);
}

void fake_pump()
{
    Event event;
    event.kind = Event::pump;
    event.picture = picture_in_backbuffer();
    g_recording.events.push_back(event);
}

void fake_show()
{
    Event event;
    event.kind = Event::show;
    event.picture = picture_in_backbuffer();
    event.amount = 255 - static_cast<int>(g_virtual_backbuffer->pixels[0] & 0xFF);
    event.source = source_in_backbuffer();
    event.clock = g_recording.clock;
    EXPECT_EQ(g_virtual_backbuffer->pixels[0] >> 24, 0u) << "every presented frame has been faded";
    g_recording.events.push_back(event);
    g_recording.clock += g_recording.step;
    ++g_recording.shows;
    if (g_recording.after_show)
        g_recording.after_show();
}

std::uint32_t fake_now()
{
    if (g_recording.before_reading)
        g_recording.before_reading();
    return g_recording.clock;
}

// One phase as seen from outside: the frames presented between two loads or two sources.
struct Phase {
    int picture = 0;  // from the pump before the fade; the intro has none
    bool effect = false;
    std::vector<int> amounts;
    std::vector<double> angles;
};

class TimelineTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_virtual_backbuffer = allocate_frame();
        ASSERT_NE(g_virtual_backbuffer, nullptr);
        g_recording = Recording{};
        fill_picture(&g_outgoing_picture, 1);
    }
    void TearDown() override
    {
        free_frame(g_virtual_backbuffer);
        g_virtual_backbuffer = nullptr;
    }

    const std::vector<Event>& play()
    {
        run_show({
            .load_picture = fake_load,
            .draw_frame = fake_draw_frame,
            .show_frame = fake_show,
            .pump_messages = fake_pump,
            .now = fake_now,
        });
        return g_recording.events;
    }

    // Splits the presented frames into phases: a phase is a run of frames made from one buffer
    // with no load in between. A black frame shows no buffer: it ends a fade-out whose previous
    // frame was not yet black, and otherwise belongs with the frames after it.
    static std::vector<Phase> phases(const std::vector<Event>& events)
    {
        std::vector<Source> sources;
        std::vector<std::size_t> shows;
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i].kind == Event::show) {
                shows.push_back(i);
                sources.push_back(events[i].source);
            }
        auto load_between = [&](std::size_t from, std::size_t to) {
            return std::any_of(events.begin() + static_cast<long>(from), events.begin() + static_cast<long>(to),
                               [](const Event& e) { return e.kind == Event::load; });
        };
        for (std::size_t f = 0; f < sources.size(); ++f) {
            if (sources[f] != unknown)
                continue;
            const bool continues = f > 0 && !load_between(shows[f - 1], shows[f]);
            if (continues && sources[f - 1] == outgoing && events[shows[f - 1]].amount < 255) {
                sources[f] = outgoing;
                continue;
            }
            std::size_t next = f + 1;
            while (next < sources.size() && sources[next] == unknown && !load_between(shows[f], shows[next]))
                ++next;
            sources[f] = next < sources.size() && !load_between(shows[f], shows[next]) ? sources[next] : incoming;
        }

        std::vector<Phase> result;
        int in_buffer[3] = {0, 1, 0};  // the intro background starts in the outgoing buffer
        std::size_t previous_show = 0;
        std::size_t f = 0;
        bool effect = false;
        std::vector<double> angles;
        for (std::size_t i = 0; i < events.size(); ++i) {
            const Event& event = events[i];
            if (event.kind == Event::load)
                in_buffer[event.buffer == &g_outgoing_picture ? outgoing : incoming] = picture_number(event.path);
            if (event.kind == Event::effect) {
                effect = true;
                angles.push_back(event.angle);
            }
            if (event.kind != Event::show)
                continue;
            if (f == 0 || sources[f] != sources[f - 1] || load_between(previous_show, i)) {
                result.emplace_back();
                result.back().picture = in_buffer[sources[f]];
            }
            Phase& phase = result.back();
            phase.amounts.push_back(event.amount);
            phase.effect = phase.effect || effect;
            phase.angles.insert(phase.angles.end(), angles.begin(), angles.end());
            effect = false;
            angles.clear();
            previous_show = i;
            ++f;
        }
        return result;
    }
};

TEST_F(TimelineTest, LoadsEveryPictureInOrderIntoItsBuffer)
{
    std::vector<std::pair<std::string, const Frame32*>> loads;
    for (const Event& event : play())
        if (event.kind == Event::load)
            loads.emplace_back(event.path, event.buffer);

    const Frame32* in = &g_incoming_picture;
    const Frame32* out = &g_outgoing_picture;
    // A picture loaded in and the one before it out, a pair a line.
    // clang-format off
    const std::vector<std::pair<std::string, const Frame32*>> expected = {
        {"data/gfx/1/1.jpg", in},
        {"data/gfx/1/2.jpg", in}, {"data/gfx/1/1.jpg", out},
        {"data/gfx/1/3.jpg", in}, {"data/gfx/1/2.jpg", out},
        {"data/gfx/1/4.jpg", in}, {"data/gfx/1/3.jpg", out},
        {"data/gfx/1/5.jpg", in}, {"data/gfx/1/4.jpg", out},
        // The second set's first fade-out starts from the picture on screen, set 1's fifth.
        {"data/gfx/2/1.jpg", in}, {"data/gfx/1/5.jpg", out},
        {"data/gfx/2/2.jpg", in}, {"data/gfx/2/1.jpg", out},
        {"data/gfx/2/3.jpg", in}, {"data/gfx/2/2.jpg", out},
        {"data/gfx/2/4.jpg", in}, {"data/gfx/2/3.jpg", out},
        {"data/gfx/2/5.jpg", in}, {"data/gfx/2/4.jpg", out},
        {"data/gfx/2/6.jpg", in}, {"data/gfx/2/5.jpg", out},
    };
    // clang-format on
    EXPECT_EQ(loads, expected);
}

TEST_F(TimelineTest, TwentyThreePhasesEachFadingFromThePictureOnScreen)
{
    const std::vector<Phase> show = phases(play());
    ASSERT_EQ(show.size(), static_cast<std::size_t>(k_show_phases));
    // Intro in; intro out, 11 in; 11 out, 12 in; ... 15 out, 21 in; ... 25 out, 26 in.
    const std::vector<int> expected = {1,  1,  11, 11, 12, 12, 13, 13, 14, 14, 15, 15,
                                       21, 21, 22, 22, 23, 23, 24, 24, 25, 25, 26};
    std::vector<int> pictures;
    for (const Phase& phase : show)
        pictures.push_back(phase.picture);
    EXPECT_EQ(pictures, expected);
}

TEST_F(TimelineTest, EffectOnTheFirstFourTransitionsOfTheFirstSetOnly)
{
    const auto events = play();
    const std::vector<Phase> show = phases(events);
    ASSERT_EQ(show.size(), static_cast<std::size_t>(k_show_phases));
    for (std::size_t i = 0; i < show.size(); ++i) {
        const bool expected = i >= 1 && i <= 8;
        EXPECT_EQ(show[i].effect, expected) << "phase " << i;
        if (show[i].effect) {
            EXPECT_EQ(show[i].angles.size(), show[i].amounts.size()) << "effect on every frame of phase " << i;
        }
    }
    // What a person is told of each place is what the show draws: the pictures under the effect
    // (numbered as fill_picture numbers them) are the places that say they carry it.
    std::set<int> under_effect;
    for (const Event& event : events)
        if (event.kind == Event::effect)
            under_effect.insert(event.picture);
    const std::vector<std::string> places = data_set_pictures();
    for (int place = 0; place < static_cast<int>(places.size()); ++place) {
        const int number = place == 0 ? 1 : picture_number(places[place]);
        EXPECT_EQ(picture_carries_effect(place), under_effect.count(number) == 1) << places[place];
    }
    EXPECT_EQ(under_effect, (std::set<int>{1, 11, 12, 13, 14}));
}

TEST_F(TimelineTest, EveryPhaseRunsFromItsStartToOneFrameAtLevel255)
{
    const std::vector<Phase> show = phases(play());
    ASSERT_EQ(show.size(), static_cast<std::size_t>(k_show_phases));
    for (std::size_t i = 0; i < show.size(); ++i) {
        const std::vector<int>& amounts = show[i].amounts;
        const bool fade_in = i % 2 == 0;
        // At 20 ms a frame the level is 0, 1, 2, ... 255: each amount exactly once.
        ASSERT_EQ(amounts.size(), 256u) << "phase " << i;
        EXPECT_EQ(amounts.front(), fade_in ? 255 : 0) << "phase " << i;
        EXPECT_EQ(amounts[100], fade_in ? 155 : 100) << "phase " << i;
        EXPECT_EQ(amounts.back(), fade_in ? 0 : 255) << "phase " << i;
    }
}

TEST_F(TimelineTest, LevelsAreTruncatedAndPhaseStartsHeldInSinglePrecision)
{
    g_recording.step = 17;  // 0.85 levels a frame
    const std::vector<Phase> show = phases(play());
    ASSERT_EQ(show.size(), static_cast<std::size_t>(k_show_phases));

    // The intro starts at 0: 255 - 0.85 n, cut toward zero (rounding would give 251, 250, 250).
    const std::vector<int>& intro = show[0].amounts;
    ASSERT_EQ(intro.size(), 301u);
    EXPECT_EQ(std::vector<int>(intro.begin(), intro.begin() + 8),
              (std::vector<int>{255, 254, 253, 252, 251, 250, 249, 249}));
    EXPECT_EQ(intro[299], 0) << "level 254.15";
    EXPECT_EQ(intro[300], 0) << "level 255";

    // The next phase starts at 5,117 ms; 255.85 held in single precision is 255.8500061, so the
    // level of its frame n is 0.85 n - 0.0000061: frame 20 is at 16.99999, drawn as 16.
    const std::vector<int>& out = show[1].amounts;
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[20], 16);
    EXPECT_EQ(out.back(), 255);
    EXPECT_EQ(std::count(out.begin(), out.end(), 255), 1);
    EXPECT_EQ(out.size(), 301u) << "frame 300, at 254.999994, is held as 255 in single precision and ends the phase";
}

TEST_F(TimelineTest, CallOrderWithinAFrame)
{
    const std::vector<Event>& events = play();
    auto kinds = [&](std::size_t from, std::size_t count) {
        std::vector<Event::Kind> result;
        for (std::size_t i = from; i < from + count; ++i)
            result.push_back(events[i].kind);
        return result;
    };
    // The intro presents, then pumps; it does not pump before the fade.
    EXPECT_EQ(kinds(0, 4), (std::vector<Event::Kind>{Event::show, Event::pump, Event::show, Event::pump}));

    // An effect frame pumps, is made in one go, presented, and pumps again; the first one fades
    // out the intro's picture, by 0.
    const auto first_load = std::find_if(events.begin(), events.end(),
                                         [](const Event& e) { return e.kind == Event::load; });
    const std::size_t effect_frame = static_cast<std::size_t>(first_load - events.begin()) + 1;
    EXPECT_EQ(kinds(effect_frame, 4), (std::vector<Event::Kind>{Event::pump, Event::effect, Event::show, Event::pump}));
    EXPECT_EQ(events[effect_frame + 1].picture, 1) << "made from the picture on screen";
    EXPECT_EQ(events[effect_frame + 1].amount, 0);
    EXPECT_EQ(events[effect_frame + 2].amount, 0) << "presented as made";
    EXPECT_EQ(events[effect_frame + 2].source, outgoing);
    // The last effect frame ends the fourth transition's fade-in.
    const auto last_effect = std::find_if(events.rbegin(), events.rend(),
                                          [](const Event& e) { return e.kind == Event::effect; });
    EXPECT_EQ(last_effect->picture, 14) << "the fourth transition is the last with the effect";
    EXPECT_EQ(last_effect->amount, 0);

    const auto last_load = std::find_if(events.rbegin(), events.rend(),
                                        [](const Event& e) { return e.kind == Event::load; });
    const std::size_t plain_frame = static_cast<std::size_t>(events.rend() - last_load);
    EXPECT_EQ(kinds(plain_frame, 3), (std::vector<Event::Kind>{Event::pump, Event::show, Event::pump}));
}

TEST_F(TimelineTest, EffectAngleRunsOnTheClockAcrossPhases)
{
    const std::vector<Event>& events = play();
    std::uint32_t frame_clock = 0;
    int checked = 0;
    for (const Event& event : events) {
        if (event.kind == Event::show)
            frame_clock = event.clock + g_recording.step;
        if (event.kind == Event::effect) {
            // The frame being drawn is presented at the clock after the previous one.
            EXPECT_DOUBLE_EQ(event.angle, frame_clock * 0.002);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 8 * 256);
}

TEST_F(TimelineTest, AFrameSlowerThanTheRestOfThePhaseEndsIt)
{
    // The second frame of the first fade-out takes 10 s: the third is drawn at level 255 and
    // ends the phase; the fade-in after it runs as usual.
    int shows_at_load = -1;
    g_recording.on_load = [&](const std::string& path) {
        if (path == "data/gfx/1/1.jpg")
            shows_at_load = g_recording.shows;
    };
    g_recording.after_show = [&] {
        if (shows_at_load >= 0 && g_recording.shows == shows_at_load + 2)
            g_recording.clock += 10000;
    };
    const std::vector<Phase> show = phases(play());
    ASSERT_EQ(show.size(), static_cast<std::size_t>(k_show_phases));
    EXPECT_EQ(show[1].amounts, (std::vector<int>{0, 1, 255}));
    EXPECT_EQ(show[2].amounts.size(), 256u);
}

TEST_F(TimelineTest, APhaseWhoseTimeIsUpBeforeItStartsDrawsNoFrame)
{
    // The clock moves 6 s between the first fade-out's start and its first test.
    int armed = -1;
    bool first = true;
    g_recording.on_load = [&](const std::string& path) {
        if (path == "data/gfx/1/1.jpg" && first) {
            armed = 0;
            first = false;
        }
    };
    g_recording.before_reading = [&] {
        if (armed >= 0 && ++armed == 2) {
            g_recording.clock += 6000;
            armed = -1;
        }
    };
    const std::vector<Phase> show = phases(play());
    ASSERT_EQ(show.size(), static_cast<std::size_t>(k_show_phases - 1));
    EXPECT_EQ(show[1].picture, 11) << "straight on to the fade-in of the first picture";
    EXPECT_EQ(show[1].amounts.front(), 255);
}

TEST_F(TimelineTest, ALevelBelowZeroIsDrawnAsZero)
{
    // 2^31 + 1 ms into the show, the phase start rounds up by 1.55 in single precision, so the
    // first level is -1.55: unclamped it would fade the first frame to black.
    g_recording.on_load = [&](const std::string& path) {
        if (path == "data/gfx/1/1.jpg")
            g_recording.clock = 0x80000001u;
    };
    const std::vector<Phase> show = phases(play());
    ASSERT_EQ(show.size(), static_cast<std::size_t>(k_show_phases));
    EXPECT_EQ(show[1].amounts.front(), 0);
    EXPECT_EQ(show[1].amounts.back(), 255);
}

TEST_F(TimelineTest, AClockThatWrapsMidFadeChangesNothing)
{
    const std::vector<Event> reference = play();

    g_recording = Recording{};
    g_recording.clock = 0xFFFFFFFFu - 2000;  // wraps during the intro's fade-in
    const std::vector<Event>& wrapped = play();

    ASSERT_EQ(wrapped.size(), reference.size());
    for (std::size_t i = 0; i < reference.size(); ++i) {
        EXPECT_EQ(wrapped[i].kind, reference[i].kind) << "event " << i;
        EXPECT_EQ(wrapped[i].amount, reference[i].amount) << "event " << i;
        EXPECT_EQ(wrapped[i].angle, reference[i].angle) << "event " << i;
        EXPECT_EQ(wrapped[i].path, reference[i].path) << "event " << i;
        if (testing::Test::HasFailure())
            break;
    }
}

}  // namespace
