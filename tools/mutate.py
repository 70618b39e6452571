#!/usr/bin/env python3
"""Mutation check: do the tests catch real faults?

Each mutation below puts one plausible bug into the engine (src/) or the web page (web/*.js): a
flipped or off-by-one comparison, a forgotten step, two things swapped. The tool applies one at a
time, rebuilds, runs the tests and records which of them fail ("caught") or that none does
("survived"), then puts the file back byte for byte, also after an error or Ctrl+C.

    tools/mutate.py                     every C++ and web mutation, full suites, a table
    tools/mutate.py --list              the catalogue
    tools/mutate.py --only mem- --cpp   the C++ mutations whose names start with "mem-"
    tools/mutate.py --json out.json     also the failing tests of every mutation, for --compare
    tools/mutate.py --compare a.json b.json   mutations caught in a and not in b

C++: an incremental build of build/release (configured with the tests if it is not), then
`ctest -j2 --timeout 120` (--quick: the unit tests first, the process tests only when they catch
nothing). A test that is one of at most three to fail is run again on the same mutant and counts
only if it fails again, so that a timing test upset by a loaded machine does not pass for a catch.
Web: `npm test`, the Web Worker test (engine-worker.js only) and, when build/web holds a built
page (./build.sh web), the browser tests, with the mutated file copied there too.

A developer tool, CPU-heavy (about a minute per C++ mutation on two cores): not part of CI.
Standard library only.
"""

import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


@dataclass(frozen=True)
class Mutation:
    name: str
    path: str  # relative to the repository
    original: str  # must occur exactly once in the file
    replacement: str
    fault: str  # the real bug it stands for


M = Mutation

