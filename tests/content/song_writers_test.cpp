// The tracker writers and the score compiler, checked by playing their output
// through libopenmpt, the library the player renders with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <libopenmpt/libopenmpt.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/gen/songs/format_writers.h"
#include "tools/gen/songs/score.h"
#include "tools/gen/songs/synth.h"

namespace songs {
namespace {

constexpr int kRate = 44100;

Module OneNote(int channels, int midi) {
  Module m;
  m.title = "probe";
  m.channels = channels;
  m.samples.push_back(synth::Tone("square", {synth::Wave::kSquare, 32, 0, 1.0f, 1, 0.8f}));
  m.samples.push_back(synth::Kick("kick"));
  Pattern p(64, channels);
  p.at(0, 0).note = midi - synth::MidiAtReference(32) + kReferenceNote;
  p.at(0, 0).instrument = 1;
  m.patterns.push_back(p);
  m.order = {0};
  return m;
}

std::vector<float> Render(const Bytes& bytes, double seconds) {
  openmpt::module module(bytes);
  std::vector<float> frames(static_cast<size_t>(seconds * kRate) * 2);
  size_t n = module.read_interleaved_stereo(kRate, frames.size() / 2, frames.data());
  frames.resize(2 * n);
  return frames;
}

// Frequency of the left channel by rising zero crossings, skipping the attack.
double Frequency(const std::vector<float>& frames) {
  size_t first = 0, last = 0;
  int crossings = 0;
  for (size_t i = kRate / 10; i + 1 < frames.size() / 2; ++i) {
    if (frames[2 * i] <= 0 && frames[2 * i + 2] > 0) {
      if (!first) first = i;
      last = i;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * static_cast<double>(kRate) / static_cast<double>(last - first) : 0;
}

double Rms(const std::vector<float>& frames, size_t from, size_t to) {
  double e = 0;
  for (size_t i = from; i < to; ++i) e += frames[2 * i] * frames[2 * i];
  return std::sqrt(e / static_cast<double>(to - from));
}

struct FormatCase {
  const char* name;
  Format format;
  int channels;
};

class EveryFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EveryFormat, NotesSoundAtConcertPitchAndLoopedSamplesHold) {
  const FormatCase& c = GetParam();
  std::vector<float> a4 = Render(WriteSong(OneNote(c.channels, 69), c.format), 3.0);
  EXPECT_NEAR(Frequency(a4), 440.0, 440.0 * 0.005);
  EXPECT_NEAR(Frequency(Render(WriteSong(OneNote(c.channels, 57), c.format), 1.0)), 220.0, 220.0 * 0.005);
  // The one-period loop keeps sounding to the end of the pattern.
  EXPECT_GT(Rms(a4, 2 * kRate, 3 * kRate), 0.05);
}

TEST_P(EveryFormat, LibopenmptReadsBackTheSongAsWritten) {
  const FormatCase& c = GetParam();
  Module m = OneNote(c.channels, 60);
  m.title = "Round Trip";
  m.samples[0].name = "square lead";
  Pattern second(64, c.channels);
  second.at(0, 1) = {72, 2, 40, Fx::kNone, 0};
  second.at(4, 0) = {kNoNote, 0, -1, Fx::kArpeggio, 0x47};
  second.at(8, 0) = {kNoteOff, 0, -1, Fx::kNone, 0};
  second.at(63, 1).fx = Fx::kPositionJump;
  m.patterns.push_back(second);
  m.order = {0, 1, 1};
  openmpt::module module(WriteSong(m, c.format));

  EXPECT_EQ(module.get_metadata("title"), "Round Trip");
  EXPECT_EQ(module.get_num_channels(), c.channels);
  ASSERT_EQ(module.get_num_orders(), 3);
  EXPECT_EQ(module.get_order_pattern(1), 1);
  EXPECT_EQ(module.get_order_pattern(2), 1);
  std::vector<std::string> names = c.format == Format::kXm ? module.get_instrument_names() : module.get_sample_names();
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], "square lead");

