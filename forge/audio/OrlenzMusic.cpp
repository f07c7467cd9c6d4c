#include "forge/audio/OrlenzMusic.h"

#include "forge/audio/Instruments.h"
#include "forge/audio/Mastering.h"
#include "forge/audio/Random.h"
#include "forge/audio/Reverb.h"

#include <array>
#include <cmath>
#include <numbers>
#include <cctype>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace gloam::forge::audio {

namespace {

// One note of a written line: start and length in eighths from the
// phrase's start, pitch as a MIDI number (-1 for a rest).
struct Note {
    int start;
    int length;
    int midi;
};

// "C#5" -> 73.
int pitchOf(std::string_view name)
{
    static const std::map<char, int> steps{{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5}, {'G', 7}, {'A', 9}, {'B', 11}};
    const auto step = steps.find(name.at(0));
    if (step == steps.end())
        throw std::logic_error("bad note name " + std::string(name));
    int pitch = step->second;
    std::size_t i = 1;
    if (name.at(i) == '#') {
        ++pitch;
        ++i;
    } else if (name.at(i) == 'b') {
        --pitch;
        ++i;
    }
    const int octave = std::stoi(std::string(name.substr(i)));
    return 12 * (octave + 1) + pitch;
}

// Reads "A4:1 D5:1 F5:2 r:2 ..." (lengths in eighths).
std::vector<Note> line(std::string_view text)
{
    std::vector<Note> notes;
    std::istringstream in{std::string(text)};
    std::string token;
    int at = 0;
    while (in >> token) {
        const auto colon = token.find(':');
        const int length = std::stoi(token.substr(colon + 1));
        const std::string name = token.substr(0, colon);
        if (name != "r")
            notes.push_back({at, length, pitchOf(name)});
        at += length;
    }
    return notes;
}

// Chords by name, as pitch classes from the root up.
std::vector<int> chord(std::string_view name)
{
    static const std::map<std::string_view, std::vector<int>> chords{
        {"Dm", {2, 5, 9}}, {"A", {9, 1, 4}}, {"A7", {9, 1, 4, 7}}, {"Gm", {7, 10, 2}},
        {"F", {5, 9, 0}},  {"C", {0, 4, 7}}, {"Bb", {10, 2, 5}},   {"Gm6", {7, 10, 2, 4}},
    };
    return chords.at(name);
}

// The lowest MIDI pitch of class `pc` at or above `floor`.
int above(int pc, int floor)
{
    return floor + ((pc - floor) % 12 + 12) % 12;
}

// The tune, eight bars.
constexpr std::string_view themeA = "A4:1 D5:1 F5:2 A5:2  G#5:2 A5:2 E5:2  F5:1 G5:1 A5:2 Bb5:2  A5:4 r:2 "
                                    "A5:1 G5:1 F5:2 E5:2  D5:2 C#5:2 E5:2  D5:2 A4:2 C#5:2  D5:4 r:2";
constexpr std::string_view themeAEnd = "A4:1 D5:1 F5:2 A5:2  G#5:2 A5:2 E5:2  F5:1 G5:1 A5:2 Bb5:2  A5:4 r:2 "
                                       "A5:1 G5:1 F5:2 E5:2  D5:2 C#5:2 E5:2  D5:2 E5:1 F5:1 E5:1 C#5:1  D5:6";
constexpr std::array<std::string_view, 8> chordsA{"Dm", "A", "Gm", "Dm", "Gm6", "A7", "A7", "Dm"};
// The sung middle section, eight bars.
constexpr std::string_view themeB = "F5:6  E5:3 F5:3  G5:4 A5:2  F5:6  D5:4 E5:2  F5:2 E5:2 D5:2  C#5:6  A4:6";
constexpr std::array<std::string_view, 8> chordsB{"F", "C", "Gm", "F", "Bb", "Gm", "A", "A7"};

class Score {
public:
    explicit Score(AudioBuffer& out)
        : play_(out, 0x0e1e'2026u)
        , humanise_(0x0e1e'0001u)
    {}

    static double eighth() { return OrlenzMusic::beat / 2.0; }

    // Time of a point `eighths` into `bar`. Steady until the coda, then
    // slowing a little with every beat into the last chord.
    static double timeAt(int bar, double eighths = 0.0)
    {
        constexpr double ritardandoFrom = 38 * 6; // eighths, the start of bar 39
        constexpr double slowing = 0.05;          // per beat
        const double x = (bar - 1) * 6 + eighths;
        if (x <= ritardandoFrom)
            return x * eighth();
        const double extra = x - ritardandoFrom;
        return (ritardandoFrom + extra + slowing * extra * extra / 4.0) * eighth();
    }
    static double barTime(int bar) { return timeAt(bar); }

    // A melody on the music box from `bar`, transposed, with a little life
    // in timing and touch.
    void musicBoxLine(int bar, std::string_view text, int transpose, float velocity, double pan)
    {
        const auto notes = line(text);
        const double span = notes.empty() ? 1.0 : notes.back().start + notes.back().length;
        for (const auto& n : notes) {
            const double t = timeAt(bar, n.start) + humanise_.range(-0.004, 0.004);
            const float accent = (n.start % 6 == 0) ? 1.1f : 1.0f;
            // Each phrase swells towards its middle and relaxes at its end.
            const auto arc = static_cast<float>(0.86 + 0.2 * std::sin(std::numbers::pi * n.start / span));
            play_.musicBox(t, n.midi + transpose,
                           velocity * accent * arc * static_cast<float>(humanise_.range(0.9, 1.05)), pan);
        }
    }

    void thereminLine(int bar, std::string_view text, int transpose, float velocity, double pan)
    {
        int previous = -1;
        for (const auto& n : line(text)) {
            const double t = timeAt(bar, n.start);
            const int midi = n.midi + transpose;
            const double from = previous < 0 ? midi - 0.6 : previous;
            play_.theremin(t, timeAt(bar, n.start + n.length) - t - 0.02, midi, from, velocity, pan);
            previous = midi;
        }
    }

    // Oom-pah-pah: a low plucked root on the first beat, a soft chord on
    // the second and third.
    void waltz(int bar, std::string_view name, float velocity, bool chords = true)
    {
        const auto pcs = chord(name);
        play_.pluck(timeAt(bar) + humanise_.range(0.0, 0.006), above(pcs[0], 38), velocity, -0.35, 0.25);
        if (!chords)
            return;
        for (int b = 1; b < 3; ++b)
            for (std::size_t k = 0; k < 3; ++k) {
                const int midi = above(pcs[(k + 1) % pcs.size()], 57);
                play_.pluck(timeAt(bar, 2 * b) + 0.012 * static_cast<double>(k) + humanise_.range(0.0, 0.005), midi,
                            velocity * 0.42f, -0.45 + 0.12 * static_cast<double>(k), 0.3);
            }
    }

    void organChord(int bar, std::string_view name, float velocity, double bars = 1.0)
    {
        const auto pcs = chord(name);
        const double t = timeAt(bar);
        const double length = timeAt(bar, 6.0 * bars) - t + 0.12;
        play_.organ(t, length, above(pcs[0], 38), velocity * 0.8f);
        for (std::size_t k = 0; k < pcs.size() && k < 3; ++k)
            play_.organ(t, length, above(pcs[k], 50), velocity * 0.5f);
    }

    // Arpeggio of the bar's chord on the music box, eighths, high and soft.
    void arpeggio(int bar, std::string_view name, float velocity)
    {
        const auto pcs = chord(name);
        const std::array<int, 6> pattern{0, 1, 2, 3, 2, 1};
        std::vector<int> tones;
        for (std::size_t k = 0; k < 3; ++k)
            tones.push_back(above(pcs[k], 74));
        tones.push_back(tones[0] + 12);
        for (int e = 0; e < 6; ++e)
            play_.musicBox(timeAt(bar, e), tones[static_cast<std::size_t>(pattern[static_cast<std::size_t>(e)])],
                           velocity * (e == 0 ? 1.0f : 0.8f), 0.55);
    }

    Instruments& play() { return play_; }

private:
    Instruments play_;
    Random humanise_;
};

} // namespace

AudioBuffer OrlenzMusic::render()
{
    auto out = AudioBuffer::seconds(length);
    Score score(out);
    auto& play = score.play();

    // Intro, bars 1-2: wind and a low organ swell, a music-box call; the
    // drum falls with the title lightning at the start of bar 2.
    play.wind(0.0, 9.0, 0.05f);
    score.organChord(1, "Dm", 0.07f);
    score.organChord(2, "A7", 0.08f);
    score.musicBoxLine(1, "D6:2 A5:2 F5:2  G5:2 E5:2 C#5:2", 0, 0.32f, 0.3);
    play.drum(Score::barTime(2), 38, 0.35f);
    // The bats burst out at 2.7 s: a quick run up the D minor chord,
    // spreading from the middle to both sides.
    {
        const std::array<int, 9> run{62, 65, 69, 74, 77, 81, 86, 89, 93};
        for (std::size_t k = 0; k < run.size(); ++k)
            play.musicBox(2.72 + 0.045 * static_cast<double>(k), run[k], 0.16f + 0.01f * static_cast<float>(k),
                          (k % 2 == 0 ? -1.0 : 1.0) * 0.08 * static_cast<double>(k), 0.6);
    }
    // The witch enters at 5.5 s from the right: a theremin swoops down
    // across her path, a first taste of the middle section's voice.
    play.theremin(5.55, 0.9, 69.0, 81.0, 0.1f, 0.5, 0.75);

    // First tune, bars 3-10: the bats burst out as the waltz starts.
    for (int b = 0; b < 8; ++b) {
        score.waltz(3 + b, chordsA[static_cast<std::size_t>(b)], 0.3f);
        score.organChord(3 + b, chordsA[static_cast<std::size_t>(b)], 0.05f);
    }
    score.musicBoxLine(3, themeA, 0, 0.42f, 0.25);

    // Second tune, bars 11-18: an octave higher, echoed an octave below.
    for (int b = 0; b < 8; ++b) {
        score.waltz(11 + b, chordsA[static_cast<std::size_t>(b)], 0.32f);
        score.organChord(11 + b, chordsA[static_cast<std::size_t>(b)], 0.07f);
    }
    score.musicBoxLine(11, themeAEnd, 12, 0.36f, 0.35);
    score.musicBoxLine(11, themeAEnd, 0, 0.2f, -0.15);
    play.drum(Score::barTime(11), 38, 0.18f);

    // Middle, bars 19-26: the theremin sings in F over music-box arpeggios.
    for (int b = 0; b < 8; ++b) {
        const auto name = chordsB[static_cast<std::size_t>(b)];
        score.waltz(19 + b, name, 0.24f, false);
        score.organChord(19 + b, name, 0.08f);
        score.arpeggio(19 + b, name, 0.15f);
    }
    score.thereminLine(19, themeB, 0, 0.2f, -0.1);
    play.drum(Score::barTime(19), 41, 0.18f);
    play.wind(Score::barTime(23), 10.0, 0.035f);

    // The tune again, bars 27-34, the theremin shadowing it an octave down.
    for (int b = 0; b < 8; ++b) {
        score.waltz(27 + b, chordsA[static_cast<std::size_t>(b)], 0.3f);
        score.organChord(27 + b, chordsA[static_cast<std::size_t>(b)], 0.06f);
    }
    score.musicBoxLine(27, themeAEnd, 0, 0.42f, 0.25);
    score.thereminLine(27, "D4:6 E4:6 D4:6 D4:6 D4:6 C#4:6 E4:6 D4:6", 0, 0.09f, -0.3);
    play.drum(Score::barTime(27), 38, 0.22f);

    // Fading away, bars 35-38: the sung phrase once more, softly.
    for (int b = 0; b < 4; ++b) {
        const auto name = chordsB[static_cast<std::size_t>(b)];
        score.waltz(35 + b, name, 0.2f - 0.03f * static_cast<float>(b), b < 2);
        score.organChord(35 + b, name, 0.07f);
        score.arpeggio(35 + b, name, 0.11f - 0.015f * static_cast<float>(b));
    }
    score.thereminLine(35, "F5:6 E5:3 F5:3 G5:4 A5:2 F5:6", 0, 0.15f, -0.1);
    play.wind(Score::barTime(35), 12.0, 0.04f);

    // Coda, bars 39-42: a last falling call, the drum, and the final chord
    // left to ring out.
    score.organChord(39, "Gm", 0.08f);
    score.organChord(40, "A7", 0.08f);
    score.waltz(39, "Gm", 0.22f);
    score.waltz(40, "A7", 0.22f);
    score.musicBoxLine(39, "Bb5:2 A5:2 G5:2  E5:2 C#5:2 A4:2", 0, 0.36f, 0.25);
    score.organChord(41, "Dm", 0.09f, 0.9);
    play.drum(Score::barTime(41), 38, 0.25f);
    play.pluck(Score::barTime(41), 38, 0.3f, -0.3, 0.3);
    play.musicBox(Score::barTime(41), 74, 0.4f, 0.2, 2.2);
    play.musicBox(Score::barTime(41) + 0.01, 86, 0.2f, 0.4, 2.2);

    Reverb room(Reverb::Settings{0.84f, 0.45f, 0.3f, 1.0f, 1.0f, 0.025f}, out.sampleRate);
    room.process(out);
    Mastering::removeDc(out);
    Mastering::fadeOut(out, ending, 1.2);
    Mastering::fadeIn(out, 0.003);
    Mastering::normalise(out, 0.891f);
    return out;
}

} // namespace gloam::forge::audio