CPP = [
    # Board: window reads, line layout, hash.
    M("board-window-mask", "src/board/board.h",
      "return (word >> (2 * (p & 3))) & 0x3FFFFFu;", "return (word >> (2 * (p & 3))) & 0xFFFFFu;",
      "a window read drops its farthest cell"),
    M("board-column-gap", "src/board/board.cpp",
      "b.linePos[1][i] = LineGap + x * (height + LineGap) + y;",
      "b.linePos[1][i] = LineGap + x * (height + LineGap - 1) + y;",
      "columns laid out with too small a gap: windows reach into the next column"),
    M("board-antidiagonal-gap", "src/board/board.cpp",
      "b.linePos[2][x + y * width] = next++;\n        next += LineGap;",
      "b.linePos[2][x + y * width] = next++;\n        next += LineGap - 1;",
      "anti-diagonals one outside position too close"),
    M("board-hash-old", "src/board/board.h",
      "b.hash ^= b.zobristKeys[old * MaxCells + index] ^ b.zobristKeys[code * MaxCells + index];",
      "b.hash ^= b.zobristKeys[code * MaxCells + index];",
      "the hash forgets the cell's old content"),
    M("spiral-reversed", "src/board/spiral.cpp",
      "order[cellCount - 1 - k] = x + y * width;", "order[k] = x + y * width;",
      "the spiral runs from the corner instead of the centre"),
    # Patterns: classification and four-direction tables.
    M("classify-double-four", "src/patterns/classify.cpp",
      "return doubleFourForbidden ? ShapeForbidden : ShapeOpenFour;", "return ShapeOpenFour;",
      "an in-line double four is never forbidden"),
    M("classify-key-cells", "src/patterns/classify.cpp",
      "if (exact == ShapeOpenFour && keyCount < 2) {",
      "if (exact == ShapeOpenFour && keyCount < 1) {",
      "a three keeps only its first key cell"),
    M("quad-black-double-three", "src/patterns/shape_quad.cpp",
      "} else if (forbidden >= 1 || fours >= 2 || openThree >= 2) {",
      "} else if (forbidden >= 1 || fours >= 2 || openThree >= 3) {",
      "black's double three is valued as a strong move"),
    M("pattern-refresh-renju", "src/patterns/pattern_table.cpp",
      "if (variant == RuleVariant::Renju && tableBuiltExact) buildPatternTables(variant);", "",
      "Renju after an exact-five game keeps the exact-five table"),
    # Candidates.
    M("cand-score-weights", "src/search/candidate_key.h",
      "return 2 * mine + theirs;", "return mine + 2 * theirs;",
      "the opponent's shapes weigh double instead of the own"),
    M("cand-block-before-four", "src/search/candidate_key.h",
      "if (theirs == patterns::MoveValueFive) return BlockRank;\n"
      "    if (mine == patterns::MoveValueWinningFour) return FourRank;",
      "if (mine == patterns::MoveValueWinningFour) return FourRank;\n"
      "    if (theirs == patterns::MoveValueFive) return BlockRank;",
      "an own open four ranks above blocking the opponent's five"),
    M("cand-nearby-shape", "src/search/candidates.cpp",
      "{-3, 3},  {0, 3},   {3, 3},", "{-3, 3},  {0, 3},   {2, 3},",
      "the root's nearby shape has a wrong cell"),
    M("cand-root-four-alone", "src/search/candidates.cpp",
      ">> CandidateCellBits >= static_cast<uint32_t>(FourRank)) {",
      ">> CandidateCellBits > static_cast<uint32_t>(FourRank)) {",
      "an own winning four does not come alone at the root"),
    # Search board: incremental shapes and undo.
    M("sb-undo-totals", "src/search/search_board.cpp",
      "    sb.totals = stone.totals;\n", "",
      "removing a stone leaves the evaluation's totals as they were with it"),
    M("sb-undo-own-cell", "src/search/search_board.cpp",
      "i >= stone.savedFrom; --i) {", "i > stone.savedFrom; --i) {",
      "removing a stone does not restore its own cell"),
    M("sb-near-count", "src/search/search_board.cpp",
      "sb.near[n] += (bits & (0u - bits) & WithinTwoBits) != 0 ? 1 : 0;", "sb.near[n] += 1;",
      "every empty cell of a stone's windows counts as near it"),
    M("sb-totals-if-played", "src/search/search_board.cpp",
      "board::lineSegment(b, d, cell) | static_cast<uint64_t>(colour)",
      "board::lineSegment(b, d, cell) | static_cast<uint64_t>(colour ^ 3)",
      "a leaf's neighbours see a stone of the other colour"),
    M("sb-renju-rules", "src/search/search_board.cpp",
      "rules = colour == b.firstPlayer", "rules = colour != b.firstPlayer",
      "under Renju white is judged by black's rules"),
    # Evaluation.
    M("eval-own-four", "src/search/evaluation.h",
      "if (t.fours[own] + t.openFours[own] > 0) return NearWinScore;",
      "if (t.openFours[own] > 0) return NearWinScore;",
      "a plain four of the side to move is not seen as five next move"),
    M("eval-leaf-threes", "src/search/evaluation.h",
      "if (byShapes == ForbiddenByShapes::ThreesDecide) {", "if (false) {",
      "the main search lets black play double threes"),
    # Renju forbidden points.
    M("forb-five-first", "src/search/forbidden.cpp",
      "        if (c == patterns::ShapeFive) return ForbiddenByShapes::Allowed;\n", "",
      "a five that is also a double four is forbidden"),
    M("forb-double-four", "src/search/forbidden.cpp",
      "if (fours >= 2) return ForbiddenByShapes::Forbidden;",
      "if (fours >= 3) return ForbiddenByShapes::Forbidden;",
      "a double four in two lines is allowed"),
    M("forb-second-key", "src/search/forbidden.cpp",
      " ||\n                          keyCellPlayable(b, cell, d, "
      "patterns::secondKeyCell(*entry[d]), colour);", ";",
      "a three whose first key cell is forbidden is never real"),
    M("forb-split-three", "src/search/forbidden.cpp",
      "return k == patterns::ShapeThreeA || k == patterns::ShapeThreeB;",
      "return k == patterns::ShapeThreeA;",
      "a split three does not count toward a double three"),
    # Threat search.
    M("threat-order", "src/search/threat.cpp",
      "return tryCandidates<R>(context, fourThrees, patterns::ThreatFourThree, "
      "checkDefenderFive) ||\n"
      "           tryCandidates<R>(context, fours, patterns::ThreatFour, checkDefenderFive);",
      "return tryCandidates<R>(context, fours, patterns::ThreatFour, checkDefenderFive) ||\n"
      "           tryCandidates<R>(context, fourThrees, patterns::ThreatFourThree, "
      "checkDefenderFive);",
      "plain fours are tried before four-threes"),
    M("threat-defender-four", "src/search/threat.cpp",
      "searchFours<R>(context, stoneMakesFour<R.defender>(block))",
      "searchFours<R>(context, false)",
      "a block that makes a four does not bind the next level"),
    M("threat-attacker-forbidden", "src/search/threat.cpp",
      "R.forbidden != ForbiddenTest::AttackerStone || !isForbiddenPoint(board::engineBoard, c);",
      "true;", "Renju black attacks with forbidden stones"),
    M("threat-forced-block", "src/search/threat.cpp",
      "if (R.forbidden == ForbiddenTest::ForcedBlock &&", "if (false &&",
      "Renju white does not win by forcing black onto a forbidden point"),
    M("threat-prefilter", "src/search/threat.cpp",
      "RunCellsLowBits = 0x55554u;", "RunCellsLowBits = 0x15554u;",
      "the stone count before the table lookups skips window cell 9"),
    M("threat-plan-hash", "src/search/threat.cpp",
      "plan.kind != kind ||\n        board::engineBoard.hash != plan.expectedHash",
      "plan.kind != kind",
      "a planned win is played on whatever the opponent answered"),
    # Search memory.
    M("mem-generation", "src/search/memory.cpp",
      "if (e.generation == searchMemory.generation) return e;",
      "if (e.generation != 0) return e;",
      "entries of earlier moves read as current"),
    M("mem-wrap", "src/search/memory.cpp",
      "if (++searchMemory.generation != 0) return;", "++searchMemory.generation;\n    return;",
      "the generation wraps round to 0 without clearing the table"),
    M("mem-upper", "src/search/memory.cpp",
      "return e.value <= alpha ? alpha : NoScore;", "return e.value < alpha ? alpha : NoScore;",
      "an upper bound equal to alpha does not cut"),
    M("mem-replace", "src/search/memory.cpp",
      "if (e.bound != SlotEmpty && e.depth > depth) return;",
      "if (e.bound != SlotEmpty && e.depth >= depth) return;",
      "a result of equal depth does not replace the old one"),
    M("mem-reserve", "src/search/memory.cpp",
      "limit == searchMemory.lastLimit &&\n        reserve == searchMemory.lastReserve",
      "limit == searchMemory.lastLimit",
      "a new search-thread reserve keeps the old table size"),
    # Main search.
    M("ms-narrow", "src/search/main_search.cpp",
      "rootCount / (NarrowingDepths + 1) + 1);", "rootCount / (NarrowingDepths + 1) + 2);",
      "root narrowing keeps one move too many"),
    M("ms-lost-root", "src/search/main_search.cpp",
      "removeFromList(t.rootWork, m);  // proven lost", "(void)m;  // proven lost",
      "root moves proven lost stay in the list"),
    M("ms-pv-extend", "src/search/main_search.cpp",
      "    t.pvEnd[p] = end;", "    t.pvEnd[p] = p + 1;",
      "the line of play keeps only its first move"),
    M("ms-clock-check", "src/search/main_search.cpp",
      "if (++t.nodeCounter <= ClockCheckInterval) return false;",
      "if (++t.nodeCounter <= 1000 * ClockCheckInterval) return false;",
      "the clock and the stop flag are read far too rarely"),
    M("ms-helper-stop", "src/search/main_search.cpp",
      "job.stop.store(true, std::memory_order_relaxed);\n        waitForHelpers();",
      "waitForHelpers();",
      "the helpers are never told that the think is over"),
    M("pool-threads-clamp", "src/search/main_search.cpp",
      "std::clamp(requested, 1, most) - 1;", "std::clamp(requested, 1, most);",
      "one search thread more than asked for"),
    M("pool-wait", "src/search/helper_threads.cpp",
      "p.done.wait(lock, [&] { return p.running == 0; });",
      "p.done.wait(lock, [&] { return p.running <= 1; });",
      "the thinking thread does not wait for the last helper"),
    # Stop flags.
    M("stop-yxstop", "src/search/think_control.cpp",
      "return stopRequest() != StopRequest::None || timeUp();",
      "return stopRequest() == StopRequest::Quit || timeUp();",
      "YXSTOP does not stop the search"),
    M("stop-end", "src/protocol/commands.cpp",
      "search::requestStop(search::StopRequest::Quit);\n    waitForIdle();",
      "search::requestStop(search::StopRequest::Answer);\n    waitForIdle();",
      "END during a think still sends the move"),
    # Protocol parsing.
    M("proto-case", "src/protocol/commands.cpp",
      "if (std::tolower(static_cast<unsigned char>(lineWord[i])) !=\n"
      "            std::tolower(static_cast<unsigned char>(keywordWord[i]))) {",
      "if (lineWord[i] != keywordWord[i]) {",
      "command words match case-sensitively"),
    M("proto-saturate", "src/protocol/commands.cpp",
      "value = static_cast<int32_t>(magnitude < Limit ? magnitude : INT32_MAX);",
      "value = static_cast<int32_t>(magnitude);",
      "a number beyond 32 bits wraps to a negative one"),
    M("proto-comma", "src/protocol/commands.cpp",
      "            if (*p != ',') break;",
      "            while (isSpace(*p)) ++p;\n            if (*p != ',') break;",
      "white space before the comma of x,y is accepted"),
    M("proto-info-recompute", "src/protocol/commands.cpp",
      "if (numeric.timing) search::recomputeBudget();", "",
      "an INFO clock value during a think leaves its budget alone"),
    M("proto-board-clear", "src/protocol/commands.cpp",
      "    ensureBoard();\n    clearPosition();", "    ensureBoard();",
      "a BOARD block adds to the old position"),
    M("proto-cr", "src/protocol/commands.cpp",
      "if (length > 0 && buffer[length - 1] == '\\r') --length;", "",
      "CR LF line ends keep their CR"),
    M("proto-overlong", "src/protocol/commands.cpp",
      "if (length < capacity - 1) buffer[length++] = static_cast<char>(c);",
      "if (length >= capacity - 1) break;\n        buffer[length++] = static_cast<char>(c);",
      "the rest of an over-long line is read as a command of its own"),
    M("proto-forbid-side", "src/protocol/game.cpp",
      "board::takeCensus(board::CellOpponent);", "board::takeCensus(board::CellOwn);",
      "FORBID takes the engine's side as black on equal counts"),
    M("proto-full-board", "src/protocol/game.cpp",
      "if (index < 0 || index >= board::engineBoard.cellCount) {",
      "if (index >= board::engineBoard.cellCount) {",
      "a full board answers an off-board coordinate"),
    # Time control.
    M("time-turn-charged", "src/protocol/game.cpp",
      "    search::stopTurnClock();\n", "",
      "the engine's own match account is never charged"),
    M("time-floor", "src/search/time_control.cpp",
      "budget = std::min<int64_t>(MinimumBudget, share);", "budget = MinimumBudget;",
      "the half-second floor spends more than the match's share"),
    M("time-margin", "src/search/time_control.cpp",
      "budget = std::min<int64_t>(budget, int64_t{timeLeft} - AnswerMargin);",
      "budget = std::min<int64_t>(budget, int64_t{timeLeft});",
      "no margin before the match clock's end"),
    M("time-quick", "src/search/time_control.cpp",
      ": int64_t{QuickBudget});", ": int64_t{MinimumBudget});",
      "timeout_turn 0 thinks half a second"),
    # Move decision and reports.
    M("decide-renju-fallback", "src/search/decide.cpp",
      "if (engineBlack && cell >= 0 && forbiddenIfPlayed(",
      "if (engineBlack && cell < -1 && forbiddenIfPlayed(",
      "a lost Renju black plays a forbidden point"),
    M("decide-skip-threat", "src/search/decide.cpp",
      "    if (cell < 0) cell = threatMove(threatKind);\n", "",
      "the search for a forced win by fours is skipped"),
    M("out-pv-coords", "src/protocol/game.cpp",
      "cell % width,\n                                cell / width);",
      "cell / width,\n                                cell % width);",
      "the analysis line's moves are written y,x"),
]

