// Opening sound files by their extension, for the audio device and the
// headless host alike.
#include <cstdio>

#include "host/audio_device.h"
#include "host/sound_decoder.h"
#include "runtime/files.h"

namespace {

struct FileCloser {
  FILE* file;
  ~FileCloser() { std::fclose(file); }
};

}  // namespace

bool LoadSoundFile(const String& path, DecodedSound& sound) {
  String ext = SoundFileExtension(path);
  bool wav = ext == String("wav");
  if (!wav && !(ext == String("ogg"))) return false;
  FILE* file = fopenFile(path, String("rb"));
  if (!file) return false;
  FileCloser closer{file};
  return wav ? readWav(file, sound) : readOgg(file, sound);
}

String SoundFileExtension(String path) {
  int dot = path.FindLast(String("."));
  if (dot < 0) return String();
  String ext = path.Slice(dot + 1);
  if (ext.Find(String("/"), 0) >= 0 || ext.Find(String("\\"), 0) >= 0) return String();
  return ext.ToLower();
}
