-- Players, their verified games and each player's best game per board.
-- A player is known only by the SHA-256 of their secret token.
CREATE TABLE players (
  id         bigserial PRIMARY KEY,
  token_hash bytea NOT NULL UNIQUE,
  name       text NOT NULL,
  created_at timestamptz NOT NULL DEFAULT now()
);

-- Every game the server's own re-run confirmed. `identity` is the SHA-256 of
-- what the game holds (its start and its end state), so one game is stored
-- once whoever posts it and however its file is encoded.
CREATE TABLE games (
  id          bigserial PRIMARY KEY,
  player_id   bigint NOT NULL REFERENCES players,
  board       smallint NOT NULL CHECK (board BETWEEN 1 AND 3),
  score       integer NOT NULL CHECK (score >= 0),
  rounds      integer NOT NULL,
  updates     bigint NOT NULL,
  identity    bytea NOT NULL UNIQUE,
  replay      bytea NOT NULL,
  verified_at timestamptz NOT NULL DEFAULT clock_timestamp(),
  hidden      boolean NOT NULL DEFAULT false
);
CREATE INDEX games_by_player ON games (player_id, board);

-- The best game of each player on each board: the rows the tables list.
-- neg_score turns "higher score first, then the one verified first" into one
-- ascending key, so pages and ranks are row comparisons over one index.
CREATE TABLE bests (
  board       smallint NOT NULL,
  player_id   bigint NOT NULL REFERENCES players,
  game_id     bigint NOT NULL REFERENCES games,
  score       integer NOT NULL,
  neg_score   integer GENERATED ALWAYS AS (-score) STORED,
  verified_at timestamptz NOT NULL,
  PRIMARY KEY (board, player_id)
);
CREATE INDEX bests_ranked ON bests (board, neg_score, verified_at, game_id);
