-- EXPLAIN ANALYZE of each query korvane-server makes to read the tables,
-- with the values of a player in the middle of the normal board (game :game,
-- token "bench-token-:game" of bench/server/seed_games.sql).
-- Usage: psql -v game=500000 -f bench/server/explain.sql DATABASE
-- As the server's own sessions run (server/database.cpp).
SET max_parallel_workers_per_gather = 0;
SELECT -score AS neg, verified_at::text AS t FROM games WHERE id = :game \gset
\echo '--- top 10 of a board'
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF)
SELECT p.name, b.score, b.game_id, b.verified_at FROM bests b JOIN players p ON p.id = b.player_id
 WHERE b.board = 2 ORDER BY b.neg_score, b.verified_at, b.game_id LIMIT 11;
\echo '--- the page after a cursor (keyset), also the 5 below a player'
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF)
SELECT p.name, b.score, b.game_id, b.verified_at FROM bests b JOIN players p ON p.id = b.player_id
 WHERE b.board = 2 AND (b.neg_score, b.verified_at, b.game_id) > (:neg, :'t'::timestamptz, :game)
 ORDER BY b.neg_score, b.verified_at, b.game_id LIMIT 11;
\echo '--- the 5 above a player'
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF)
SELECT p.name, b.score, b.game_id, b.verified_at FROM bests b JOIN players p ON p.id = b.player_id
 WHERE b.board = 2 AND (b.neg_score, b.verified_at, b.game_id) < (:neg, :'t'::timestamptz, :game)
 ORDER BY b.neg_score DESC, b.verified_at DESC, b.game_id DESC LIMIT 5;
\echo '--- a rank: the players of the score buckets above, then the rows before a game within its bucket'
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF)
SELECT (SELECT coalesce(sum(players), 0) FROM score_buckets
         WHERE board = 2 AND bucket > score_bucket(-(:neg)::integer))::bigint
     + (SELECT count(*) FROM bests b WHERE b.board = 2 AND b.neg_score >= -score_bucket_top(-(:neg)::integer)
         AND (b.neg_score, b.verified_at, b.game_id) < (:neg, :'t'::timestamptz, :game));
\echo '--- the same rank counted over every row before the game (what the buckets replace)'
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF)
SELECT count(*) FROM bests b
 WHERE b.board = 2 AND (b.neg_score, b.verified_at, b.game_id) < (:neg, :'t'::timestamptz, :game);
\echo '--- players on a board'
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF) SELECT players FROM board_counts WHERE board = 2;
\echo '--- a player best, by token'
EXPLAIN (ANALYZE, BUFFERS, COSTS OFF)
SELECT p.name, b.score, b.game_id, b.verified_at FROM bests b JOIN players p ON p.id = b.player_id
 WHERE p.token_hash = sha256(convert_to('bench-token-' || :game, 'UTF8')) AND b.board = 2;