  using M = openmpt::module;
  EXPECT_EQ(module.get_pattern_row_channel_command(1, 0, 1, M::command_note), 72 + 1);  // openmpt counts from 1
  EXPECT_EQ(module.get_pattern_row_channel_command(1, 0, 1, M::command_instrument), 2);
  std::string arpeggio = module.format_pattern_row_channel_command(1, 4, 0, M::command_effect);
  EXPECT_EQ(arpeggio, c.format == Format::kS3m ? "J" : "0");
  EXPECT_EQ(module.get_pattern_row_channel_command(1, 4, 0, M::command_parameter), 0x47);
  EXPECT_NE(module.format_pattern_row_channel(1, 8, 0), module.format_pattern_row_channel(1, 9, 0))
      << "the note-off is kept";
  // The jump back to the first order ends the pass after two patterns.
  EXPECT_NEAR(module.get_duration_seconds(), 2 * 64 * 6 * 2.5 / 125, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Writers, EveryFormat,
                         ::testing::Values(FormatCase{"mod", Format::kMod, 4}, FormatCase{"s3m", Format::kS3m, 8},
                                           FormatCase{"xm", Format::kXm, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Writers, RefuseWhatTheFormatCannotCarry) {
  Module low = OneNote(4, 69);
  low.patterns[0].at(0, 0).note = 40;  // below the Amiga periods
  EXPECT_THROW(WriteMod(low), std::runtime_error);
  EXPECT_NO_THROW(WriteS3m(low));

  Module crowded = OneNote(4, 69);
  crowded.patterns[0].at(0, 0).volume = 20;  // a volume needs the MOD's one effect column
  crowded.patterns[0].at(0, 0).fx = Fx::kVibrato;
  EXPECT_THROW(WriteMod(crowded), std::runtime_error);
  EXPECT_NO_THROW(WriteXm(crowded));

  EXPECT_THROW(WriteMod(OneNote(5, 69)), std::runtime_error);
  EXPECT_THROW(WriteXm(OneNote(3, 69)), std::runtime_error);
  Module missing = OneNote(4, 69);
  missing.order = {1};
  EXPECT_THROW(WriteS3m(missing), std::runtime_error);
}

TEST(Writers, XmEnvelopeShapesTheNote) {
  Module m = OneNote(2, 69);
  m.samples[0].envelope = {{{0, 64}, {20, 0}}, -1};  // silent after 20 ticks (0.4 s)
  std::vector<float> frames = Render(WriteXm(m), 1.5);
  EXPECT_GT(Rms(frames, 0, kRate / 10), 0.05);
  EXPECT_LT(Rms(frames, kRate, frames.size() / 2), 0.001);
}

TEST(Synth, TonesLoopWholePeriodsAfterTheirFade) {
  Sample pluck = synth::Tone("pluck", {synth::Wave::kPulse25, 64, 10, 0.3f, 2, 0.8f});
  EXPECT_EQ(pluck.data.size(), 12u * 64u);
  EXPECT_EQ(pluck.loop_start, 10u * 64u);
  EXPECT_EQ(pluck.loop_length, 2u * 64u);
  // Full level at the start, the sustain level inside the loop.
  EXPECT_NEAR(pluck.data[0], 0.8f, 1e-4);
  EXPECT_NEAR(pluck.data[pluck.loop_start], 0.8f * 0.3f, 1e-4);
  EXPECT_EQ(synth::MidiAtReference(32), 60);
  EXPECT_EQ(synth::MidiAtReference(128), 36);
  EXPECT_THROW(synth::MidiAtReference(48), std::invalid_argument);
}

TEST(Synth, DrumsAreEvenLengthOneShotsThatDieAway) {
  for (const Sample& drum : {synth::Kick("k"), synth::Snare("s"), synth::HiHat("h", false), synth::HiHat("o", true),
                             synth::Tom("t"), synth::Crash("c"), synth::Clap("x")}) {
    SCOPED_TRACE(drum.name);
    EXPECT_EQ(drum.data.size() % 2, 0u);  // Amiga samples are counted in words
    EXPECT_EQ(drum.loop_length, 0u);
    float peak = 0, tail = 0;
    for (size_t i = 0; i < drum.data.size(); ++i) {
      peak = std::max(peak, std::fabs(drum.data[i]));
      if (i + 200 >= drum.data.size()) tail = std::max(tail, std::fabs(drum.data[i]));
    }
    EXPECT_GT(peak, 0.2f);
    EXPECT_LE(peak, 1.0f);
    EXPECT_LT(tail, 0.05f) << "ends in a click";
  }
}

TEST(Chords, SymbolsGiveRootBassAndTones) {
  Chord c = ParseChord("C/E");
  EXPECT_EQ(c.root, 0);
  EXPECT_EQ(c.bass, 4);
  EXPECT_EQ(c.tones, (std::vector<int>{0, 4, 7}));
  Chord b = ParseChord("Bbmaj7");
  EXPECT_EQ(b.root, 10);
  EXPECT_EQ(b.tones, (std::vector<int>{0, 4, 7, 11}));
  EXPECT_EQ(ParseChord("F#m7").root, 6);
  EXPECT_EQ(ParseChord("Bb7sus4").tones, (std::vector<int>{0, 5, 7, 10}));
  EXPECT_THROW(ParseChord("Cmajor"), std::invalid_argument);
  EXPECT_THROW(ParseChord("H"), std::invalid_argument);
  EXPECT_THROW(ParseChord("C/x"), std::invalid_argument);
}

TEST(Chords, NoteNamesAreScientificPitch) {
  EXPECT_EQ(ParseNoteName("c4"), 60);
  EXPECT_EQ(ParseNoteName("a4"), 69);
  EXPECT_EQ(ParseNoteName("bb3"), 58);
  EXPECT_EQ(ParseNoteName("b3"), 59);
  EXPECT_EQ(ParseNoteName("c#5"), 73);
  EXPECT_EQ(ParseNoteName("cb4"), 59);
  EXPECT_THROW(ParseNoteName("h4"), std::invalid_argument);
  EXPECT_THROW(ParseNoteName("c"), std::invalid_argument);
  EXPECT_THROW(ParseNoteName("c45"), std::invalid_argument);
}

// A small song: one section of two bars over C/E and G, a bass, an
// arpeggio, a melody and its echo, every voice on its own channel.
Song Tiny(Format format) {
  Song s;
  s.title = "tiny";
  s.format = format;
  s.channels = 4;
  s.key = "C major";
  s.instruments = {{synth::Tone("lead", {synth::Wave::kSquare, 32, 0, 1.0f, 1, 0.8f}, 48), 60},
                   {synth::Tone("bass", {synth::Wave::kSquare, 128, 0, 1.0f, 1, 0.8f}, 64), 36}};
  Section a{"A", "C/E G", {}};
  Voice melody{VoiceKind::kMelody, 0, 1, "e5:8 g5:4~ - | d5:16"};
  Voice bass{VoiceKind::kPattern, 1, 2, "R...5...8...x..."};
  bass.low = 36;
  Voice echo{VoiceKind::kEcho, 2, 1, ""};
  echo.source = 0;
  echo.delay = 3;
  echo.volume = 20;
  a.voices = {melody, bass, echo};
  s.sections = {a, a};
  s.sections[1].name = "B";
  s.arrangement = {"A", "B", "A"};
  s.loop_to = 1;
  return s;
}

TEST(Score, VoicesResolveAgainstTheChords) {
  Module m = Compile(Tiny(Format::kS3m));
  const Pattern& p = m.patterns[0];
  EXPECT_EQ(p.at(0, 0).note, 76);              // e5, on an instrument that sounds C4 at the reference
  EXPECT_EQ(p.at(8, 0).note, 79);
  EXPECT_EQ(p.at(10, 0).fx, Fx::kVibrato);     // vibrato from the third row of the note...
  EXPECT_EQ(p.at(15, 0).fx, Fx::kVibrato);     // ...carried through the held "-"
  EXPECT_EQ(p.at(16, 0).note, 74);
  EXPECT_EQ(p.at(16, 0).fx, Fx::kNone);
  // Bass over C/E: E2 (the slash note), the fifth G2 above it, then E3.
  EXPECT_EQ(p.at(0, 1).note, 40 - 36 + kReferenceNote);
  EXPECT_EQ(p.at(4, 1).note, 43 - 36 + kReferenceNote);
  EXPECT_EQ(p.at(8, 1).note, 52 - 36 + kReferenceNote);
  // The arpeggio of C/E from E: up a minor third and a minor sixth; held rows keep it.
  EXPECT_EQ(p.at(12, 1).fx, Fx::kArpeggio);
  EXPECT_EQ(p.at(12, 1).param, 0x38);
  EXPECT_EQ(p.at(13, 1).param, 0x38);
  // Over G the bass window starts at C2, so G2.
  EXPECT_EQ(p.at(16, 1).note, 43 - 36 + kReferenceNote);
  // The echo three rows late at its own volume.
  EXPECT_EQ(p.at(3, 2).note, 76);
  EXPECT_EQ(p.at(3, 2).volume, 20);
  EXPECT_EQ(p.at(0, 2).note, kNoNote);
}

TEST(Score, SectionsBecomePatternsThatLoop) {
  Module m = Compile(Tiny(Format::kXm));
  // Two bars fill half a pattern: a break ends each; the last section jumps
  // back to the loop target's first order instead.
  ASSERT_EQ(m.order.size(), 3u);
  EXPECT_EQ(m.patterns[static_cast<size_t>(m.order[0])].at(31, 3).fx, Fx::kPatternBreak);
  const Pattern& last = m.patterns[static_cast<size_t>(m.order[2])];
  EXPECT_EQ(last.at(31, 3).fx, Fx::kPositionJump);
  EXPECT_EQ(last.at(31, 3).param, 1);
  // Sections "A" and "B" are the same music and share a pattern.
  EXPECT_EQ(m.order[0], m.order[1]);
  EXPECT_NEAR(PlayingSeconds(Tiny(Format::kXm)), 3 * 32 * 6 * 2.5 / 125, 1e-9);
  openmpt::module module(WriteXm(m));
  EXPECT_NEAR(module.get_duration_seconds(), PlayingSeconds(Tiny(Format::kXm)), 0.05);
}

TEST(Score, MistakesInTheScoreAreNamed) {
  Song late_bar = Tiny(Format::kMod);
  late_bar.sections[0].voices[0].text = "e5:6 | g5:10";
  EXPECT_THROW(Compile(late_bar), std::runtime_error);
  Song too_long = Tiny(Format::kMod);
  too_long.sections[0].voices[0].text = "e5:16 g5:32";
  EXPECT_THROW(Compile(too_long), std::runtime_error);
  Song bad_chord = Tiny(Format::kMod);
  bad_chord.sections[0].chords = "C Q";
  EXPECT_THROW(Compile(bad_chord), std::runtime_error);
  Song shared = Tiny(Format::kMod);
  shared.sections[0].voices[1].channel = 0;
  EXPECT_THROW(Compile(shared), std::runtime_error);
  Song missing = Tiny(Format::kMod);
  missing.arrangement.push_back("C");
  EXPECT_THROW(Compile(missing), std::runtime_error);
}

TEST(Score, ClashesWithTheHarmonyAreReported) {
  std::vector<std::string> warnings;
  Compile(Tiny(Format::kMod), &warnings);
  EXPECT_TRUE(warnings.empty());
  Song clash = Tiny(Format::kMod);
  clash.sections[0].voices[0].text = "f#5:8 g5:8 | d5:16";  // F# is outside C major
  Compile(clash, &warnings);
  ASSERT_FALSE(warnings.empty());
  EXPECT_NE(warnings[0].find("F#5"), std::string::npos);
  EXPECT_NE(warnings[0].find("bar 1"), std::string::npos);
}

}  // namespace
}  // namespace songs
