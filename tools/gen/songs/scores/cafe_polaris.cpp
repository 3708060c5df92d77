// "Café Polaris": a mellow Scream Tracker 3 tune in D dorian, 112 bpm, with
// an echoing pulse-width lead over electric-piano chords.
// Channels: 1 bass, 2 lead, 3 its echo, 4-6 keys, 7 kick and snare, 8 hats.
#include "tools/gen/songs/disk.h"
#include "tools/gen/songs/instruments.h"

namespace songs {

Song CafePolaris() {
  using synth::Wave;
  enum { kBass = 1, kLead, kKeys, kKick, kSnare, kHat, kOpenHat, kClap };
  Song s;
  s.title = "Caf\xE9 Polaris";  // Latin-1, as the player's font is
  s.file = "polaris.s3m";
  s.format = Format::kS3m;
  s.channels = 8;
  s.speed = 6;
  s.tempo = 112;
  s.panning = {128, 150, 96, 80, 128, 176, 128, 168};
  s.key = "D dorian";
  s.instruments = {
      Pitched("triangle bass", {Wave::kTriangle, 64, 30, 0.7f, 1, 0.95f}, 60),
      Pitched("pwm lead", {Wave::kPwm, 32, 0, 1.0f, 48, 0.5f}, 44),
      Pitched("keys", {Wave::kOrgan, 32, 120, 0.3f, 1, 0.8f}, 30),
      Unpitched(synth::Kick("kick", 56)),
      Unpitched(synth::Snare("snare", 38)),
      Unpitched(synth::HiHat("hat", false, 26)),
      Unpitched(synth::HiHat("open hat", true, 22)),
      Unpitched(synth::Clap("clap", 34)),
  };
  s.kit = {
      {'k', kKick, -1, synth::kDrumNote},  {'s', kSnare, -1, synth::kDrumNote},
      {'g', kSnare, 18, synth::kDrumNote}, {'x', kClap, -1, synth::kDrumNote},
      {'h', kHat, -1, synth::kDrumNote},   {'H', kHat, 34, synth::kDrumNote},
      {'o', kOpenHat, -1, synth::kDrumNote},
  };

  const int kBassLow = 33;  // A1
  const int kKeysLow = 55;  // G3
  auto keys = [&](const std::string& grid) {
    return std::vector<Voice>{PatternVoice(3, kKeys, grid, kKeysLow, -1, 0), PatternVoice(4, kKeys, grid, kKeysLow, -1, 1),
                              PatternVoice(5, kKeys, grid, kKeysLow, -1, 2)};
  };
  auto section = [&](std::string name, std::string chords, Voice bass, Voice lead, std::string keys_grid,
                     std::vector<Voice> drums) {
    Section sec{std::move(name), std::move(chords), {std::move(bass), std::move(lead), EchoVoice(2, 1, 3, 20)}};
    for (Voice& v : keys(keys_grid)) sec.voices.push_back(v);
    for (Voice& v : drums) sec.voices.push_back(v);
    return sec;
  };
  Voice bass_groove = PatternVoice(0, kBass, "R..R..5.8..5..A.", kBassLow);
  Voice bass_push = PatternVoice(0, kBass, "R.R...5.R.R...A.", kBassLow);
  Voice bass_long = PatternVoice(0, kBass, "R.......5.......", kBassLow);
  const std::string comp = "p..p....p.p.....";
  const std::string hold = "p...............";
  std::vector<Voice> drums_full = {DrumVoice(6, "k...s.gk..k.s..."), DrumVoice(7, "h.hHh.hHh.hHh.ho")};
  std::vector<Voice> drums_lift = {DrumVoice(6, "k...x.gk..k.x..." "k...x.gk..k.x..." "k...x.gk..k.x..." "k...x.gk..k.xgx."),
                                   DrumVoice(7, "h.o.h.o.h.o.h.o.")};
  std::vector<Voice> drums_soft = {DrumVoice(6, "k...............")
                                   , DrumVoice(7, "....h.......h...")};

  s.sections = {
      section("intro", "Dm7 G7 Dm7 G7", bass_long, MelodyVoice(1, kLead, "r:16 | -:16 | -:16 | -:8 b4:4 c5:4"),
              hold, {DrumVoice(6, "k..............."), DrumVoice(7, "h.hHh.hHh.hHh.ho")}),
      section("A", "Dm7 G7 Dm7 G7 Bbmaj7 Am7 Gm7 A7", bass_groove,
              MelodyVoice(1, kLead,
                          "r:4 a4:2 c5:2 d5:6 c5:2 | b4:8~ g4:4 a4:4 | f4:4 a4:4 c5:4 e5:4 | d5:12~ r:4 |"
                          "r:4 f5:2 e5:2 d5:4 a4:4 | c5:8 e5:4 g5:4 | f5:6 d5:2 bb4:8~ | c#5:4 e5:4 g5:4 e5:4"),
              comp, drums_full),
      section("A2", "Dm7 G7 Dm7 G7 Bbmaj7 Am7 Gm7 A7", bass_groove,
              MelodyVoice(1, kLead,
                          "r:4 a4:2 c5:2 d5:6 f5:2 | g5:8~ f5:4 d5:4 | c5:4 a4:4 f4:4 a4:4 | b4:12~ r:4 |"
                          "r:4 d5:2 f5:2 a5:8~ | g5:4 e5:4 c5:8 | d5:4 f5:4 bb5:4 a5:4 | a5:8 g5:4 e5:4"),
              comp, drums_full),
      section("B", "Fmaj7 C/E Dm7 Am7 Bbmaj7 Fmaj7 Gm7 A7", bass_push,
              MelodyVoice(1, kLead,
                          "c6:8 a5:4 f5:4 | g5:8~ e5:4 c5:4 | f5:6 e5:2 d5:4 a4:4 | c5:12~ r:4 |"
                          "d5:4 f5:4 a5:4 bb5:4 | a5:8 f5:4 e5:4 | g5:6 f5:2 d5:4 bb4:4 | c#5:8~ e5:4 a5:4"),
              comp, drums_lift),
      section("breakdown", "Bbmaj7 Am7 Gm7 A7 Bbmaj7 Am7 Gm7 A7", bass_long,
              MelodyVoice(1, kLead,
                          "f5:16~ | e5:16~ | d5:16~ | c#5:8 e5:8 | f5:8 a5:8 | g5:8 e5:8 | f5:4 d5:4 bb4:8 | a4:16~"),
              hold, drums_soft),
      section("outro", "Dm7 G7 Dm7 %", bass_long, MelodyVoice(1, kLead, "a4:6 c5:2 d5:8~ | b4:16~ | a4:16~ | -:12 r:4"),
              hold, {DrumVoice(6, "k...............k...............k...............x..............."),
                     DrumVoice(7, "h.hHh.hHh.hHh.ho")}),
  };
  s.arrangement = {"intro", "A", "A2", "B", "breakdown", "A2", "B", "outro"};
  s.loop_to = 1;
  return s;
}

}  // namespace songs