WEB = [
    M("web-renju-black-overline", "web/game.js",
      'return rule === Rule.exactFive || (rule === Rule.renju && colour === "black");',
      "return rule === Rule.exactFive;",
      "an overline wins for Renju black"),
    M("web-four-wins", "web/game.js",
      "line.length === 5 : line.length >= 5;", "line.length === 5 : line.length >= 4;",
      "four in a row wins in freestyle"),
    M("web-draw", "web/game.js",
      "if (game.moves.length === game.width * game.height) return { draw: true };",
      "if (game.moves.length === game.width * game.height - 1) return { draw: true };",
      "the game is drawn one move before the board is full"),
    M("web-rows-from-top", "web/notation.js",
      "moves.push({ x, y: height - row });", "moves.push({ x, y: row - 1 });",
      "move text rows counted from the top"),
    M("web-board-sides", "web/engine.js",
      "colourOfMove(index) === own ? 1 : 2", "colourOfMove(index) === own ? 2 : 1",
      "BOARD lines give the engine the other side's stones"),
    M("web-stop-queued", "web/engine.js",
      "else if (this.#listener !== null || this.#thinksWaiting > 0) this.#stopNextThink = true;",
      "",
      "a stop before the think has begun is lost"),
    M("web-forbid-side", "web/engine.js",
      'boardLines(game.moves, "white").map', 'boardLines(game.moves, "black").map',
      "FORBID is asked with the colours the wrong way round"),
    M("web-analysis-fields", "web/engine.js",
      "const [depth, rank, nodes, nps, timeMs] = numbers;",
      "const [depth, rank, nps, nodes, timeMs] = numbers;",
      "nodes and speed swapped"),
    M("web-silence-ignored", "web/engine.js",
      'this.#fail("it stopped answering");', "this.#pingAt = null;",
      "an engine that falls silent is waited for for ever"),
    M("web-both-sides", "web/view.js",
      'return state.human !== "both" && sideToMove(state.game) !== state.human;',
      "return sideToMove(state.game) !== state.human;",
      "velka moves although the person plays both sides"),
    M("web-forbidden-shown", "web/view.js",
      'content: stone ?? (forbidden.has(i) ? "forbidden" : "empty"),', 'content: stone ?? "empty",',
      "forbidden points are not shown"),
    M("web-take-back-pair", "web/app.js",
      "if (against && count > 0 && colourOfMove(count) !== state.human) count -= 1;",
      "", "take back against velka takes back velka's move only"),
    M("web-analysis-at-level", "web/app.js",
      ": [...levelSettings(FullStrength), [\"multipv\", state.multipv]];",
      ": [...levelSettings(state.level), [\"multipv\", state.multipv]];",
      "an analysis runs at the game's level"),
    M("web-link-overwritten", "web/app.js",
      "if (!state.addressHeld && location.hash !== formatAddress(game)) {",
      "if (location.hash !== formatAddress(game)) {",
      "a bad link is overwritten by the empty board's address"),
    M("web-line-cut", "web/game.js",
      "return follows ? line : [...moves];", "return [...moves];",
      "a take back forgets the moves taken back"),
    M("web-score-unsmoothed", "web/score.js",
      "return { value: (latest.value + previous.value) / 2 };", "return latest;",
      "the score swings with the depth's parity"),
    M("web-score-side", "web/score.js",
      'const black = winChance(side === "black" ? score.value : -score.value);',
      "const black = winChance(score.value);",
      "the score is read for black whoever the engine analyses for"),
    M("web-psq-zero-based", "web/record.js",
      "const [x, y] = [Number(move[1]) - 1, Number(move[2]) - 1];",
      "const [x, y] = [Number(move[1]), Number(move[2])];",
      "a .psq is read with 0-based points"),
    M("web-forbidden-refused", "web/app.js",
      "if (state.forbidden?.some((p) => p.x === x && p.y === y)) {", "if (false) {",
      "a person playing black may play a forbidden point"),
    M("web-best-shown", "web/app.js",
      "  state.analysis.best = move;\n", "",
      "the best move of a stopped analysis is not shown"),
    M("web-arrow-keys", "web/board.js",
      "ArrowUp: [0, -1],\n  ArrowDown: [0, 1],", "ArrowUp: [0, 1],\n  ArrowDown: [0, -1],",
      "the up and down arrow keys are swapped"),
    M("web-last-move-named", "web/board.js",
      'if (point.last) parts.push("last move");', "",
      "the last move is not named to a screen reader"),
    M("web-serve-outside", "web/tools/serve.js",
      'if (relative.startsWith("..") || path.isAbsolute(relative)) return null;',
      "if (path.isAbsolute(relative)) return null;",
      "the server sends files outside its folder"),
]


