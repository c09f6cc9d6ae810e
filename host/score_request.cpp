#include "host/score_request.h"

namespace scores {
namespace {
bool requested = false;
}  // namespace

void RequestPost() { requested = true; }

bool TakePostRequest() {
  const bool was = requested;
  requested = false;
  return was;
}

}  // namespace scores
