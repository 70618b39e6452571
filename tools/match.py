#!/usr/bin/env python3
"""A match between two engine configurations, played the way a manager plays it.

Every opening is played twice with the colours swapped, so that what an opening gives one colour
cancels out. The openings come one a line from a file of move lists (`h8i9j10`: column letter
from a, row number from 1 at the bottom, black first); by default the balanced 15 x 15 openings
in tools/openings/ for the rule. Before every move the engine to move gets the whole position as
a BOARD block. The script's own referee checks every move and ends a game at five (freestyle:
five or more; exact five: exactly five; Renju: exactly five for black, five or more for white,
and black loses on an overline, a double four or a double three), a full board or --max-moves
(both a draw). A move that is late by more than --late-ms, illegal or missing loses.

The score is engine A's, with a 95% interval from the spread of the pair scores (the two games
of an opening), and the Elo difference it implies; then A's points with each colour, and how the
pairs went: A won both games, lost both, or one colour won both whoever played it (A could not
hold that opening's other side). --sprt ELO0 ELO1 stops the match as soon as a sequential test
(5% errors both ways) tells A's Elo lead is ELO1 rather than ELO0, or the reverse.

    tools/match.py --engine build/release/pbrain-velka --a-info "thread_num 2" --concurrency 2
    tools/match.py --engine build/release/pbrain-velka --a-info "strong 1" --rule 4 \\
        --sprt 0 30 --log renju.log

Standard library only. Each of the --concurrency game slots starts its own two engines, which
keep running through the match (an engine that dies is started again for the next game).
"""

import argparse
import math
import queue
import re
import shlex
import subprocess
import sys
import threading
import time
from pathlib import Path

OPENINGS_DIR = Path(__file__).resolve().parent / "openings"
OPENING_FILES = {0: "freestyle_15x15.txt", 1: "standard_15x15.txt", 4: "renju_15x15.txt"}
BLACK, WHITE = 1, 2
DIRECTIONS = ((1, 0), (0, 1), (1, 1), (1, -1))
# The sequential test's error rates: a false acceptance of either hypothesis 5% of the time.
SPRT_ALPHA = SPRT_BETA = 0.05


# --- Move text ---------------------------------------------------------------------------------

def parse_moves(text, size):
    """A move list such as "h8i9j10" as (x, y) pairs for a size x size board: x from column a,
    y counted from the top, so row 1 is y = size - 1 (the page's and the opening books' way)."""
    compact = re.sub(r"[\s,;]+", "", text).lower()
    if not re.fullmatch(r"(?:[a-z]\d{1,2})*", compact):
        raise ValueError(f"cannot read the moves {text!r}: write them like h8i9j10")
    moves = []
    for letter, row in re.findall(r"([a-z])(\d{1,2})", compact):
        x, y = ord(letter) - ord("a"), size - int(row)
        if not (0 <= x < size and 0 <= y < size):
            raise ValueError(f"{letter}{row} is off the {size} x {size} board")
        if (x, y) in moves:
            raise ValueError(f"{letter}{row} is played twice in {text!r}")
        moves.append((x, y))
    return moves


def format_moves(moves, size):
    return "".join(f"{chr(ord('a') + x)}{size - y}" for x, y in moves)


def read_openings(path, size):
    openings = []
    for number, line in enumerate(Path(path).read_text().splitlines(), 1):
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        try:
            openings.append(parse_moves(line, size))
        except ValueError as error:
            raise ValueError(f"{path}:{number}: {error}") from None
    if not openings:
        raise ValueError(f"{path} holds no opening")
    return openings


# --- Referee -----------------------------------------------------------------------------------