# --- applying and restoring ---------------------------------------------------------------------

class Applied:
    """The mutation written to its file (and to build/web for the page); restored on exit."""

    def __init__(self, mutation, mirror=None):
        self.path = ROOT / mutation.path
        self.original = self.path.read_bytes()
        self.mirror = mirror if mirror is not None and mirror.exists() else None
        self.mirror_original = self.mirror.read_bytes() if self.mirror else None
        text = self.original.decode()
        mutated = text.replace(mutation.original, mutation.replacement, 1).encode()
        self.path.write_bytes(mutated)
        if self.mirror:
            self.mirror.write_bytes(mutated)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.path.write_bytes(self.original)
        if self.mirror:
            self.mirror.write_bytes(self.mirror_original)


def changed_sources():
    status = ["git", "status", "--porcelain", "--untracked-files=no", "--", "src", "web"]
    return run(status).stdout.strip()


def check_catalogue(mutations):
    problems = []
    names = set()
    for m in mutations:
        if m.name in names:
            problems.append(f"{m.name}: name used twice")
        names.add(m.name)
        path = ROOT / m.path
        count = path.read_text().count(m.original) if path.exists() else 0
        if count != 1:
            problems.append(f"{m.name}: the original occurs {count} times in {m.path}")
    return problems


def run(command, **kwargs):
    return subprocess.run(command, cwd=kwargs.pop("cwd", ROOT), text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kwargs)


