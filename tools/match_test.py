"""Tests of tools/match.py: reading an engine's answers, the referee under each rule, the match
arithmetic. python3 -m unittest discover -s tools -p '*_test.py'"""

import contextlib
import io
import math
import shutil
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import match  # noqa: E402

# A stand-in engine: after a BOARD block it answers with an analysis line and its move in ONE
# write, as an engine does whose output buffer is flushed once per think. It plays the first
# empty cell of row 0 when it has as many stones as the other side (black), else of row 2; in
# "illegal" mode it plays on 0,0 whatever stands there.
FAKE_ENGINE = r'''
import os, sys
mode = sys.argv[1]
stones = []
in_board = False
for line in sys.stdin:
    line = line.strip()
    if line.startswith("START"):
        os.write(1, b"OK\n")
    elif line == "BOARD":
        in_board, stones = True, []
    elif in_board and line != "DONE":
        x, y, who = (int(v) for v in line.split(","))
        stones.append((x, y, who))
    elif line == "DONE":
        in_board = False
        taken = {(x, y) for x, y, _ in stones}
        own = sum(1 for s in stones if s[2] == 1)
        row = 0 if 2 * own == len(stones) else 2
        x = next(x for x in range(15) if (x, row) not in taken)
        move = "0,0" if mode == "illegal" else f"{x},{row}"
        os.write(1, f"MESSAGE depth 1 score 0 nodes 1 nps 1 time 0 pv {move}\n{move}\n".encode())
    elif line == "END":
        break
'''


class FakeEngineCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.directory = tempfile.mkdtemp()
        cls.script = Path(cls.directory) / "fake_engine.py"
        cls.script.write_text(FAKE_ENGINE)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.directory)

    def command(self, mode="legal"):
        return f"{sys.executable} {self.script} {mode}"


class EngineReading(FakeEngineCase):
    def test_a_move_written_with_an_analysis_line_is_read_at_once(self):
        engine = match.Engine(self.command(), "fake")
        try:
            engine.expect("START 15", "OK")
            engine.send("BOARD")
            asked = time.monotonic()
            engine.send("DONE")
            answer, arrived = engine.read_answer(timeout=5)
            self.assertEqual(answer, "0,0")
            self.assertLess(arrived - asked, 2.0)
        finally:
            engine.close()

    def test_whole_games_with_a_five_and_with_an_illegal_move(self):
        settings = match.argparse.Namespace(max_memory=0, max_moves=225, late_ms=1000)
        sides = [match.Side("A", self.command(), [], 100), match.Side("B", self.command(), [], 100)]
        engines = [match.Engine(side.command, side.name) for side in sides]
        try:
            # Black fills row 0 from its left, white row 2: black's fifth stone is five.
            winner, reason, moves = match.play_game(engines, sides, 15, 0, [], settings)
            self.assertEqual((winner, reason, len(moves)), (0, "five", 9))
            # With an opening, the side to move after it is white; the same engines again.
            winner, reason, moves = match.play_game(engines, sides, 15, 0, [(7, 7)], settings)
            self.assertEqual((winner, reason), (1, "five"))
            self.assertEqual(moves[:2], [(7, 7), (0, 2)])
        finally:
            for engine in engines:
                engine.close()
        sides[1] = match.Side("B", self.command("illegal"), [], 100)
        engines = [match.Engine(side.command, side.name) for side in sides]
        try:
            winner, reason, _ = match.play_game(engines, sides, 15, 0, [], settings)
            self.assertEqual(winner, 0)
            self.assertIn("illegal", reason)
        finally:
            for engine in engines:
                engine.close()


def board(rule, black=(), white=()):
    referee = match.Referee(15, rule)
    for x, y in black:
        referee.place(x, y, match.BLACK)
    for x, y in white:
        referee.place(x, y, match.WHITE)
    return referee


def row(xs, y=7):
    return [(x, y) for x in xs]


def column(ys, x=7):
    return [(x, y) for y in ys]


