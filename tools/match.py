#!/usr/bin/env python3
"""A match between two engine configurations, played the way a manager plays it.

Each opening (a few random stones near the centre, drawn from --seed) is played twice with the
colours swapped, so that what an opening gives one colour cancels out. Before every move the
engine to move gets the whole position as a BOARD block; the script keeps its own board, checks
every move and ends a game at five in a row (freestyle: five or more), a full board or
--max-moves (both a draw). A move that is late by more than --late-ms, illegal or missing loses.

The score is engine A's, with a 95% interval from the spread of the pair scores (the two games
of an opening), and the Elo difference it implies.

    tools/match.py --engine build/release/pbrain-velka --a-info "thread_num 2" --games 120

Standard library only; the engines are started once and keep running through the match.
"""

import argparse
import math
import random
import select
import subprocess
import sys
import time


class Engine:
    def __init__(self, command, infos, name):
        self.name = name
        self.process = subprocess.Popen(
            command, shell=False, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
            bufsize=1)
        for info in infos:
            self.send("INFO " + info)

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def read_line(self, timeout):
        """The next answer line that is not a MESSAGE, or None when none comes in time."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self.process.stdout], [], [], left)
            if not ready:
                return None
            line = self.process.stdout.readline()
            if line == "":
                return None
            line = line.strip()
            if not line.startswith("MESSAGE"):
                return line

    def expect(self, command, answer, timeout=30.0):
        self.send(command)
        got = self.read_line(timeout)
        if got != answer:
            raise RuntimeError(f"{self.name}: {command!r} answered {got!r}, not {answer!r}")

    def close(self):
        try:
            self.send("END")
            self.process.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()


DIRECTIONS = ((1, 0), (0, 1), (1, 1), (1, -1))


def makes_five(cells, size, x, y):
    who = cells[y][x]
    for dx, dy in DIRECTIONS:
        run = 1
        for sign in (1, -1):
            cx, cy = x + sign * dx, y + sign * dy
            while 0 <= cx < size and 0 <= cy < size and cells[cy][cx] == who:
                run += 1
                cx, cy = cx + sign * dx, cy + sign * dy
        if run >= 5:
            return True
    return False


def opening(rng, size, stones, span):
    low = (size - span) // 2
    cells = set()
    while len(cells) < stones:
        cells.add((low + rng.randrange(span), low + rng.randrange(span)))
    return rng.sample(sorted(cells), stones)


def play_game(players, size, opening_moves, args):
    """players[0] plays black (the first stone). Returns 0 or 1 for the winner, None for a draw,
    and the moves played."""
    cells = [[0] * size for _ in range(size)]
    moves = []
    for i, (x, y) in enumerate(opening_moves):
        cells[y][x] = 1 + i % 2
        moves.append((x, y))
    for engine in players:
        engine.expect(f"START {size}", "OK")
    while len(moves) < min(args.max_moves, size * size):
        colour = 1 + len(moves) % 2
        mover = players[colour - 1]
        mover.send("BOARD")
        for i, (x, y) in enumerate(moves):
            mover.send(f"{x},{y},{1 if 1 + i % 2 == colour else 2}")
        start = time.monotonic()
        mover.send("DONE")
        answer = mover.read_line(args.turn_ms / 1000 + 10)
        spent_ms = (time.monotonic() - start) * 1000
        try:
            x, y = (int(v) for v in answer.split(","))
        except (AttributeError, ValueError):
            print(f"  {mover.name} gave no move ({answer!r}): loses", flush=True)
            return 2 - colour, moves
        if not (0 <= x < size and 0 <= y < size) or cells[y][x] != 0:
            print(f"  {mover.name} played {x},{y}, an illegal move: loses", flush=True)
            return 2 - colour, moves
        if spent_ms > args.turn_ms + args.late_ms:
            print(f"  {mover.name} took {spent_ms:.0f} ms: loses on time", flush=True)
            return 2 - colour, moves
        cells[y][x] = colour
        moves.append((x, y))
        if makes_five(cells, size, x, y):
            return colour - 1, moves
    return None, moves


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", required=True, help="engine command for both sides")
    parser.add_argument("--b-engine", help="engine command for B, when it differs")
    parser.add_argument("--a-info", action="append", default=[], help="INFO line for A only")
    parser.add_argument("--b-info", action="append", default=[], help="INFO line for B only")
    parser.add_argument("--games", type=int, default=100, help="games (rounded up to pairs)")
    parser.add_argument("--size", type=int, default=15)
    parser.add_argument("--rule", type=int, default=0, help="INFO rule (0 freestyle only)")
    parser.add_argument("--turn-ms", type=int, default=400, help="INFO timeout_turn")
    parser.add_argument("--late-ms", type=int, default=1000, help="slack before a loss on time")
    parser.add_argument("--max-memory", type=int, default=367001600)
    parser.add_argument("--opening-stones", type=int, default=3)
    parser.add_argument("--opening-span", type=int, default=5, help="side of the centre square")
    parser.add_argument("--max-moves", type=int, default=225)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--log", help="file for the moves of every game")
    args = parser.parse_args()
    if args.rule != 0:
        parser.error("the script's referee knows freestyle only")

    common = [f"timeout_turn {args.turn_ms}", "time_left 2147483647", "timeout_match 0",
              f"max_memory {args.max_memory}", f"rule {args.rule}"]
    a = Engine(args.engine.split(), common + args.a_info, "A")
    b = Engine((args.b_engine or args.engine).split(), common + args.b_info, "B")
    rng = random.Random(args.seed)
    log = open(args.log, "w") if args.log else None
    started = time.monotonic()
    pair_scores = []
    results = {"win": 0, "draw": 0, "loss": 0}
    try:
        for pair in range((args.games + 1) // 2):
            stones = opening(rng, args.size, args.opening_stones, args.opening_span)
            pair_score = 0.0
            for a_black in (True, False):
                players = (a, b) if a_black else (b, a)
                winner, moves = play_game(players, args.size, stones, args)
                if winner is None:
                    score, outcome = 0.5, "draw"
                else:
                    score = 1.0 if players[winner] is a else 0.0
                    outcome = "win" if score == 1.0 else "loss"
                results[outcome] += 1
                pair_score += score / 2
                text = " ".join(f"{x},{y}" for x, y in moves)
                print(f"game {2 * pair + (0 if a_black else 1) + 1}: A {'black' if a_black else 'white'}, "
                      f"{outcome} for A after {len(moves)} stones", flush=True)
                if log:
                    log.write(f"{'A' if a_black else 'B'} black, {outcome} for A: {text}\n")
                    log.flush()
            pair_scores.append(pair_score)
    finally:
        a.close()
        b.close()
        if log:
            log.close()

    n = len(pair_scores)
    games = 2 * n
    mean = sum(pair_scores) / n
    spread = math.sqrt(sum((s - mean) ** 2 for s in pair_scores) / (n - 1)) if n > 1 else 0.0
    half = 1.96 * spread / math.sqrt(n)

    def elo(score):
        score = min(max(score, 1e-6), 1 - 1e-6)
        return -400 * math.log10(1 / score - 1)

    print(f"{games} games in {(time.monotonic() - started) / 60:.1f} min: A {results['win']} wins, "
          f"{results['draw']} draws, {results['loss']} losses")
    print(f"A's score {mean:.3f} +- {half:.3f} (95%, from {n} opening pairs): "
          f"{elo(mean):+.0f} Elo [{elo(mean - half):+.0f}, {elo(mean + half):+.0f}]")
    return 0


if __name__ == "__main__":
    sys.exit(main())