# --- C++ ----------------------------------------------------------------------------------------

class CppSuite:
    def __init__(self, build, quick):
        self.build = build
        self.quick = quick
        self.junit = build / "mutation-junit.xml"
        if not (build / "build.ninja").exists():
            run(["cmake", "-S", ".", "-B", str(build), "-G", "Ninja",
                 "-DCMAKE_BUILD_TYPE=Release", "-DVELKA_BUILD_TESTS=ON"])

    def compile(self):
        result = run(["cmake", "--build", str(self.build), "-j", "2"])
        return result.returncode == 0, result.stdout

    def ctest(self, *arguments):
        self.junit.unlink(missing_ok=True)
        run(["ctest", "--test-dir", str(self.build), "-j2", "--timeout", "120",
             "--output-junit", str(self.junit), *arguments])
        if not self.junit.exists():
            return None, []
        failed, ran = [], []
        for case in ElementTree.parse(self.junit).getroot().iter("testcase"):
            ran.append(case.get("name"))
            if case.get("status") == "fail" or case.find("failure") is not None:
                failed.append(case.get("name"))
        return ran, failed

    def tests(self, confirm=lambda failed: failed):
        """Quick: the process tests run unless a unit test fails, and fails again when confirmed
        (a unit test upset once by a loaded machine must not stand in for the process tests)."""
        if self.quick:
            ran, failed = self.ctest("-L", "^unit")
            failed = confirm(failed)
            if failed:
                return ran, failed
            more, failed = self.ctest("-L", "^process")
            return (ran or []) + (more or []), confirm(failed)
        ran, failed = self.ctest()
        return ran, confirm(failed)

    def confirm(self, failed):
        """Runs a few failing tests once more; keeps those that fail again."""
        if not failed or len(failed) > 3:
            return failed
        pattern = "^(" + "|".join(re.escape(name) for name in failed) + ")$"
        _, again = self.ctest("-R", pattern)
        return [name for name in failed if name in again]

    def baseline(self):
        ok, log = self.compile()
        if not ok:
            sys.exit("the unmutated build fails:\n" + log[-3000:])
        ran, failed = self.tests()
        if not ran or failed:
            sys.exit(f"the unmutated suite must pass first; failing: {failed}")
        return ran

    def mutant(self, mutation):
        with Applied(mutation):
            ok, log = self.compile()
            if not ok:
                return "build error", [], log[-2000:]
            _, failed = self.tests(self.confirm)
        return ("caught" if failed else "survived"), failed, ""

    def finish(self):
        self.compile()  # leave the build as the sources are