class RefereeRules(unittest.TestCase):
    def test_five_and_overline_under_each_rule(self):
        for colour in (match.BLACK, match.WHITE):
            # Four in a row with a gap beyond: the stone makes five.
            stones = row([2, 3, 4, 5])
            for rule in (0, 1, 4):
                referee = board(rule, *((stones, ()) if colour == match.BLACK else ((), stones)))
                self.assertEqual(referee.play(6, 7, colour), "five", (rule, colour))
            # The stone joins 2..5 and 7: six in a row.
            stones = row([2, 3, 4, 5, 7])
            expected = {0: "five", 1: None, 4: "foul" if colour == match.BLACK else "five"}
            for rule, verdict in expected.items():
                referee = board(rule, *((stones, ()) if colour == match.BLACK else ((), stones)))
                self.assertEqual(referee.play(6, 7, colour), verdict, (rule, colour))
        # A diagonal five, away from the edges of the other tests.
        referee = board(0, black=[(3, 11), (4, 10), (5, 9), (6, 8)])
        self.assertEqual(referee.play(7, 7, match.BLACK), "five")
        self.assertIsNone(board(0, black=[(3, 11), (4, 10), (5, 9)]).play(7, 7, match.BLACK))

    def test_renju_fouls_are_black_only_and_only_under_renju(self):
        double_three = [(5, 7), (6, 7), (7, 5), (7, 6)]
        double_four = [(3, 7), (4, 7), (5, 7), (7, 3), (7, 4), (7, 5)]
        in_line_double_four = row([4, 6, 8, 10])  # x.x?x.x with 7 the stone
        for stones, x, y in ((double_three, 7, 7), (double_four, 7, 7),
                             (in_line_double_four, 7, 7)):
            self.assertEqual(board(4, black=stones).play(x, y, match.BLACK), "foul")
            self.assertIsNone(board(4, white=stones).play(x, y, match.WHITE))
            self.assertIsNone(board(0, black=stones).play(x, y, match.BLACK))
            self.assertIsNone(board(1, black=stones).play(x, y, match.BLACK))

    def test_renju_allowed_shapes(self):
        # A white stone caps the horizontal three: one three is left.
        self.assertIsNone(board(4, black=[(5, 7), (6, 7), (7, 5), (7, 6)],
                                white=[(4, 7)]).play(7, 7, match.BLACK))
        # A four and a three.
        self.assertIsNone(board(4, black=[(4, 7), (5, 7), (6, 7), (7, 5), (7, 6)])
                          .play(7, 7, match.BLACK))
        # Five beats the double four it also makes.
        self.assertEqual(board(4, black=[(3, 7), (4, 7), (5, 7), (6, 7), (7, 3), (7, 4), (7, 5)])
                         .play(7, 7, match.BLACK), "five")
        # Two threes, one of which can only become a plain four (a white stone at one end).
        self.assertIsNone(board(4, black=[(5, 7), (6, 7), (7, 5), (7, 6)],
                                white=[(8, 7)]).play(7, 7, match.BLACK))
        # A split three (x.xx) and an open three: a double three.
        self.assertEqual(board(4, black=[(4, 7), (6, 7), (7, 5), (7, 6)]).play(7, 7, match.BLACK),
                         "foul")

    def test_a_three_whose_key_cells_are_forbidden_does_not_count(self):
        # Row 7: 3, 4 and the stone on 5 make a three whose key cells 2 and 6 would each give
        # black a four in their column too (a double four); column 5 holds a real three.
        threes = row([3, 4]) + column([5, 6], x=5)
        blockers = column([8, 9, 10], x=2) + column([8, 9, 10], x=6)
        self.assertEqual(board(4, black=threes).play(5, 7, match.BLACK), "foul")
        self.assertIsNone(board(4, black=threes + blockers).play(5, 7, match.BLACK))

    def test_judging_leaves_only_the_stone_on_the_board(self):
        stones = row([3, 4]) + column([5, 6], x=5) + column([8, 9, 10], x=2)
        referee = board(4, black=stones)
        expected = [line[:] for line in referee.cells]
        expected[7][5] = match.BLACK
        self.assertEqual(referee.play(5, 7, match.BLACK), "foul")
        self.assertEqual(referee.cells, expected)
        self.assertEqual(referee.stones, len(stones) + 1)


