// "Slow Orbit": a Scream Tracker 3 ballad in E-flat major, 92 bpm: soft
// triangle lead with a long echo, sustained chords and a sine sub-bass.
// Channels: 1 bass, 2 lead, 3 its echo, 4-6 pad, 7 sparkle arpeggio, 8 drums.
#include "tools/gen/songs/disk.h"
#include "tools/gen/songs/instruments.h"

namespace songs {

Song SlowOrbit() {
  using synth::Wave;
  enum { kBass = 1, kLead, kPad, kSparkle, kKick, kRim, kHat };
  Song s;
  s.title = "Slow Orbit";
  s.file = "orbit.s3m";
  s.format = Format::kS3m;
  s.channels = 8;
  s.speed = 6;
  s.tempo = 92;
  s.panning = {128, 136, 200, 72, 128, 184, 96, 128};
  s.key = "Eb major";
  s.instruments = {
      Pitched("sub bass", {Wave::kSine, 128, 30, 0.75f, 1, 0.95f}, 62),
      Pitched("glass lead", {Wave::kTriangle, 32, 160, 0.4f, 1, 0.9f}, 50),
      Pitched("pad", {Wave::kPwm, 32, 0, 1.0f, 64, 0.45f}, 20),
      Pitched("sparkle", {Wave::kPulse12, 16, 24, 0.15f, 2, 0.6f}, 18),
      Unpitched(synth::Kick("kick", 50)),
      Unpitched(synth::Clap("rim", 26)),
      Unpitched(synth::HiHat("hat", false, 18)),
  };
  s.kit = {
      {'k', kKick, -1, synth::kDrumNote}, {'s', kRim, -1, synth::kDrumNote}, {'h', kHat, -1, synth::kDrumNote},
  };

  const int kBassLow = 34;  // Bb1
  const int kPadLow = 58;   // Bb3
  Voice bass = PatternVoice(0, kBass, "R.......R...5...", kBassLow);
  Voice bass_long = PatternVoice(0, kBass, "R...............", kBassLow);
  auto pads = [&](const std::string& grid) {
    return std::vector<Voice>{PatternVoice(3, kPad, grid, kPadLow, -1, 0), PatternVoice(4, kPad, grid, kPadLow, -1, 1),
                              PatternVoice(5, kPad, grid, kPadLow, -1, 2)};
  };
  Voice sparkle = PatternVoice(6, kSparkle, "x...x...x...x...", 70);
  Voice beat = DrumVoice(7, "k.h.s.h.k.hkh.h.s.h.h.h.k.h.s.h.k.h.s.hkh.h.s.h.h.h.");
  auto section = [&](std::string name, std::string chords, Voice b, std::string lead, std::vector<Voice> rest) {
    Section sec{std::move(name), std::move(chords), {std::move(b), MelodyVoice(1, kLead, std::move(lead)),
                                                     EchoVoice(2, 1, 6, 22)}};
    for (Voice& v : pads("p...............")) sec.voices.push_back(v);
    for (Voice& v : rest) sec.voices.push_back(v);
    return sec;
  };
  const std::string verse =
      "g5:8 bb5:4 d6:4 | eb6:8~ c6:4 bb5:4 | c6:12~ ab5:4 | bb5:16~ |"
      "g5:8 bb5:4 eb6:4 | d6:8~ bb5:4 g5:4 | c6:8 eb6:4 g6:4 | f6:8 d6:8~";
  const std::string chorus =
      "eb6:6 d6:2 c6:8 | c6:4 eb6:4 g6:8~ | g6:6 f6:2 eb6:8 | d6:16~ |"
      "c6:4 eb6:4 g6:4 f6:4 | eb6:8~ c6:8 | ab5:4 c6:4 eb6:4 f6:4 | eb6:8 d6:8~";

  s.sections = {
      section("intro", "Ebmaj7 Abmaj7 Ebmaj7 Abmaj7", bass_long, "r:16 | -:16 | -:16 | -:8 c6:8",
              {PatternVoice(6, kSparkle, "x.......x.......", 70), DrumVoice(7, "k...............")}),
      section("A", "Ebmaj7 Cm7 Abmaj7 Bb Ebmaj7 Gm7 Abmaj7 Bbsus4:8 Bb:8", bass, verse, {sparkle, beat}),
      section("B", "Cm7 Abmaj7 Ebmaj7 Bb/D Cm7 Abmaj7 Fm7 Bb7sus4:8 Bb:8", bass, chorus,
              {PatternVoice(6, kSparkle, "x.x.x.x.x.x.x.x.", 70), beat}),
      section("breakdown", "Abmaj7:32 Ebmaj7/G:32 Fm7:32 Bbsus4:16 Bb:16", bass_long,
              "c6:16~ -:16 | bb5:16~ -:16 | ab5:16 c6:16 | bb5:16~ -:16",
              {PatternVoice(6, kSparkle, "x.......x.......", 70), DrumVoice(7, "................")}),
      section("outro", "Ebmaj7 Abmaj7 Ebmaj7 %", bass_long, "g5:8 bb5:8 | c6:16 | bb5:16~ | -:12 r:4",
              {PatternVoice(6, kSparkle, "x.......x.......", 70), DrumVoice(7, "k...............")}),
  };
  s.arrangement = {"intro", "A", "B", "breakdown", "A", "B", "outro"};
  s.loop_to = 1;
  return s;
}

}  // namespace songs