# --- web ----------------------------------------------------------------------------------------

TAP_FAILURE = re.compile(r"^\s*not ok \d+ - (.*?)(?: # .*)?$")
TAP_RESULT = re.compile(r"^\s*(?:not )?ok \d+ - (.*?)(?: # .*)?$")


class WebSuite:
    def __init__(self, browser):
        self.web = ROOT / "web"
        self.site = ROOT / "build/web"
        self.browser = browser and (self.site / "index.html").exists()
        if browser and not self.browser:
            print("no built page in build/web (./build.sh web): browser tests skipped")
        if not (self.web / "node_modules").exists():
            run(["npm", "ci", "--no-audit", "--no-fund", "--loglevel=error"], cwd=self.web)

    def node_tests(self, *arguments, env=None):
        result = run(["node", "--test", "--test-reporter=tap", *arguments], cwd=self.web,
                     env={**os.environ, **(env or {})}, timeout=600)
        ran, failed = [], []
        for line in result.stdout.splitlines():
            if TAP_RESULT.match(line):
                ran.append(TAP_RESULT.match(line).group(1))
            if TAP_FAILURE.match(line):
                failed.append(TAP_FAILURE.match(line).group(1))
        if result.returncode != 0 and not failed:
            failed.append("(node --test " + " ".join(arguments) + " failed)")
        return ran, failed

    def tests(self, mutation=None):
        ran, failed = self.node_tests("test/unit/")
        if mutation is None or mutation.path.endswith("engine-worker.js"):
            engine = ROOT / "build/wasm/pbrain-velka.js"
            if engine.exists():
                more, bad = self.node_tests("engine-worker.test.cjs",
                                            env={"VELKA_WASM_ENGINE": str(engine)})
                ran, failed = ran + more, failed + bad
        if self.browser:
            more, bad = self.node_tests(
                "--test-concurrency=1", "test/browser/",
                env={"VELKA_WEB_ROOT": str(self.site),
                     "VELKA_WEB_TEST_OUT": str(ROOT / "build/web-test")})
            ran, failed = ran + more, failed + bad
        return ran, failed

    def baseline(self):
        ran, failed = self.tests()
        if failed:
            sys.exit(f"the unmutated web tests must pass first; failing: {failed}")
        return ran

    def mutant(self, mutation):
        mirror = self.site / Path(mutation.path).name if mutation.path.count("/") == 1 else None
        with Applied(mutation, mirror):
            _, failed = self.tests(mutation)
        return ("caught" if failed else "survived"), failed, ""

    def finish(self):
        pass