class Referee:
    """The game's board under INFO rule 0 (freestyle), 1 (exact five) or 4 (Renju), judged from
    the rules as a player states them, without the engine's pattern tables."""

    def __init__(self, size, rule):
        if rule not in OPENING_FILES:
            raise ValueError(f"rule {rule}: the referee knows rules 0, 1 and 4")
        self.size = size
        self.rule = rule
        self.cells = [[0] * size for _ in range(size)]
        self.stones = 0

    def get(self, x, y):
        return self.cells[y][x] if 0 <= x < self.size and 0 <= y < self.size else None

    def empty(self, x, y):
        return self.get(x, y) == 0

    def full(self):
        return self.stones == self.size * self.size

    def place(self, x, y, colour):
        self.cells[y][x] = colour
        self.stones += 1 if colour else -1

    def play(self, x, y, colour):
        """Puts the stone down and judges it: "five" (its owner wins), "foul" (Renju black
        played a forbidden point and loses) or None."""
        self.place(x, y, colour)
        longest = [self.run(x, y, dx, dy) for dx, dy in DIRECTIONS]
        exact = self.rule == 1 or (self.rule == 4 and colour == BLACK)
        if any(length == 5 if exact else length >= 5 for length in longest):
            return "five"
        if self.rule == 4 and colour == BLACK and self.forbidden(x, y):
            return "foul"
        return None

    def run(self, x, y, dx, dy):
        """The length of the line of stones of (x, y)'s colour through it in one direction."""
        colour = self.cells[y][x]
        length = 1
        for sign in (1, -1):
            cx, cy = x + sign * dx, y + sign * dy
            while self.get(cx, cy) == colour:
                length += 1
                cx, cy = cx + sign * dx, cy + sign * dy
        return length

    def line_cells(self, x, y, dx, dy):
        """The empty cells within four steps of (x, y) in one direction: the only ones a stone of
        a five with it can stand on."""
        cells = []
        for step in range(-4, 5):
            cx, cy = x + step * dx, y + step * dy
            if step and self.empty(cx, cy):
                cells.append((cx, cy))
        return cells

    def five_points(self, x, y, dx, dy):
        """The empty cells that give the black stone on (x, y) exactly five in this direction."""
        points = []
        for cx, cy in self.line_cells(x, y, dx, dy):
            self.place(cx, cy, BLACK)
            if self.run(x, y, dx, dy) == 5:
                points.append((cx, cy))
            self.place(cx, cy, 0)
        return points

    def fours(self, x, y, dx, dy):
        """How many fours the black stone on (x, y) makes in this direction: a straight four
        (four in a row, open at both ends) is one, x.xxx.x through the middle stones is two."""
        points = len(self.five_points(x, y, dx, dy))
        if points >= 2 and self.run(x, y, dx, dy) == 4:
            return 1
        return min(points, 2)

    def straight_four(self, x, y, dx, dy):
        return self.run(x, y, dx, dy) == 4 and len(self.five_points(x, y, dx, dy)) == 2

    def three(self, x, y, dx, dy):
        """A real three: one more black stone, itself no forbidden point, makes a straight four
        with the stone on (x, y)."""
        for cx, cy in self.line_cells(x, y, dx, dy):
            self.place(cx, cy, BLACK)
            real = self.straight_four(x, y, dx, dy) and not self.forbidden(cx, cy)
            self.place(cx, cy, 0)
            if real:
                return True
        return False

    def forbidden(self, x, y):
        """Whether the black stone on (x, y) stands on a forbidden point: no exact five, and an
        overline, two fours or two real threes."""
        runs = [self.run(x, y, dx, dy) for dx, dy in DIRECTIONS]
        if 5 in runs:
            return False
        if max(runs) >= 6:
            return True
        fours = [self.fours(x, y, dx, dy) for dx, dy in DIRECTIONS]
        if sum(fours) >= 2:
            return True
        threes = sum(1 for (dx, dy), four in zip(DIRECTIONS, fours)
                     if not four and self.three(x, y, dx, dy))
        return threes >= 2


# --- Statistics --------------------------------------------------------------------------------

def elo(score):
    """The logistic Elo difference that an expected score implies."""
    score = min(max(score, 1e-6), 1 - 1e-6)
    return -400 * math.log10(1 / score - 1)


def expected_score(elo_difference):
    return 1 / (1 + 10 ** (-elo_difference / 400))


def mean_and_variance(values):
    n = len(values)
    mean = sum(values) / n
    variance = sum((v - mean) ** 2 for v in values) / (n - 1) if n > 1 else 0.0
    return mean, variance


def score_interval(pair_scores):
    """A's mean score and the half width of its 95% interval, from the pairs' scores (each the
    mean of an opening's two games), which carry the openings' bias out of the error."""
    mean, variance = mean_and_variance(pair_scores)
    return mean, 1.96 * math.sqrt(variance / len(pair_scores))


def elo_interval(mean, half):
    """The Elo of a score and of the two ends of its interval."""
    return elo(mean), elo(mean - half), elo(mean + half)


