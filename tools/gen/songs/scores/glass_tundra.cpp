// "Glass Tundra": a driving FastTracker 2 tune in A minor, 140 bpm, with
// enveloped chip voices and a last chorus a tone higher.
// Channels: 1 bass, 2 lead, 3 its echo, 4 arpeggio, 5-6 pad, 7 kick and snare, 8 hats.
#include "tools/gen/songs/disk.h"
#include "tools/gen/songs/instruments.h"

namespace songs {

Song GlassTundra() {
  using synth::Wave;
  enum { kBass = 1, kLead, kArp, kPad, kKick, kSnare, kHat, kOpenHat, kCrash, kTom };
  Song s;
  s.title = "Glass Tundra";
  s.file = "tundra.xm";
  s.format = Format::kXm;
  s.channels = 8;
  s.speed = 6;
  s.tempo = 140;
  s.panning = {128, 140, 80, 176, 64, 192, 128, 160};
  s.key = "A harmonic";
  auto with_envelope = [](Instrument inst, Envelope env, int fadeout) {
    inst.sample.envelope = std::move(env);
    inst.sample.fadeout = fadeout;
    return inst;
  };
  s.instruments = {
      with_envelope(Pitched("saw bass", {Wave::kSaw, 64, 0, 1.0f, 1, 0.75f}, 52), {{{0, 64}, {6, 44}, {40, 36}}, 2}, 2048),
      with_envelope(Pitched("pulse lead", {Wave::kPulse25, 32, 0, 1.0f, 1, 0.6f}, 44), {{{0, 64}, {4, 54}, {30, 46}}, 2}, 1536),
      with_envelope(Pitched("square arp", {Wave::kSquare, 32, 0, 1.0f, 1, 0.5f}, 36), {{{0, 64}, {10, 30}, {36, 14}}, -1}, 0),
      with_envelope(Pitched("pwm pad", {Wave::kPwm, 32, 0, 1.0f, 64, 0.5f}, 30), {{{0, 0}, {20, 52}, {60, 44}}, 2}, 768),
      Unpitched(synth::Kick("kick", 62)),
      Unpitched(synth::Snare("snare", 46)),
      Unpitched(synth::HiHat("hat", false, 28)),
      Unpitched(synth::HiHat("open hat", true, 26)),
      Unpitched(synth::Crash("crash", 34)),
      Unpitched(synth::Tom("tom", 48)),
  };
  s.kit = {
      {'k', kKick, -1, synth::kDrumNote},  {'s', kSnare, -1, synth::kDrumNote},
      {'g', kSnare, 22, synth::kDrumNote}, {'h', kHat, -1, synth::kDrumNote},
      {'H', kHat, 36, synth::kDrumNote},   {'o', kOpenHat, -1, synth::kDrumNote},
      {'c', kCrash, -1, synth::kDrumNote}, {'t', kTom, -1, synth::kDrumNote - 5},
      {'m', kTom, -1, synth::kDrumNote},   {'T', kTom, -1, synth::kDrumNote + 4},
  };

  const int kBassLow = 33;  // A1
  const int kArpLow = 57;   // A3
  const int kPadLow = 55;   // G3
  Voice bass_drive = PatternVoice(0, kBass, "R.R.8.R.R.R.8.R.", kBassLow);
  Voice bass_half = PatternVoice(0, kBass, "R.......R.......", kBassLow);
  Voice arp = PatternVoice(3, kArp, "x.x.x.x.x.x.x.x.", kArpLow);
  Voice pad_low = PatternVoice(4, kPad, "p...............", kPadLow, -1, 0);
  Voice pad_high = PatternVoice(5, kPad, "p...............", kPadLow, -1, 2);
  Voice kick_snare = DrumVoice(6, "k...s...k.k.s..." "k...s...k.k.s..." "k...s...k.k.s..." "k...s...k.k.sTmt");
  Voice hats = DrumVoice(7, "c.h.H.h.h.H.h.o." "h.h.H.h.h.H.h.o." "h.h.H.h.h.H.h.o." "h.h.H.h.h.H.h.o.");
  auto section = [&](std::string name, std::string chords, Voice bass, std::string lead, std::vector<Voice> rest,
                     int transpose = 0) {
    Section sec{std::move(name), std::move(chords), {std::move(bass), MelodyVoice(1, kLead, std::move(lead)),
                                                     EchoVoice(2, 1, 3, 18)}};
    for (Voice& v : rest) sec.voices.push_back(v);
    sec.transpose = transpose;
    return sec;
  };
  const std::string chorus =
      "a5:4 c6:4 f6:8~ | d6:4 b5:4 g5:8 | e6:8 b5:4 g5:4 | a5:12~ r:4 |"
      "f5:4 a5:4 d6:4 f6:4 | d6:4 e6:4 b5:8~ | c6:4 e6:4 g6:8 | g#5:4 b5:4 e6:4 g#6:4";

  s.sections = {
      section("intro", "Am F C G Am F Dm E", bass_half, "r:16 | -:16 | -:16 | -:16 | -:16 | -:16 | -:16 | -:8 e5:4 g#5:4",
              {arp, pad_low, pad_high,
               DrumVoice(6, std::string(64, '.') + "k.......k......." "k.......k......." "k...k...k...k..." "k.k.k.k.s.s.ssss"),
               DrumVoice(7, std::string(64, '.') + "h.h.h.h.h.h.h.h.")}),
      section("A", "Am F C G Am F Dm E", bass_drive,
              "e5:4 a5:4 c6:6 b5:2 | a5:8 f5:4 c5:4 | e5:4 g5:4 c6:4 g5:4 | b5:8~ d6:4 b5:4 |"
              "c6:4 b5:4 a5:4 e5:4 | f5:4 a5:4 c6:8~ | d6:6 c6:2 a5:4 f5:4 | g#5:8~ e5:4 b5:4",
              {arp, pad_low, pad_high, kick_snare, hats}),
      section("B", "F G Em Am Dm G C E", bass_drive, chorus, {arp, pad_low, pad_high, kick_snare, hats}),
      section("breakdown", "F:32 Am:32 Dm:32 E:32", bass_half,
              "a5:16~ -:16 | e5:16~ -:16 | f5:16~ a5:16 | g#5:16~ b5:16",
              {PatternVoice(3, kArp, "x...x...x...x...", kArpLow), pad_low, pad_high, DrumVoice(6, "k..............."),
               DrumVoice(7, "....h.......h...")}),
      section("B2", "F G Em Am Dm G C E", bass_drive, chorus, {arp, pad_low, pad_high, kick_snare, hats}, 2),
      section("outro", "Am F G Am", bass_half, "e5:8 a5:8 | c6:8 a5:8 | b5:8 d6:8 | a5:16~",
              {arp, pad_low, pad_high, DrumVoice(6, "k...s...k.k.s..." "k...s...k.k.s..." "k...s...k.k.sTmt" "k..............."),
               DrumVoice(7, "h.h.H.h.h.H.h.o." "h.h.H.h.h.H.h.o." "h.h.H.h.h.H.h.o." "c...............")},
              2),
  };
  s.arrangement = {"intro", "A", "B", "A", "breakdown", "B", "B2", "outro"};
  s.loop_to = 1;
  return s;
}

}  // namespace songs