# --- the report ---------------------------------------------------------------------------------

def short(names, width=70):
    text = ", ".join(names)
    return text if len(text) <= width else text[: width - 3] + "..."


def report(results, tests):
    print(f"\n{'mutation':28} {'result':11} {'tests':>5}  failing tests")
    for r in results:
        print(f"{r['name']:28} {r['status']:11} {len(r['failed']):5}  {short(r['failed'])}")
    caught = [r for r in results if r["status"] == "caught"]
    errors = [r for r in results if r["status"] == "build error"]
    print(f"\ncaught {len(caught)}/{len(results) - len(errors)}"
          + (f" ({len(errors)} did not build)" if errors else ""))
    survivors = [r for r in results if r["status"] == "survived"]
    for r in survivors:
        print(f"  survived: {r['name']}: {r['fault']}")
    # Which tests matter: those that alone catch some mutation.
    sole = {}
    for r in caught:
        if len(r["failed"]) == 1:
            sole.setdefault(r["failed"][0], []).append(r["name"])
    if sole:
        print("\nonly catcher of a mutation:")
        for test, names in sorted(sole.items()):
            print(f"  {test}: {', '.join(names)}")
    catching = {name for r in caught for name in r["failed"]}
    idle = [name for name in tests if name not in catching]
    if idle:
        print(f"\ntests that caught nothing ({len(idle)}):")
        for name in idle:
            print(f"  {name}")


