#include "drive/virtual/demo_disc.h"

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "drive/virtual/disc_image.h"
#include "drive/virtual/raw_sector.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr int kFramesPerSector = 588;
constexpr int kSectorsPerSecond = 75;
constexpr double kBeatSeconds = 0.5;
constexpr int kBeatsPerChord = 4;
constexpr double kEdgeFadeSeconds = 0.5;

// A chord as semitones above the piece's key note.
using Chord = std::array<int, 3>;
constexpr Chord kOne{0, 4, 7}, kFour{5, 9, 12}, kFive{7, 11, 14}, kSix{9, 12, 16};

struct Piece {
  const char* title;
  int seconds;
  double keyHz;
  std::array<Chord, 4> progression;
};

constexpr const char* kAlbum = "Korvane Demo Disc";
constexpr const char* kPerformer = "The Virtual Quartet";
constexpr std::array<Piece, 4> kPieces{{
    {"Morning Chords", 32, 220.00, {kOne, kFive, kSix, kFour}},
    {"Four on the Floor", 24, 261.63, {kSix, kFour, kOne, kFive}},
    {"Slow Turn", 36, 293.66, {kOne, kFour, kFive, kOne}},
    {"Closing Time", 28, 196.00, {kOne, kSix, kFour, kFive}},
}};

// Equal-tempered frequency ratios of the semitones the chords use (bass an octave down included).
double SemitoneRatio(int semitones) {
  static const auto ratios = [] {
    std::array<double, 48> table{};
    for (int i = 0; i < int(table.size()); ++i) table[i] = std::pow(2.0, (i - 12) / 12.0);
    return table;
  }();
  return ratios[semitones + 12];
}

double NoteHz(double keyHz, int semitones) { return keyHz * SemitoneRatio(semitones); }

// A plucked note with a few overtones: quick attack, exponential decay over each beat.
double Voice(double hz, double t, double sinceBeat) {
  const double envelope = std::min(1.0, sinceBeat / 0.01) * std::exp(-3.0 * sinceBeat);
  double sum = 0;
  constexpr std::array<double, 3> overtones{1.0, 0.4, 0.2};
  for (size_t h = 0; h < overtones.size(); ++h) {
    sum += overtones[h] * std::sin(2 * std::numbers::pi * hz * double(h + 1) * t);
  }
  return envelope * sum;
}

// One stereo frame at time t seconds into a piece of `length` seconds.
std::array<double, 2> Frame(const Piece& piece, double t, double length) {
  const int beat = int(t / kBeatSeconds);
  const double sinceBeat = t - beat * kBeatSeconds;
  const Chord& chord = piece.progression[(beat / kBeatsPerChord) % piece.progression.size()];
  // Bass on every beat, the chord tones on alternate beats and panned across the field.
  double left = 0.8 * Voice(NoteHz(piece.keyHz, chord[0] - 12), t, sinceBeat);
  double right = left;
  const double chordStrike = beat % 2 == 0 ? sinceBeat : sinceBeat + kBeatSeconds;
  for (size_t i = 0; i < chord.size(); ++i) {
    const double voice = Voice(NoteHz(piece.keyHz, chord[i]), t, chordStrike);
    const double pan = 0.25 + 0.25 * double(i);
    left += (1 - pan) * voice * 1.4;
    right += pan * voice * 1.4;
  }
  const double fade = std::min({1.0, t / kEdgeFadeSeconds, (length - t) / kEdgeFadeSeconds});
  return {left * fade, right * fade};
}

int16_t ToSample(double value) {
  constexpr double kScale = 32767 * 0.2;
  return int16_t(std::lround(std::clamp(value * kScale, -32767.0, 32767.0)));
}

}  // namespace

std::shared_ptr<const DiscImage> MakeDemoDisc() {
  DiscLayout layout;
  layout.title = kAlbum;
  layout.performer = kPerformer;
  int lba = 0;
  for (size_t i = 0; i < kPieces.size(); ++i) {
    const int sectors = kPieces[i].seconds * kSectorsPerSecond;
    DiscTrack track;
    track.number = int(i) + 1;
    track.pregapStart = track.start = lba;
    track.end = lba + sectors;
    track.title = kPieces[i].title;
    track.performer = kPerformer;
    layout.tracks.append(track);
    layout.runs.append({lba, sectors, TrackMode::Audio, SectorRun::Source::Generated, -1, 0});
    lba += sectors;
  }
  const QList<DiscTrack> tracks = layout.tracks;
  auto synthesize = [tracks](int lba, uint8_t* out) {
    std::memset(out, 0, kCdSectorBytes);
    for (int i = 0; i < tracks.size(); ++i) {
      if (lba < tracks[i].start || lba >= tracks[i].end) continue;
      const Piece& piece = kPieces[i];
      const qint64 firstFrame = qint64(lba - tracks[i].start) * kFramesPerSector;
      for (int f = 0; f < kFramesPerSector; ++f) {
        const auto frame = Frame(piece, double(firstFrame + f) / kSampleRate, piece.seconds);
        for (int channel = 0; channel < 2; ++channel) {
          const auto sample = uint16_t(ToSample(frame[channel]));
          out[4 * f + 2 * channel] = uint8_t(sample);
          out[4 * f + 2 * channel + 1] = uint8_t(sample >> 8);
        }
      }
    }
  };
  return DiscImage::Generated(std::move(layout), synthesize);
}
