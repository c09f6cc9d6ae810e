-- The number of players on each board, kept exact by a trigger in the same
-- transaction as the row of `bests` it counts: "rank 12 of N" then needs no
-- count over a whole board.
CREATE TABLE board_counts (
  board   smallint PRIMARY KEY,
  players bigint NOT NULL
);
INSERT INTO board_counts (board, players)
  SELECT b, (SELECT count(*) FROM bests WHERE board = b) FROM generate_series(1, 3) b;

CREATE FUNCTION count_board_players() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP = 'INSERT' THEN
    UPDATE board_counts SET players = players + 1 WHERE board = NEW.board;
  ELSE
    UPDATE board_counts SET players = players - 1 WHERE board = OLD.board;
  END IF;
  RETURN NULL;
END $$;

CREATE TRIGGER bests_counted AFTER INSERT OR DELETE ON bests
  FOR EACH ROW EXECUTE FUNCTION count_board_players();