def compare(before_path, after_path):
    before = {r["name"]: r for r in json.loads(Path(before_path).read_text())["results"]}
    after = {r["name"]: r for r in json.loads(Path(after_path).read_text())["results"]}
    for label, data in (("before", before), ("after", after)):
        caught = sum(r["status"] == "caught" for r in data.values())
        print(f"{label}: caught {caught}/{len(data)}")
    lost = [n for n, r in before.items() if r["status"] == "caught"
            and after.get(n, {}).get("status") != "caught"]
    gained = [n for n, r in after.items() if r["status"] == "caught"
              and before.get(n, {}).get("status") != "caught"]
    print("lost: " + (", ".join(lost) or "none"))
    print("gained: " + (", ".join(gained) or "none"))
    return 1 if lost else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cpp", action="store_true", help="the C++ mutations only")
    parser.add_argument("--web", action="store_true", help="the web mutations only")
    parser.add_argument("--only", action="append", default=[],
                        help="mutations whose names start with this (repeatable)")
    parser.add_argument("--list", action="store_true", help="print the catalogue and stop")
    parser.add_argument("--quick", action="store_true",
                        help="C++: the process tests only when the unit tests catch nothing")
    parser.add_argument("--no-browser", action="store_true", help="web: skip the browser tests")
    parser.add_argument("--build", default="build/release", help="C++ build directory")
    parser.add_argument("--json", help="write the results here")
    parser.add_argument("--compare", nargs=2, metavar=("BEFORE", "AFTER"))
    args = parser.parse_args()

    if args.compare:
        return compare(*args.compare)
    kinds = [("cpp", CPP), ("web", WEB)]
    if args.cpp != args.web:
        kinds = [k for k in kinds if (k[0] == "cpp") == args.cpp]
    chosen = [(kind, m) for kind, catalogue in kinds for m in catalogue
              if not args.only or any(m.name.startswith(p) for p in args.only)]
    problems = check_catalogue([m for _, m in chosen])
    if args.list or problems:
        for kind, m in chosen:
            print(f"{m.name:28} {m.path:32} {m.fault}")
        for problem in problems:
            print("catalogue: " + problem)
        return 1 if problems else 0
    dirty = changed_sources()
    if dirty:
        sys.exit("src/ or web/ has changes of its own; commit or stash them first:\n" + dirty)

    # Ctrl+C and kill restore the file through the with-blocks.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    results, tests = [], []
    try:
        for kind in ("cpp", "web"):
            todo = [m for k, m in chosen if k == kind]
            if not todo:
                continue
            suite = (CppSuite(ROOT / args.build, args.quick) if kind == "cpp"
                     else WebSuite(not args.no_browser))
            tests += suite.baseline()
            try:
                for i, m in enumerate(todo, 1):
                    start = time.time()
                    status, failed, log = suite.mutant(m)
                    results.append({"name": m.name, "kind": kind, "path": m.path,
                                    "fault": m.fault, "status": status, "failed": failed})
                    print(f"[{i}/{len(todo)}] {m.name}: {status} ({len(failed)} failing, "
                          f"{time.time() - start:.0f} s)" + (f"\n{log}" if log else ""),
                          flush=True)
            finally:
                suite.finish()
    finally:
        still = changed_sources()
        if still:
            print("WARNING: src/ or web/ differ from git after the run:\n" + still)
    if args.json:
        Path(args.json).write_text(json.dumps({"tests": tests, "results": results}, indent=1))
    report(results, tests)
    return 0


if __name__ == "__main__":
    sys.exit(main())
