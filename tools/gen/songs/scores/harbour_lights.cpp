// "Harbour Lights": a bright four-channel ProTracker tune in F major, 125 bpm.
// Channels: 1 bass, 2 lead, 3 arpeggio chords, 4 drums.
#include "tools/gen/songs/disk.h"
#include "tools/gen/songs/instruments.h"

namespace songs {

Song HarbourLights() {
  using synth::Wave;
  enum { kBass = 1, kLead, kArp, kSoft, kKick, kSnare, kHat, kOpenHat, kCrash, kTom };
  Song s;
  s.title = "Harbour Lights";
  s.file = "harbour.mod";
  s.format = Format::kMod;
  s.channels = 4;
  s.speed = 6;
  s.tempo = 125;
  s.key = "F major";
  s.instruments = {
      Pitched("pluck bass", {Wave::kPulse25, 128, 24, 0.45f, 1, 0.8f}, 56),
      Pitched("square lead", {Wave::kSquare, 32, 80, 0.55f, 1, 0.6f}, 48),
      Pitched("arp", {Wave::kPulse12, 32, 40, 0.3f, 1, 0.7f}, 34),
      Pitched("soft lead", {Wave::kTriangle, 32, 60, 0.6f, 1, 0.9f}, 52),
      Unpitched(synth::Kick("kick", 60)),
      Unpitched(synth::Snare("snare", 48)),
      Unpitched(synth::HiHat("hat", false, 30)),
      Unpitched(synth::HiHat("open hat", true, 28)),
      Unpitched(synth::Crash("crash", 36)),
      Unpitched(synth::Tom("tom", 50)),
  };
  s.kit = {
      {'k', kKick, -1, synth::kDrumNote},  {'s', kSnare, -1, synth::kDrumNote},
      {'g', kSnare, 24, synth::kDrumNote}, {'h', kHat, -1, synth::kDrumNote},
      {'o', kOpenHat, -1, synth::kDrumNote}, {'c', kCrash, -1, synth::kDrumNote},
      {'t', kTom, -1, synth::kDrumNote - 5}, {'T', kTom, -1, synth::kDrumNote + 2},
  };

  const int kBassLow = 29;  // F1
  const int kArpLow = 57;   // A3
  Voice bass_bounce = PatternVoice(0, kBass, "R..R..8.R..R.5.A", kBassLow);
  Voice bass_octaves = PatternVoice(0, kBass, "R.8.R.8.R.8.R.8.", kBassLow);
  Voice bass_slow = PatternVoice(0, kBass, "R.......5.......", kBassLow);
  Voice arp_stabs = PatternVoice(2, kArp, "x...x...x...x...", kArpLow);
  Voice arp_run = PatternVoice(2, kArp, "x.x.x.x.x.x.x.x.", kArpLow);
  Voice arp_hold = PatternVoice(2, kArp, "x.......x.......", kArpLow);
  Voice drums_intro = DrumVoice(3, "k.h.h.h.k.h.h.ho" "k.h.h.h.k.h.h.ho" "k.h.h.h.k.h.h.ho" "k.h.s.h.k.s.TTtt");
  Voice drums_a = DrumVoice(3, "c.h.s.h.k.hks.h." "k.h.s.h.k.hks.h." "k.h.s.h.k.hks.h." "k.h.s.h.k.hks.hg");
  Voice drums_b = DrumVoice(3, "c.h.s.h.k.hks.ho" "k.h.s.h.k.hks.ho" "k.h.s.h.k.hks.ho" "k.h.s.h.k.s.ssss");
  Voice drums_half = DrumVoice(3, "k.......s.......");
  Voice drums_outro = DrumVoice(3, "c.h.s.h.k.hks.h." "k.h.s.h.k.hks.h." "k.h.s.h.k.s.TTtt" "c...............");

  Section intro{"intro", "F C/E Dm Bb:8 C:8", {
      bass_slow,
      MelodyVoice(1, kLead, "r:16 | -:16 | -:16 | -:8 e4:2 f4:2 g4:4"),
      arp_stabs, drums_intro}};

  Section a{"A", "F C/E Dm Am Bb F/A Gm7 C", {
      bass_bounce,
      MelodyVoice(1, kLead,
                  "a4:4 c5:4 f5:6 e5:2 | g5:4 e5:4 c5:8 | d5:4 f5:4 a5:6 g5:2 | e5:8~ c5:4 a4:4 |"
                  "bb4:4 d5:4 f5:4 d5:4 | c5:6 a4:2 f4:8~ | g4:4 bb4:4 d5:4 f5:4 | e5:12~ r:4"),
      arp_run, drums_a}};

  Section a2{"A2", "F C/E Dm Am Bb F/A C7 F", {
      bass_bounce,
      MelodyVoice(1, kLead,
                  "a4:4 c5:4 f5:6 g5:2 | g5:6 e5:2 c5:4 e5:4 | f5:4 d5:4 a4:4 d5:4 | c5:8 e5:8~ |"
                  "d5:4 bb4:4 f4:4 bb4:4 | a4:4 c5:4 f5:8 | e5:4 g5:4 bb5:4 g5:4 | f5:12~ r:4"),
      arp_run, drums_a}};

  Section b{"B", "Bb C Am Dm Bb C F:8 Dm:8 Gm7:8 C:8", {
      bass_octaves,
      MelodyVoice(1, kLead,
                  "d5:4 f5:4 bb5:8~ | g5:8 e5:4 g5:4 | a5:6 g5:2 e5:4 c5:4 | d5:8~ f5:4 a5:4 |"
                  "bb5:6 a5:2 f5:4 d5:4 | e5:4 g5:4 c5:8 | a5:4 f5:4 d5:4 f5:4 | g5:4 bb5:4 e5:8~"),
      arp_run, drums_b}};

  Section breakdown{"breakdown", "Dm Bb F C Dm Bb Gm7 C", {
      bass_slow,
      MelodyVoice(1, kSoft,
                  "a4:16~ | bb4:8 d5:8~ | c5:16~ | g4:8 e4:8 | f4:8 a4:8 | d5:16~ | bb4:8 d5:8 | e5:8 g5:8~"),
      arp_hold, drums_half}};

  Section outro{"outro", "Bb C F %", {
      bass_slow,
      MelodyVoice(1, kLead, "d5:8 f5:8 | e5:8 g5:8 | f5:16~ | -:12 r:4"),
      arp_stabs, drums_outro}};

  s.sections = {intro, a, a2, b, breakdown, outro};
  s.arrangement = {"intro", "A", "A2", "B", "breakdown", "A", "B", "outro"};
  s.loop_to = 1;
  return s;
}

}  // namespace songs
