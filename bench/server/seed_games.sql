-- Fills the tables of an empty korvane-server database (migrated) with
-- :games players, each with one game on the normal board, for load figures.
-- Scores are spread like a real table: many low, few high, many ties.
-- Player N's token is "bench-token-N" (for around-me requests).
-- Usage: psql -v games=1000000 -f bench/server/seed_games.sql DATABASE
BEGIN;
INSERT INTO players (token_hash, name)
  SELECT sha256(convert_to('bench-token-' || i, 'UTF8')), 'Player ' || i
  FROM generate_series(1, :games) i;
INSERT INTO games (player_id, board, score, rounds, updates, identity, replay, verified_at)
  SELECT id, 2, floor(power(random(), 3) * 5000)::int, 1, 3600,
         sha256(convert_to('bench-game-' || id, 'UTF8')), '\x00',
         timestamptz '2026-01-01' + id * interval '1 second'
  FROM players;
-- One count for the whole load instead of trigger calls per row.
ALTER TABLE bests DISABLE TRIGGER bests_counted;
ALTER TABLE bests DISABLE TRIGGER bests_bucketed;
INSERT INTO bests (board, player_id, game_id, score, verified_at)
  SELECT board, player_id, id, score, verified_at FROM games;
ALTER TABLE bests ENABLE TRIGGER bests_counted;
ALTER TABLE bests ENABLE TRIGGER bests_bucketed;
UPDATE board_counts SET players = (SELECT count(*) FROM bests WHERE board = board_counts.board);
DELETE FROM score_buckets;
INSERT INTO score_buckets (board, bucket, players)
  SELECT board, score_bucket(score), count(*) FROM bests GROUP BY 1, 2;
COMMIT;
-- Sets the visibility map, so that counts are index-only scans, as they are
-- on a table that autovacuum keeps.
VACUUM ANALYZE;
