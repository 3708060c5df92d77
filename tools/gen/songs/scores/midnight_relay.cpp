// "Midnight Relay": a fast FastTracker 2 tune in E minor, 150 bpm, on ten
// channels: octave bass, a sliding saw lead with echo, arpeggios, a
// counter-melody, pads and two drum channels.
#include "tools/gen/songs/disk.h"
#include "tools/gen/songs/instruments.h"

namespace songs {

Song MidnightRelay() {
  using synth::Wave;
  enum { kBass = 1, kLead, kArp, kPad, kCounter, kKick, kSnare, kHat, kOpenHat, kCrash, kTom };
  Song s;
  s.title = "Midnight Relay";
  s.file = "relay.xm";
  s.format = Format::kXm;
  s.channels = 10;
  s.speed = 6;
  s.tempo = 150;
  s.panning = {128, 144, 72, 184, 96, 160, 128, 168, 88, 128};
  s.key = "E minor";
  auto with_envelope = [](Instrument inst, Envelope env, int fadeout) {
    inst.sample.envelope = std::move(env);
    inst.sample.fadeout = fadeout;
    return inst;
  };
  s.instruments = {
      with_envelope(Pitched("octave bass", {Wave::kPulse25, 128, 0, 1.0f, 1, 0.8f}, 50), {{{0, 64}, {5, 40}, {30, 30}}, 2}, 4096),
      with_envelope(Pitched("saw lead", {Wave::kSaw, 32, 0, 1.0f, 1, 0.55f}, 40), {{{0, 64}, {6, 52}, {40, 44}}, 2}, 2048),
      with_envelope(Pitched("chip arp", {Wave::kPulse12, 32, 0, 1.0f, 1, 0.55f}, 32), {{{0, 64}, {8, 28}, {30, 12}}, -1}, 0),
      with_envelope(Pitched("string pad", {Wave::kSaw, 32, 0, 1.0f, 1, 0.35f}, 22), {{{0, 0}, {30, 50}, {80, 40}}, 2}, 512),
      with_envelope(Pitched("counter", {Wave::kTriangle, 32, 0, 1.0f, 1, 0.9f}, 40), {{{0, 64}, {10, 48}, {50, 36}}, 2}, 2048),
      Unpitched(synth::Kick("kick", 62)),
      Unpitched(synth::Snare("snare", 46)),
      Unpitched(synth::HiHat("hat", false, 26)),
      Unpitched(synth::HiHat("open hat", true, 24)),
      Unpitched(synth::Crash("crash", 34)),
      Unpitched(synth::Tom("tom", 48)),
  };
  s.kit = {
      {'k', kKick, -1, synth::kDrumNote},  {'s', kSnare, -1, synth::kDrumNote},
      {'g', kSnare, 20, synth::kDrumNote}, {'h', kHat, -1, synth::kDrumNote},
      {'H', kHat, 34, synth::kDrumNote},   {'o', kOpenHat, -1, synth::kDrumNote},
      {'c', kCrash, -1, synth::kDrumNote}, {'t', kTom, -1, synth::kDrumNote - 5},
      {'m', kTom, -1, synth::kDrumNote},   {'T', kTom, -1, synth::kDrumNote + 4},
  };

  const int kBassLow = 28;  // E1
  Voice bass = PatternVoice(0, kBass, "R.8.R.8.R.8.R.8.", kBassLow);
  Voice bass_sync = PatternVoice(0, kBass, "R..8..R.8..R.8R.", kBassLow);
  Voice bass_long = PatternVoice(0, kBass, "R.......R.......", kBassLow);
  Voice arp = PatternVoice(3, kArp, "x.xxx.xxx.xxx.xx", 52);
  Voice pad_a = PatternVoice(4, kPad, "p...............", 55, -1, 0);
  Voice pad_b = PatternVoice(5, kPad, "p...............", 55, -1, 2);
  Voice counter_rest = MelodyVoice(8, kCounter, "r:16");
  Voice beat = DrumVoice(6, "k...s...k..ks..." "k...s...k..ks..." "k...s...k..ks..." "k...s...k.sTmmtt");
  Voice hats = DrumVoice(7, "h.H.h.Hoh.H.h.Ho");
  Voice crash = DrumVoice(9, "c" + std::string(63, '.'));
  auto section = [&](std::string name, std::string chords, Voice b, std::string lead, std::vector<Voice> rest) {
    Section sec{std::move(name), std::move(chords), {std::move(b), MelodyVoice(1, kLead, std::move(lead)),
                                                     EchoVoice(2, 1, 3, 16)}};
    for (Voice& v : rest) sec.voices.push_back(v);
    return sec;
  };
  const std::string chorus =
      "g5:4 c6:4 e6:8~ | f#6:4^ e6:4 d6:8 | d6:4 b5:4 f#5:8 | g5:8 b5:4 e6:4 |"
      "e6:4 c6:4 a5:4 c6:4 | d6:4 a5:4 f#6:8~ | g6:8 d6:4 b5:4 | a5:4 b5:4 d#6:4 f#6:4";
  Voice counter_chorus = MelodyVoice(8, kCounter,
                                     "e4:8 g4:8 | a4:8 f#4:8 | f#4:8 d4:8 | e4:8 g4:8 |"
                                     "a4:8 e4:8 | f#4:8 a4:8 | b4:8 g4:8 | b4:8 d#4:8");

  s.sections = {
      section("intro", "Em:32 C:32 D:32 B7:32", bass_long, "r:16 | -:16 | -:16 | -:16 | -:16 | -:16 | -:16 | -:8 b4:8",
              {arp, pad_a, pad_b, DrumVoice(6, std::string(64, '.') + "k.......k......." "k.......k......." "k...k...k...k..." "k.k.k.k.s.sTmmtt"),
               DrumVoice(7, std::string(32, '.') + "h.h.h.h.h.h.h.h."), counter_rest, DrumVoice(9, std::string(128, '.'))}),
      section("A", "Em C D Bm Em C Am B7", bass,
              "b4:4 e5:4 g5:4 b5:4 | c6:6 b5:2 g5:8 | a5:4 f#5:4 d5:4 f#5:4 | b5:12~ r:4 |"
              "e6:4 d6:4 b5:4 g5:4 | e6:6 d6:2 c6:8 | c6:4 a5:4 e5:4 a5:4 | d#6:8~ f#5:4 a5:4",
              {arp, pad_a, pad_b, beat, hats, counter_rest, crash}),
      section("B", "C D Bm Em Am D G B7", bass_sync, chorus, {arp, pad_a, pad_b, beat, hats, counter_chorus, crash}),
      section("breakdown", "Am:32 Em:32 C:32 B7:32", bass_long,
              "a5:16~ c6:16 | b5:16~ g5:16 | e6:16~ c6:16 | d#6:16~ b5:16",
              {PatternVoice(3, kArp, "x...x...x...x...", 52), pad_a, pad_b, DrumVoice(6, "k.......k......."),
               DrumVoice(7, "....h.......h..."), counter_rest, DrumVoice(9, "................")}),
      section("outro", "Em C B7 Em", bass_long, "e6:4 b5:4 g5:8 | e6:8 c6:8 | d#6:8 b5:8 | e6:12~ r:4",
              {arp, pad_a, pad_b, DrumVoice(6, "k...s...k..ks..." "k...s...k..ks..." "k...s...k.sTmmtt" "k..............."),
               hats, counter_rest, DrumVoice(9, "c" + std::string(47, '.') + "c" + std::string(15, '.'))}),
  };
  s.arrangement = {"intro", "A", "B", "A", "breakdown", "B", "B", "outro"};
  s.loop_to = 1;
  return s;
}

}  // namespace songs
