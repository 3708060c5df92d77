// "Frühlingsmarkt": a four-channel ProTracker polka in G major, 140 bpm, with
// an oom-pah bass, off-beat chords and a trio in C.
// Channels: 1 bass, 2 lead, 3 off-beat chords, 4 drums.
#include "tools/gen/songs/disk.h"
#include "tools/gen/songs/instruments.h"

namespace songs {

Song Fruehlingsmarkt() {
  using synth::Wave;
  enum { kBass = 1, kLead, kChord, kFlute, kKick, kSnare, kHat, kCrash };
  Song s;
  s.title = "Fr\xFChlingsmarkt";  // Latin-1, as the player's font is
  s.file = "markt.mod";
  s.format = Format::kMod;
  s.channels = 4;
  s.speed = 6;
  s.tempo = 140;
  s.key = "G major";
  s.instruments = {
      Pitched("tuba", {Wave::kSquare, 128, 20, 0.4f, 1, 0.75f}, 58),
      Pitched("reed lead", {Wave::kPulse25, 16, 100, 0.6f, 2, 0.55f}, 46),
      Pitched("squeeze box", {Wave::kPulse12, 32, 16, 0.25f, 1, 0.7f}, 36),
      Pitched("flute", {Wave::kTriangle, 16, 60, 0.7f, 2, 0.9f}, 50),
      Unpitched(synth::Kick("kick", 58)),
      Unpitched(synth::Snare("snare", 44)),
      Unpitched(synth::HiHat("hat", false, 28)),
      Unpitched(synth::Crash("crash", 34)),
  };
  s.kit = {
      {'k', kKick, -1, synth::kDrumNote}, {'s', kSnare, -1, synth::kDrumNote},
      {'g', kSnare, 22, synth::kDrumNote}, {'h', kHat, -1, synth::kDrumNote},
      {'c', kCrash, -1, synth::kDrumNote},
  };

  const int kBassLow = 31;   // G1
  const int kChordLow = 55;  // G3
  Voice oompah = PatternVoice(0, kBass, "R.......L.......", kBassLow);
  Voice oompah_walk = PatternVoice(0, kBass, "R.......L...5.A.", kBassLow);
  Voice offbeats = PatternVoice(2, kChord, "....x.......x...", kChordLow);
  Voice offbeats_busy = PatternVoice(2, kChord, "..x...x...x...x.", kChordLow);
  Voice drums = DrumVoice(3, "k.h.s.h.k.h.s.h.");
  Voice drums_fill = DrumVoice(3, "c.h.s.h.k.h.s.h." "k.h.s.h.k.h.s.h." "k.h.s.h.k.h.s.h." "k.h.s.h.k.s.ssss");

  s.sections = {
      {"intro", "G C D7 G", {oompah, MelodyVoice(1, kLead, "r:16 | -:16 | -:16 | -:8 d5:4 f#5:4"), offbeats,
                             DrumVoice(3, "k...h...k...h...")}},
      {"A", "G C G D7 G C D7 G", {oompah_walk,
                                  MelodyVoice(1, kLead,
                                              "d5:4 g5:4 b5:4 g5:4 | e5:4 g5:4 c6:6 b5:2 | b5:4 a5:4 g5:4 d5:4 |"
                                              "f#5:8 a5:4 c6:4 | b5:6 a5:2 g5:4 b5:4 | c6:4 e6:4 g5:8 |"
                                              "a5:4 f#5:4 d5:4 c6:4 | b5:8 g5:4 r:4"),
                                  offbeats, drums_fill}},
      {"B", "C G D G Em Am D7 G", {oompah,
                                   MelodyVoice(1, kLead,
                                               "e6:4 d6:4 c6:4 g5:4 | b5:8 d6:4 b5:4 | a5:4 f#5:4 d5:4 f#5:4 |"
                                               "g5:12~ r:4 | g5:4 b5:4 e6:4 d6:4 | c6:4 a5:4 e5:4 a5:4 |"
                                               "f#5:4 a5:4 d6:4 c6:4 | b5:4 g5:4 d5:8"),
                                   offbeats_busy, drums}},
      {"trio", "C F C G7 C F G7 C:8 D7:8", {oompah_walk,
                                            MelodyVoice(1, kFlute,
                                                        "e5:4 g5:4 c6:8 | a5:4 c6:4 f5:8 | g5:4 e5:4 c5:4 e5:4 |"
                                                        "d5:8 f5:4 b5:4 | c6:6 b5:2 c6:4 g5:4 | a5:4 f5:4 c5:8 |"
                                                        "b4:4 d5:4 f5:4 g5:4 | c5:8 d5:4 f#5:4"),
                                            offbeats, drums_fill}},
      {"breakdown", "Em C G D", {PatternVoice(0, kBass, "R...............", kBassLow),
                                 MelodyVoice(1, kFlute, "b4:16~ | c5:16~ | d5:16~ | f#5:16~"),
                                 PatternVoice(2, kChord, "x.......x.......", kChordLow), DrumVoice(3, "k...............")}},
      {"outro", "G C D7 G", {oompah,
                             MelodyVoice(1, kLead, "d5:4 g5:4 b5:8 | c6:4 e6:4 c6:8 | a5:4 f#5:4 d5:8 | g5:12 r:4"),
                             offbeats, DrumVoice(3, "k.h.s.h.k.h.s.h." "k.h.s.h.k.h.s.h." "k.h.s.h.k.s.ssss" "c...............")}},
  };
  s.arrangement = {"intro", "A", "B", "A", "trio", "breakdown", "A", "B", "outro"};
  s.loop_to = 1;
  return s;
}

}  // namespace songs
