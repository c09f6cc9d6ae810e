// The replay file reader on arbitrary bytes: ReadReplay must refuse or accept
// any file without crashing, reading out of bounds or allocating beyond its
// limits, and a stream it accepts must walk op by op to its end mark. The
// same bytes also go straight to the unpacker and to the stream checks,
// which a file reaches only past its checksum.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/replay_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> unpacked;
  replay::Unpack(data, size, size * 4, &unpacked);
  replay::OpStarts(std::vector<std::uint8_t>(data, data + size));

  replay::Replay replayRead;
  std::string error;
  if (!replay::ReadReplay(data, size, replay::kAnyRules, &replayRead, &error)) {
    if (error.empty()) std::abort();  // every refusal says why
    return 0;
  }
  if (replay::OpStarts(replayRead.stream).empty()) std::abort();  // accepted streams hold at least the end mark
  return 0;
}