def pair_outcomes(pairs):
    """Counts of the pairs (A's score as black, A's score as white) by how they went."""
    counts = {"won both": 0, "lost both": 0, "black won both": 0, "white won both": 0,
              "with a draw": 0}
    for as_black, as_white in pairs:
        if 0.5 in (as_black, as_white):
            counts["with a draw"] += 1
        elif as_black == as_white:
            counts["won both" if as_black == 1.0 else "lost both"] += 1
        else:
            counts["black won both" if as_black == 1.0 else "white won both"] += 1
    return counts


def sprt_llr(pair_scores, elo0, elo1):
    """The log-likelihood ratio of Elo lead elo1 against elo0, with the pair scores taken as
    normal with their sample variance (the generalised sequential test)."""
    if len(pair_scores) < 2:
        return 0.0
    mean, variance = mean_and_variance(pair_scores)
    if variance <= 0:
        return 0.0
    s0, s1 = expected_score(elo0), expected_score(elo1)
    return len(pair_scores) * (s1 - s0) * (2 * mean - s0 - s1) / (2 * variance)


def sprt_bounds():
    return math.log(SPRT_BETA / (1 - SPRT_ALPHA)), math.log((1 - SPRT_BETA) / SPRT_ALPHA)


# --- Engines -----------------------------------------------------------------------------------

