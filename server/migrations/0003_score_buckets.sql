-- The number of players per board in each score bucket, kept exact by a
-- trigger in the same transaction as the row of `bests` it counts. A rank is
-- then the players of the buckets above plus a count over bests_ranked
-- inside the player's own bucket, instead of a count over every row above.
--
-- Buckets are exact below 256 and hold the eight leading bits of a score
-- above (like a floating-point number with an eight-bit mantissa): at most
-- 6,144 buckets for any integer score, each at most 1/128 of its scores
-- wide, so neither the buckets above nor one bucket's rows grow with the
-- range of scores players reach.
CREATE FUNCTION score_bucket_shift(score integer) RETURNS integer
  LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE
  RETURN CASE WHEN score < 256 THEN 0 ELSE 25 - position('1' IN score::bit(32)::text) END;

-- A bucket's number: ordered as the scores it holds.
CREATE FUNCTION score_bucket(score integer) RETURNS integer
  LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE
  RETURN (score_bucket_shift(score) << 8) | (score >> score_bucket_shift(score));

-- The highest score in the bucket of `score`.
CREATE FUNCTION score_bucket_top(score integer) RETURNS integer
  LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE
  RETURN score | ((1 << score_bucket_shift(score)) - 1);

CREATE TABLE score_buckets (
  board   smallint NOT NULL,
  bucket  integer NOT NULL,
  players bigint NOT NULL,
  PRIMARY KEY (board, bucket)
);
INSERT INTO score_buckets (board, bucket, players)
  SELECT board, score_bucket(score), count(*) FROM bests GROUP BY 1, 2;

CREATE FUNCTION count_bucket_players() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP IN ('UPDATE', 'DELETE') THEN
    UPDATE score_buckets SET players = players - 1
      WHERE board = OLD.board AND bucket = score_bucket(OLD.score);
  END IF;
  IF TG_OP IN ('UPDATE', 'INSERT') THEN
    INSERT INTO score_buckets (board, bucket, players) VALUES (NEW.board, score_bucket(NEW.score), 1)
      ON CONFLICT (board, bucket) DO UPDATE SET players = score_buckets.players + 1;
  END IF;
  RETURN NULL;
END $$;

CREATE TRIGGER bests_bucketed AFTER INSERT OR DELETE OR UPDATE OF board, score ON bests
  FOR EACH ROW EXECUTE FUNCTION count_bucket_players();
