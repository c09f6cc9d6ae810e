// The game's request that its finished game be posted to the world score
// server. The game asks at the end of a game (before the replay of it is
// complete); the recording's sink takes the request with that game's file.
// A flag only, so that the headless host has it too. Main thread only.
#pragma once

namespace scores {

void RequestPost();
// True once per request.
bool TakePostRequest();

}  // namespace scores
