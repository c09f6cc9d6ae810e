// The music's instruments, synthesised: a drum kit of eight one-shot sounds and
// three melodic samples (a mallet lead, a soft plucked accompaniment and a
// round bass). The player loops melodic samples and changes their rate for
// each note, so they are pure harmonic tones that decay on their own and have
// faded to silence well before they would loop; each sounds C in its octave
// at rate 1. Every drum is shorter than the gap between two hits of its voice
// in the song, so no drum is ever cut off while it still sounds.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/music.h"
#include "tools/assetgen/synth.h"

namespace assetgen {

namespace {

// Levels: the song's loudest moments (kick, bass and lead together) stay a few
// decibels below the game's effects, which peak at 0.7.
constexpr float kDrumPeak = 0.28f;
constexpr float kMelodicPeak = 0.28f;
constexpr int kC2 = -33;  // semitones from A4
constexpr int kC4 = -9;
constexpr int kC5 = 3;

// A drum: a tone gliding down under noise, both decaying from the start.
struct DrumRecipe {
  float seconds;
  float startHz, endHz;  // 0: no tone
  float noise;           // share of noise, 0-1
  float decayPerSecond;
  bool bright;  // noise with its low end removed (hats, shaker)
  float attackSeconds;
};

Buffer drum(const DrumRecipe& r, uint32_t seed) {
  Buffer b = silence(r.seconds);
  Noise noise(seed);
  double phase = 0;
  float lastNoise = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    const float t = float(i) / kSampleRate;
    const float progress = float(i) / float(b.size());
    const float hz = r.startHz > 0 ? r.startHz * std::pow(r.endHz / r.startHz, progress) : 0;
    phase += double(hz) / kSampleRate;
    const float white = noise.next();
    const float hiss = r.bright ? 0.5f * (white - lastNoise) : white;
    lastNoise = white;
    const float tone = float(std::sin(kTwoPi * std::fmod(phase, 1.0)));
    const float attack = std::min(1.0f, t / r.attackSeconds);
    b[i] = attack * std::exp(-r.decayPerSecond * t) * ((1 - r.noise) * tone + r.noise * hiss);
  }
  return finish(b, kDrumPeak);
}

Buffer kick() { return drum({0.30f, 150, 45, 0.05f, 11, false, 0.002f}, 11); }
Buffer snare() { return drum({0.28f, 220, 170, 0.7f, 16, false, 0.001f}, 12); }
Buffer closedHat() { return drum({0.07f, 0, 0, 1, 60, true, 0.001f}, 13); }
Buffer openHat() { return drum({0.30f, 0, 0, 1, 12, true, 0.001f}, 14); }
Buffer lowTom() { return drum({0.30f, 120, 85, 0.12f, 11, false, 0.002f}, 15); }
Buffer highTom() { return drum({0.28f, 190, 150, 0.12f, 12, false, 0.002f}, 16); }
Buffer shaker() { return drum({0.08f, 0, 0, 1, 45, true, 0.012f}, 18); }

// A hand clap: three quick noise bursts and a short tail.
Buffer clap() {
  Buffer b = silence(0.15f);
  Noise noise(17);
  const float bursts[] = {0.0f, 0.011f, 0.022f};
  for (size_t i = 0; i < b.size(); ++i) {
    const float t = float(i) / kSampleRate;
    float level = 0.6f * std::exp(-(t - 0.022f > 0 ? t - 0.022f : 0) * 28);
    for (float start : bursts) {
      if (t >= start && t < start + 0.011f) level = std::max(level, std::exp(-(t - start) * 180));
    }
    b[i] = level * noise.next();
  }
  return finish(b, kDrumPeak);
}

// A melodic sample: `seconds` long, one tone that has died away before the end.
Buffer melodic(float seconds, const Tone& tone) {
  Buffer b = silence(seconds);
  addTone(b, 0, tone);
  return finish(b, kMelodicPeak);
}

// Mallet lead: a strong fundamental with a quickly fading fourth harmonic,
// like a struck bar.
Buffer lead() { return melodic(3.0f, {noteHz(kC5), 1.0f, 0.55f, 0.003f, {1.0f, 0.0f, 0.08f, 0.3f, 0.0f, 0.04f}}); }

// Accompaniment: a soft pluck, bright at first and mellow after.
Buffer accompany() { return melodic(2.5f, {noteHz(kC4), 1.0f, 0.45f, 0.004f, {1.0f, 0.45f, 0.2f, 0.1f, 0.05f}}); }

// Bass: round, with enough second and third harmonic to be heard on small speakers.
Buffer bass() { return melodic(3.0f, {noteHz(kC2), 1.0f, 0.9f, 0.008f, {1.0f, 0.6f, 0.25f, 0.1f}}); }

}  // namespace

const std::vector<SynthesisedSound>& instrumentSamples() {
  static const std::vector<SynthesisedSound> samples = {
      {"inst/d0-1.wav", "drum 1: kick", kick},
      {"inst/d0-2.wav", "drum 2: snare", snare},
      {"inst/d0-3.wav", "drum 3: closed hat", closedHat},
      {"inst/d0-4.wav", "drum 4: open hat", openHat},
      {"inst/d0-5.wav", "drum 5: low tom", lowTom},
      {"inst/d0-6.wav", "drum 6: high tom", highTom},
      {"inst/d0-7.wav", "drum 7: clap", clap},
      {"inst/d0-8.wav", "drum 8: shaker", shaker},
      {"inst/lead0.wav", "lead: a mallet tone, C5 at rate 1", lead},
      {"inst/accompany0.wav", "accompaniment: a soft pluck, C4 at rate 1", accompany},
      {"inst/bass0.wav", "bass: a round tone, C2 at rate 1", bass},
  };
  return samples;
}

}  // namespace assetgen