class Engine:
    """An engine process. A thread of its own reads every line it writes into a queue as soon as
    it arrives, so that a move that comes in one write with an analysis line is never left
    waiting in a buffer while the clock runs."""

    def __init__(self, command, name):
        self.command = command
        self.name = name
        self.start()

    def start(self):
        self.process = subprocess.Popen(shlex.split(self.command), stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE)
        self.lines = queue.Queue()
        self.reader = threading.Thread(target=self._read, args=(self.process.stdout, self.lines),
                                       daemon=True)
        self.reader.start()

    @staticmethod
    def _read(stream, lines):
        for raw in iter(stream.readline, b""):
            lines.put((time.monotonic(), raw.decode(errors="replace").strip()))
        lines.put((time.monotonic(), None))

    def alive(self):
        return self.process.poll() is None

    def send(self, line):
        try:
            self.process.stdin.write((line + "\n").encode())
            self.process.stdin.flush()
            return True
        except OSError:
            return False

    def read_answer(self, timeout):
        """The next line that is not a MESSAGE and the monotonic time it arrived; (None, time)
        at the end of the output or when none comes in time."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                arrived, line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return None, time.monotonic()
            if line is None or not line.startswith("MESSAGE"):
                return line, arrived

    def drain(self):
        """Drops what is left of an earlier exchange."""
        while True:
            try:
                self.lines.get_nowait()
            except queue.Empty:
                return

    def expect(self, command, answer, timeout=30.0):
        self.send(command)
        got, _ = self.read_answer(timeout)
        if got != answer:
            raise RuntimeError(f"{self.name}: {command!r} answered {got!r}, not {answer!r}")

    def close(self):
        self.send("END")
        try:
            self.process.stdin.close()
        except OSError:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.reader.join(timeout=5)
        self.process.stdout.close()


class Side:
    """One of the two players: its engine command, its INFO lines and its time per move."""

    def __init__(self, name, command, infos, turn_ms):
        self.name = name
        self.command = command
        self.infos = infos
        self.turn_ms = turn_ms


def play_game(engines, sides, size, rule, opening, settings):
    """engines[0] (of sides[0]) plays black, the first stone of the opening. Returns the index of
    the winner (None for a draw), the reason and the moves played."""
    referee = Referee(size, rule)
    moves = list(opening)
    for i, (x, y) in enumerate(moves):
        referee.place(x, y, BLACK if i % 2 == 0 else WHITE)
    for engine, side in zip(engines, sides):
        engine.drain()
        engine.expect(f"START {size}", "OK")
        for info in [f"timeout_turn {side.turn_ms}", "timeout_match 0", "time_left 2147483647",
                     f"max_memory {settings.max_memory}", f"rule {rule}"] + side.infos:
            engine.send("INFO " + info)
    while len(moves) < settings.max_moves and not referee.full():
        colour = BLACK if len(moves) % 2 == 0 else WHITE
        mover, side = engines[colour - 1], sides[colour - 1]
        other = 2 - colour
        mover.send("BOARD")
        for i, (x, y) in enumerate(moves):
            mover.send(f"{x},{y},{1 if (i % 2 == 0) == (colour == BLACK) else 2}")
        asked = time.monotonic()
        mover.send("DONE")
        answer, arrived = mover.read_answer(side.turn_ms / 1000 + settings.late_ms / 1000 + 10)
        spent_ms = (arrived - asked) * 1000
        try:
            x, y = (int(v) for v in answer.split(","))
        except (AttributeError, ValueError):
            if answer is None:
                # Still thinking, or hung: a fresh engine plays the next game.
                mover.process.kill()
            return other, f"{side.name} gave no move ({answer!r})", moves
        if not (0 <= x < size and 0 <= y < size) or not referee.empty(x, y):
            return other, f"{side.name} played {x},{y}, an illegal move", moves
        if spent_ms > side.turn_ms + settings.late_ms:
            return other, f"{side.name} took {spent_ms:.0f} ms", moves
        moves.append((x, y))
        verdict = referee.play(x, y, colour)
        if verdict == "five":
            return colour - 1, "five", moves
        if verdict == "foul":
            return other, f"{side.name} played a forbidden point", moves
    return None, "full board" if referee.full() else "move limit", moves


class Match:
    """The games of a match, handed out to the game slots, and their results."""

    def __init__(self, args, sides, openings):
        self.args = args
        self.sides = sides
        self.openings = openings
        self.pairs = (args.games + 1) // 2
        self.jobs = queue.Queue()
        for pair in range(self.pairs):
            for a_black in (True, False):
                self.jobs.put((pair, a_black))
        self.stop = threading.Event()
        self.lock = threading.Lock()
        self.pair_games = {}
        self.pair_scores = []
        self.pairs_by_colour = []  # (A's score as black, as white) of each finished pair
        self.colour_points = {True: 0.0, False: 0.0}  # by a_black
        self.colour_games = {True: 0, False: 0}
        self.results = {"win": 0, "draw": 0, "loss": 0}
        self.games_done = 0
        self.sprt_verdict = None
        self.log = open(args.log, "w") if args.log else None

    def slot(self):
        a, b = self.sides
        engines = {}
        try:
            for side in self.sides:
                engines[side.name] = Engine(side.command, side.name)
            while not self.stop.is_set():
                try:
                    pair, a_black = self.jobs.get_nowait()
                except queue.Empty:
                    return
                for name, engine in engines.items():
                    if not engine.alive():
                        engine.close()
                        engines[name] = Engine(engine.command, name)
                order = (a, b) if a_black else (b, a)
                opening = self.openings[pair % len(self.openings)]
                try:
                    winner, reason, moves = play_game(
                        [engines[side.name] for side in order], order, self.args.size,
                        self.args.rule, opening, self.args)
                except RuntimeError as error:
                    print(f"match stopped: {error}", file=sys.stderr, flush=True)
                    self.stop.set()
                    return
                score = 0.5 if winner is None else 1.0 if order[winner] is a else 0.0
                self.record(pair, a_black, score, reason, moves)
        finally:
            for engine in engines.values():
                engine.close()

    def record(self, pair, a_black, score, reason, moves):
        outcome = {1.0: "win", 0.5: "draw", 0.0: "loss"}[score]
        with self.lock:
            self.games_done += 1
            self.results[outcome] += 1
            game = 2 * pair + (1 if a_black else 2)
            print(f"game {game} (opening {pair % len(self.openings) + 1}): A "
                  f"{'black' if a_black else 'white'}, {outcome} for A after {len(moves)} stones "
                  f"({reason})", flush=True)
            if self.log:
                self.log.write(f"game {game} opening {pair % len(self.openings) + 1} "
                               f"A {'black' if a_black else 'white'} {outcome} ({reason}) "
                               f"{format_moves(moves, self.args.size)}\n")
                self.log.flush()
            self.colour_points[a_black] += score
            self.colour_games[a_black] += 1
            games = self.pair_games.setdefault(pair, {})
            games[a_black] = score
            if len(games) < 2:
                return
            del self.pair_games[pair]
            self.pair_scores.append((games[True] + games[False]) / 2)
            self.pairs_by_colour.append((games[True], games[False]))
            if self.args.sprt and not self.stop.is_set():
                llr = sprt_llr(self.pair_scores, *self.args.sprt)
                lower, upper = sprt_bounds()
                if llr <= lower or llr >= upper:
                    self.sprt_verdict = (llr, "H1" if llr >= upper else "H0")
                    self.stop.set()

    def run(self):
        slots = [threading.Thread(target=self.slot) for _ in range(self.args.concurrency)]
        for slot in slots:
            slot.start()
        for slot in slots:
            slot.join()
        if self.log:
            self.log.close()


def report(match, minutes):
    results = match.results
    print(f"{match.games_done} games in {minutes:.1f} min: A {results['win']} wins, "
          f"{results['draw']} draws, {results['loss']} losses")
    n = len(match.pair_scores)
    if n == 0:
        return
    mean, half = score_interval(match.pair_scores)
    rating, low, high = elo_interval(mean, half)
    print(f"A's score {mean:.3f} +- {half:.3f} (95%, from {n} opening pairs): "
          f"{rating:+.0f} +- {(high - low) / 2:.0f} Elo [{low:+.0f}, {high:+.0f}]")
    points, games = match.colour_points, match.colour_games
    outcomes = ", ".join(f"{kind} {count}"
                         for kind, count in pair_outcomes(match.pairs_by_colour).items())
    print(f"A as black {points[True]:g} of {games[True]}, as white {points[False]:g} of "
          f"{games[False]}; pairs: {outcomes}")
    if match.args.sprt:
        elo0, elo1 = match.args.sprt
        lower, upper = sprt_bounds()
        llr = sprt_llr(match.pair_scores, elo0, elo1)
        verdict = {"H1": f"accepted: A is {elo1:+g} Elo or better",
                   "H0": f"rejected: A is {elo0:+g} Elo or worse"}
        state = verdict[match.sprt_verdict[1]] if match.sprt_verdict else "no decision yet"
        print(f"SPRT [{elo0:+g}, {elo1:+g}]: LLR {llr:.2f} in [{lower:.2f}, {upper:.2f}], {state}")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", required=True, help="engine command for both sides")
    parser.add_argument("--b-engine", help="engine command for B, when it differs")
    parser.add_argument("--a-info", action="append", default=[],
                        help='INFO line for A only, e.g. "strong 1" (repeatable)')
    parser.add_argument("--b-info", action="append", default=[], help="INFO line for B only")
    parser.add_argument("--games", type=int,
                        help="games, rounded up to pairs (default: every opening twice)")
    parser.add_argument("--openings", help="opening file (default: tools/openings/ by rule)")
    parser.add_argument("--size", type=int, default=15)
    parser.add_argument("--rule", type=int, default=0, choices=sorted(OPENING_FILES),
                        help="INFO rule: 0 freestyle, 1 exact five, 4 Renju")
    parser.add_argument("--turn-ms", type=int, default=400, help="INFO timeout_turn")
    parser.add_argument("--a-turn-ms", type=int, help="timeout_turn for A (default --turn-ms)")
    parser.add_argument("--b-turn-ms", type=int, help="timeout_turn for B (default --turn-ms)")
    parser.add_argument("--late-ms", type=int, default=1000, help="slack before a loss on time")
    parser.add_argument("--max-memory", type=int, default=367001600)
    parser.add_argument("--max-moves", type=int, default=225, help="stones, then a draw")
    parser.add_argument("--concurrency", type=int, default=1, help="games played at once")
    parser.add_argument("--sprt", type=float, nargs=2, metavar=("ELO0", "ELO1"),
                        help="stop when a sequential test decides between these Elo leads")
    parser.add_argument("--log", help="file with one line per game")
    args = parser.parse_args(argv)
    if args.sprt and args.sprt[0] >= args.sprt[1]:
        parser.error("--sprt wants ELO0 below ELO1")

    path = args.openings or OPENINGS_DIR / OPENING_FILES[args.rule]
    try:
        openings = read_openings(path, args.size)
    except (OSError, ValueError) as error:
        parser.error(str(error))
    if args.games is None:
        args.games = 2 * len(openings)
    sides = (Side("A", args.engine, args.a_info, args.a_turn_ms or args.turn_ms),
             Side("B", args.b_engine or args.engine, args.b_info, args.b_turn_ms or args.turn_ms))
    started = time.monotonic()
    match = Match(args, sides, openings)
    match.run()
    report(match, (time.monotonic() - started) / 60)
    return 0


if __name__ == "__main__":
    sys.exit(main())
