-- EXPLAIN ANALYZE of each statement korvane-server makes to read the tables
-- (server/board_queries.cpp), with the values of a player in the middle of
-- the normal board (game :game, token "bench-token-:game" of
-- bench/server/seed_games.sql).
-- Usage: psql -v game=500000 -f bench/server/explain.sql DATABASE
-- As the server's own sessions run them: parallel workers off
-- (server/database.cpp) and prepared, so with the generic plan that a
-- prepared statement settles on after its first executions.
SET max_parallel_workers_per_gather = 0;
SET plan_cache_mode = force_generic_plan;
\set entry 'p.name, b.score, b.game_id, to_char(b.verified_at AT TIME ZONE ''UTC'', ''YYYY-MM-DD"T"HH24:MI:SS.US"Z"'') AS at, b.neg_score, b.verified_at'
\set key '(b.neg_score, b.verified_at, b.game_id)'
\set keyk '(k.neg_score, k.verified_at, k.game_id)'
\set bucketsabove '(SELECT coalesce(sum(players), 0) FROM score_buckets WHERE board = $1 AND bucket > score_bucket(-k.neg_score))::bigint'
\set inbucket 'SELECT count(*) FROM bests b WHERE b.board = $1 AND b.neg_score >= -score_bucket_top(-k.neg_score) AND'
\echo '--- top 10 of a board (11 rows, to know "next")'
PREPARE top (smallint, bigint) AS
SELECT :entry FROM bests b JOIN players p ON p.id = b.player_id
 WHERE b.board = $1 ORDER BY b.neg_score, b.verified_at, b.game_id LIMIT $2;
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF) EXECUTE top(2, 11);
\echo '--- the page after a cursor: its key, the rows up to it (the rank), the rows after'
PREPARE after (smallint, bigint, bigint) AS
WITH k AS MATERIALIZED (SELECT k.*, :bucketsabove + (:inbucket :key <= :keyk) AS before
  FROM (SELECT -score AS neg_score, verified_at, id AS game_id FROM games WHERE id = $2 AND board = $1) k)
SELECT k.before, e.* FROM k LEFT JOIN LATERAL (SELECT :entry FROM bests b JOIN players p ON p.id = b.player_id
  WHERE b.board = $1 AND :key > :keyk ORDER BY b.neg_score, b.verified_at, b.game_id LIMIT $3) e ON true
 ORDER BY e.neg_score, e.verified_at, e.game_id;
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF) EXECUTE after(2, :game, 11);
\echo '--- around me: the player by token, the rank, 5 above and the player and 5 below'
PREPARE around (smallint, text) AS
WITH k AS MATERIALIZED (SELECT k.*, :bucketsabove + (:inbucket :key < :keyk) AS before
  FROM (SELECT b.neg_score, b.verified_at, b.game_id FROM bests b JOIN players p ON p.id = b.player_id
         WHERE p.token_hash = decode($2, 'hex') AND b.board = $1) k)
SELECT k.before, (SELECT players FROM board_counts WHERE board = $1), k.game_id, e.* FROM k
 CROSS JOIN LATERAL ((SELECT :entry FROM bests b JOIN players p ON p.id = b.player_id
   WHERE b.board = $1 AND :key < :keyk ORDER BY b.neg_score DESC, b.verified_at DESC, b.game_id DESC LIMIT 5)
  UNION ALL (SELECT :entry FROM bests b JOIN players p ON p.id = b.player_id
   WHERE b.board = $1 AND :key >= :keyk ORDER BY b.neg_score, b.verified_at, b.game_id LIMIT 6)) e
 ORDER BY e.neg_score, e.verified_at, e.game_id;
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF)
EXECUTE around(2, encode(sha256(convert_to('bench-token-' || :game, 'UTF8')), 'hex'));
\echo '--- the same rank counted over every row before the player (what the score buckets replace)'
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF)
SELECT count(*) FROM bests b, (SELECT -score AS neg_score, verified_at, id AS game_id FROM games WHERE id = :game) k
 WHERE b.board = 2 AND :key < :keyk;
