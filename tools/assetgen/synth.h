// Building blocks of the synthesised sounds, shared by the sound effects and
// the music's instruments: tones of harmonic partials that each decay at their
// own rate (they stay in tune when the game or the music player replays them
// faster or slower), deterministic noise, and the finish that fades both ends
// of a sound so that it never starts or stops with a click.
#pragma once

#include <cstdint>
#include <vector>

namespace assetgen {

using Buffer = std::vector<float>;

constexpr float kTwoPi = 6.28318530718f;

Buffer silence(float seconds);

// Equal-tempered pitch, in semitones from A4 = 440 Hz.
float noteHz(int semitonesFromA4);

// A tone of harmonic partials, each decaying faster than the one below it.
struct Tone {
  float hz;
  float amp;
  float decaySeconds;  // time for the fundamental to fall to 1/e
  float attackSeconds = 0.004f;
  std::vector<float> partials = {1.0f, 0.4f, 0.15f, 0.06f};
  float glide = 1.0f;  // frequency multiplier reached at the end of the tone
};

// Adds the tone to `b` from `startSeconds` on; it lasts six decay times, the
// last tenth fading to zero.
void addTone(Buffer& b, float startSeconds, const Tone& t);

// Deterministic white noise in -1..1.
class Noise {
 public:
  explicit Noise(uint32_t seed = 0x2F6E2B1u) : state_(seed) {}
  float next() {
    state_ = state_ * 1664525u + 1013904223u;
    return float(state_ >> 8) / 8388608.0f - 1.0f;
  }

 private:
  uint32_t state_;
};

// Fades both ends and scales the loudest sample to `peak`.
Buffer finish(Buffer b, float peak);

}  // namespace assetgen
