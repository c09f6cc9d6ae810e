// The HTTP interface (cpp-httplib): routes, limits and the JSON answers.
//   POST /api/v1/scores?name=NAME          a replay; Bearer token
//   GET  /api/v1/boards/{board}            ?limit=1-100&after=CURSOR
//   GET  /api/v1/boards/{board}/around     Bearer token
//   GET  /api/v1/games/{id}/replay         a listed game's replay
//   GET  /api/v1/health                    200 when the database answers
//   GET  /...                              the site folder, when configured
// Every refusal is a status with {"error", "message"}. Limits: 1 MiB of
// body, 8 KiB per header line and URI (the library's), 64 header lines,
// 10 s to read a request or write an answer.
#pragma once

#include <httplib.h>

#include "server/config.h"
#include "server/database.h"
#include "server/score_post.h"

namespace server {

void SetUpRoutes(httplib::Server& http, const Config& config, Database& database, ScorePoster& poster);

}  // namespace server
