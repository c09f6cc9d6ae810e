// Sound effects, synthesised (tools/assetgen/synth.h): plucked and bell-like
// tones built from harmonic partials, filtered noise for the shatter, and a
// fade at both ends of every sound.
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/assetgen/catalogue.h"
#include "tools/assetgen/synth.h"

namespace assetgen {

namespace {

constexpr float kPeak = 0.70f;       // about -3 dB full scale: headroom for mixing
constexpr float kQuietPeak = 0.45f;  // interface sounds sit below the game sounds

// Spare effect 1: a soft bubble pop, a sine falling quickly in pitch.
Buffer popSound() {
  Buffer b = silence(0.12f);
  addTone(b, 0, {900, 1.0f, 0.025f, 0.002f, {1.0f, 0.2f}, 0.35f});
  return finish(b, kPeak);
}

// Shatter: a bright noise crack over a shower of glassy high partials.
Buffer shatterSound() {
  Buffer b = silence(0.6f);
  Noise noise;
  float low = 0, high = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    float time = float(i) / kSampleRate;
    float n = noise.next();
    low += 0.25f * (n - low);  // one-pole low-pass ...
    high = n - low;            // ... leaves the hiss above it
    b[i] += 0.55f * high * std::exp(-time / 0.05f) + 0.25f * low * std::exp(-time / 0.03f);
  }
  // Tinkling shards: inharmonic bells entering one after another.
  const float shards[][2] = {{2093, 0.00f}, {3136, 0.02f}, {2637, 0.05f}, {4186, 0.07f},
                             {3520, 0.11f}, {5274, 0.14f}, {2794, 0.18f}, {4699, 0.22f}};
  for (const auto& s : shards) addTone(b, s[1], {s[0], 0.22f, 0.07f, 0.001f, {1.0f, 0.0f, 0.3f}});
  return finish(b, kPeak);
}

// Path accepted: two bell notes a fifth apart, rising.
Buffer acceptSound() {
  Buffer b = silence(0.45f);
  addTone(b, 0.00f, {noteHz(15), 0.8f, 0.07f, 0.003f, {1.0f, 0.5f, 0.25f, 0.1f}});  // C6
  addTone(b, 0.07f, {noteHz(22), 1.0f, 0.08f, 0.003f, {1.0f, 0.5f, 0.25f, 0.1f}});  // G6
  return finish(b, kPeak);
}

// Gem taken: one short plucked note; the game raises its rate with each gem,
// so it is a pure harmonic tone that stays musical at any rate.
Buffer pluckSound() {
  Buffer b = silence(0.24f);
  addTone(b, 0, {noteHz(7), 1.0f, 0.045f, 0.003f, {1.0f, 0.45f, 0.2f, 0.08f}});  // E5
  return finish(b, kPeak);
}

// Path too short: a dull, falling two-note "no".
Buffer refuseSound() {
  Buffer b = silence(0.34f);
  std::vector<float> hollow = {1.0f, 0.0f, 0.3f, 0.0f, 0.1f};            // odd partials: a muted reed
  addTone(b, 0.00f, {noteHz(-12), 0.9f, 0.05f, 0.006f, hollow, 0.97f});  // A3
  addTone(b, 0.10f, {noteHz(-18), 1.0f, 0.06f, 0.006f, hollow, 0.95f});  // D#3
  return finish(b, kPeak * 0.85f);
}

// Round failed: a slow falling minor arpeggio ending low.
Buffer failSound() {
  Buffer b = silence(1.3f);
  std::vector<float> soft = {1.0f, 0.25f, 0.1f};
  const int notes[] = {-2, -5, -9, -14};  // G4, E4, C4, G3
  for (int i = 0; i < 4; ++i)
    addTone(b, 0.16f * i, {noteHz(notes[i]), i == 3 ? 1.0f : 0.8f, i == 3 ? 0.18f : 0.08f, 0.008f, soft});
  return finish(b, kPeak);
}

// Round cleared: a rising major arpeggio that lands on a held chord.
Buffer clearSound() {
  Buffer b = silence(1.3f);
  std::vector<float> bright = {1.0f, 0.5f, 0.3f, 0.12f, 0.05f};
  const int notes[] = {3, 7, 10, 15};  // C5, E5, G5, C6
  for (int i = 0; i < 4; ++i) addTone(b, 0.09f * i, {noteHz(notes[i]), 0.7f, 0.07f, 0.003f, bright});
  for (int n : {3, 7, 10, 15}) addTone(b, 0.36f, {noteHz(n), 0.45f, 0.17f, 0.004f, bright});
  return finish(b, kPeak);
}

// Target reached: a quick sparkling run upwards.
Buffer targetSound() {
  Buffer b = silence(0.7f);
  std::vector<float> bell = {1.0f, 0.3f, 0.2f, 0.0f, 0.08f};
  const int notes[] = {10, 15, 19, 22, 27};  // G5, C6, E6, G6, C7
  for (int i = 0; i < 5; ++i) addTone(b, 0.05f * i, {noteHz(notes[i]), 0.75f, i == 4 ? 0.09f : 0.05f, 0.002f, bell});
  return finish(b, kPeak);
}

// Spare effect 95: one soft bell note.
Buffer chimeSound() {
  Buffer b = silence(0.6f);
  addTone(b, 0, {noteHz(12), 1.0f, 0.09f, 0.006f, {1.0f, 0.3f, 0.25f, 0.05f}});  // A5
  return finish(b, kPeak);
}

// Interface click: a very short, dry tick.
Buffer clickSound() {
  Buffer b = silence(0.06f);
  addTone(b, 0, {1760, 1.0f, 0.008f, 0.0008f, {1.0f, 0.3f}});
  Noise noise;
  for (size_t i = 0; i < b.size(); ++i) b[i] += 0.15f * noise.next() * std::exp(-float(i) / kSampleRate / 0.004f);
  return finish(b, kQuietPeak);
}

// Credits box: a gentle rising pair of soft notes.
Buffer creditsSound() {
  Buffer b = silence(0.55f);
  std::vector<float> soft = {1.0f, 0.2f, 0.08f};
  addTone(b, 0.00f, {noteHz(12), 0.8f, 0.07f, 0.015f, soft});  // A5
  addTone(b, 0.08f, {noteHz(19), 0.8f, 0.09f, 0.015f, soft});  // E6
  return finish(b, kPeak * 0.85f);
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
void putTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

const std::vector<SynthesisedSound>& soundEffects() {
  static const std::vector<SynthesisedSound> sounds = {
      {"sfx/001.wav", "spare: a soft bubble pop", popSound},
      {"sfx/002.wav", "marked gems shatter: a glassy crack with tinkling shards", shatterSound},
      {"sfx/003.wav", "path accepted: two rising bell notes (pitch rises with the combo)", acceptSound},
      {"sfx/004.wav", "gem taken into a path: a short plucked E5, raised a step per gem", pluckSound},
      {"sfx/005.wav", "path too short: a dull falling two-note reed", refuseSound},
      {"sfx/006.wav", "round failed: a slow falling minor arpeggio", failSound},
      {"sfx/007.wav", "round cleared: a rising major arpeggio landing on a chord", clearSound},
      {"sfx/008.wav", "round target reached: a quick sparkling run upwards", targetSound},
      {"sfx/095.wav", "spare: a single soft bell note", chimeSound},
      {"sfx/098.wav", "interface click: a short dry tick", clickSound},
      {"sfx/099.wav", "credits box opened or closed: a gentle rising pair of notes", creditsSound},
  };
  return sounds;
}

std::vector<uint8_t> encodeWav(const std::vector<float>& samples) {
  constexpr uint32_t kBitsPerSample = 16, kChannels = 1;
  uint32_t dataBytes = uint32_t(samples.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  putTag(out, "RIFF");
  put32(out, 36 + dataBytes);
  putTag(out, "WAVE");
  putTag(out, "fmt ");
  put32(out, 16);
  put16(out, 1);  // integer PCM
  put16(out, kChannels);
  put32(out, kSampleRate);
  put32(out, kSampleRate * kChannels * kBitsPerSample / 8);
  put16(out, kChannels * kBitsPerSample / 8);
  put16(out, kBitsPerSample);
  putTag(out, "data");
  put32(out, dataBytes);
  for (float v : samples) {
    long s = std::lround(std::max(-1.0f, std::min(1.0f, v)) * 32767.0f);
    put16(out, uint16_t(int16_t(s)));
  }
  return out;
}

}  // namespace assetgen