class MoveText(unittest.TestCase):
    def test_moves_read_and_written(self):
        self.assertEqual(match.parse_moves("h8i9 j10", 15), [(7, 7), (8, 6), (9, 5)])
        self.assertEqual(match.parse_moves("a1o15", 15), [(0, 14), (14, 0)])
        self.assertEqual(match.format_moves([(7, 7), (8, 6), (9, 5)], 15), "h8i9j10")
        for bad in ("h8h8", "p1", "a16", "h0", "h8?"):
            with self.assertRaises(ValueError, msg=bad):
                match.parse_moves(bad, 15)

    def test_the_repository_openings_are_legal_and_quiet(self):
        files = [(rule, name, 15, 80) for rule, name in match.OPENING_FILES.items()]
        files.append((0, "freestyle_20x20.txt", 20, 77))
        for rule, name, size, count in files:
            openings = match.read_openings(match.OPENINGS_DIR / name, size)
            self.assertEqual(len(openings), count, name)
            self.assertEqual(len(set(map(tuple, openings))), count, name)
            for moves in openings:
                referee = match.Referee(size, rule)
                for i, (x, y) in enumerate(moves):
                    colour = match.BLACK if i % 2 == 0 else match.WHITE
                    self.assertIsNone(referee.play(x, y, colour),
                                      f"{name}: {match.format_moves(moves, size)}")


class Arithmetic(unittest.TestCase):
    def test_elo_of_known_scores(self):
        self.assertAlmostEqual(match.elo(0.5), 0.0)
        self.assertAlmostEqual(match.elo(0.75), 190.849, places=3)  # 400 log10 3
        self.assertAlmostEqual(match.elo(0.25), -190.849, places=3)
        self.assertAlmostEqual(match.expected_score(190.849), 0.75, places=5)

    def test_score_and_elo_interval(self):
        # Pair scores 1, .5, .5, 0: mean .5, sample deviation sqrt(1/6), over sqrt(4) pairs.
        mean, half = match.score_interval([1.0, 0.5, 0.5, 0.0])
        self.assertAlmostEqual(mean, 0.5)
        self.assertAlmostEqual(half, 1.96 * math.sqrt(1 / 6) / 2)
        # A mean of .75 within +-.1: Elo 190.8 between 400 log10(.65/.35) and 400 log10(.85/.15).
        rating, low, high = match.elo_interval(0.75, 0.1)
        self.assertAlmostEqual(rating, 190.849, places=3)
        self.assertAlmostEqual(low, 107.538, places=3)
        self.assertAlmostEqual(high, 301.331, places=3)

    def test_pairs_by_colour_and_how_they_went(self):
        # The games of a pair come in either order; each is kept with the colour A played.
        args = match.argparse.Namespace(games=4, log=None, sprt=None, size=15)
        played = match.Match(args, (), [[]])
        with contextlib.redirect_stdout(io.StringIO()):
            played.record(0, False, 0.0, "five", [])
            played.record(1, True, 0.5, "full board", [])
            played.record(0, True, 1.0, "five", [])
            played.record(1, False, 1.0, "five", [])
        self.assertEqual(played.pair_scores, [0.5, 0.75])
        self.assertEqual(played.pairs_by_colour, [(1.0, 0.0), (0.5, 1.0)])
        self.assertEqual((played.colour_points, played.colour_games),
                         ({True: 1.5, False: 1.0}, {True: 2, False: 2}))
        pairs = [(1.0, 1.0), (1.0, 0.0), (0.0, 1.0), (1.0, 0.0), (0.0, 0.0), (0.5, 1.0), (0.5, 0.5)]
        self.assertEqual(match.pair_outcomes(pairs),
                         {"won both": 1, "lost both": 1, "black won both": 2, "white won both": 1,
                          "with a draw": 2})

    def test_sprt_likelihood_ratio(self):
        scores = [1.0, 0.75, 0.5, 0.5, 0.75, 0.25, 1.0, 0.5]
        elo0, elo1 = 0.0, 50.0
        # The same ratio summed game pair by game pair from the normal densities.
        mean = sum(scores) / len(scores)
        variance = sum((s - mean) ** 2 for s in scores) / (len(scores) - 1)
        s0 = 1 / (1 + 10 ** (-elo0 / 400))
        s1 = 1 / (1 + 10 ** (-elo1 / 400))
        direct = sum(((s - s0) ** 2 - (s - s1) ** 2) / (2 * variance) for s in scores)
        self.assertAlmostEqual(match.sprt_llr(scores, elo0, elo1), direct)
        self.assertGreater(direct, 0)  # A scores .66, above both hypotheses
        lower, upper = match.sprt_bounds()
        self.assertAlmostEqual(upper, math.log(19))
        self.assertAlmostEqual(lower, -math.log(19))
        # Far more of the same evidence decides for elo1; its mirror image for elo0.
        self.assertGreater(match.sprt_llr(scores * 8, elo0, elo1), upper)
        self.assertLess(match.sprt_llr([1 - s for s in scores] * 8, elo0, elo1), lower)


if __name__ == "__main__":
    unittest.main()
