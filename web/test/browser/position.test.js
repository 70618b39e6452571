// Positions: a game in and out as text, Renju's forbidden points on a known position, and an
// analysis of a position without playing on it.

import assert from "node:assert/strict";

import { pageTest, workerWith } from "./harness.js";

const sameBoard = async (ui, board) => assert.deepEqual([...(await ui.board())], [...board]);

pageTest("a game goes out as text and as a link, and comes back the same", async (ui) => {
  await ui.choose({ size: 15, human: "both" });
  await ui.load("h8 I9, g7 j10 f6");
  const board = await ui.board();
  assert.equal([...board.stones("black"), ...board.stones("white")].join(" "), "h8 g7 f6 j10 i9");
  assert.ok(board.get("f6").last);
  const text = await ui.page.getByLabel("Moves so far").inputValue();
  assert.equal(text, "h8i9g7j10f6");
  // The address carries the game: opened elsewhere, it shows the same board.
  await sameBoard(await ui.open(ui.page.url()), board);
  await ui.button("New game").click();
  assert.deepEqual((await ui.board()).stones("black"), []);
  await ui.load(text);
  await sameBoard(ui, board);
  assert.equal(await ui.message(), "Pasted: 5 moves on 15 × 15.");

  // Play on from there: velka takes the side to move.
  await ui.choose({ time: 100, human: "white" });
  await ui.button("Engine move").click();
  await ui.waitForTurn();
  assert.equal((await ui.board()).stones("white").length, 3);
  assert.equal(await ui.page.locator("#human").inputValue(), "black");
  // A 20 × 20 game: coordinates up to t20.
  await ui.choose({ size: 20, human: "both" });
  await ui.load("j10t20a1");
  const large = await ui.board();
  assert.deepEqual([large.size, large.stones("white")], [400, ["t20"]]);
});

pageTest("Renju: black's forbidden points marked on black's turn, and refused", async (ui) => {
  // Black f8 g8 h10 h9, white in the corners: h8 makes two open threes for black.
  await ui.choose({ size: 15, rule: 0, time: 100, human: "both" });
  await ui.load("f8a1g8a15h10o1h9o15");
  const [forbidden, empty] = [ui.button("h8, forbidden"), ui.button("h8, empty")];
  await empty.waitFor();
  await ui.choose({ rule: 4 });
  await forbidden.waitFor({ timeout: 30000 });
  assert.deepEqual((await ui.board()).stones("forbidden"), ["h8"]);
  await forbidden.click();
  assert.match(await ui.message(), /h8 is forbidden for black under Renju/);
  assert.equal((await ui.board()).get("h8").content, "forbidden");
  // Not while white is to move.
  await ui.button("c13, empty").click();
  await empty.waitFor();
  await ui.button("a2, empty").click();
  await forbidden.waitFor({ timeout: 30000 });
  // Against velka: its white answer comes, then black's turn again.
  await ui.choose({ human: "black" });
  await ui.button("c3, empty").click();
  await ui.waitForTurn();
  assert.match(await ui.turn(), /Black to move: your turn/);
  assert.equal((await ui.board()).stones("white").length, 6);
});

pageTest("analysis fills the panel; Stop shows the best move or makes velka play", async (ui) => {
  await ui.choose({ size: 15, rule: 0, human: "both" });
  await ui.load("h8i9g9i7i8g8j10");
  const before = await ui.board();
  await ui.button("Analyse").click();
  assert.match(await ui.turn(), /analysing/);
  const field = (name) => ui.page.locator(`[data-field="${name}"]`);
  // Four depths searched, newest first.
  await ui.page.locator(".iterations li").nth(3).waitFor({ timeout: 30000 });
  // The score in words for one side, with black's chance as a bar and a number.
  const words =
    /^(About even|(Black|White) (is slightly better|is better|is winning|wins( in \d+)?))$/;
  assert.match(await field("score").textContent(), words);
  const [chance, bar] = await ui.page.evaluate(() => {
    const field = (name) => document.querySelector(`[data-field="${name}"]`);
    return [field("chance").textContent, field("bar").style.width];
  });
  const percent = Number(/(\d+) %$/.exec(chance)[1]);
  assert.ok(Math.abs(parseFloat(bar) - percent) <= 0.5, `${bar} for ${chance}`);
  assert.match(await field("nodes").textContent(), /^\d/);
  assert.match(await field("speed").textContent(), /\/s$/);
  const line = ui.button(/^1\. (About|Black|White) .*: [a-o]\d+( [a-o]\d+)*$/);
  // Pointing at the line shows it on the board as numbered stones, only while pointed at.
  const ghost = ui.page.locator(".point[data-ghost]:not([data-ghost=''])").first();
  await line.hover();
  await ghost.waitFor();
  await ui.page.getByRole("heading", { name: "Moves" }).hover();
  await ghost.waitFor({ state: "detached" });

  await ui.button("Stop").click();
  await ui.page.getByText(/Best move: [a-o]\d+\./).waitFor({ timeout: 10000 });
  const best = /Best move: ([a-o]\d+)\./.exec(await ui.message())[1];
  const after = await ui.board();
  assert.deepEqual([after.get(best).content, after.get(best).best], ["empty", true]);
  // Clicking the line keeps it on the board, until clicked again.
  await line.click();
  await ui.page.getByRole("heading", { name: "Moves" }).hover();
  await ghost.waitFor();
  assert.equal(await line.getAttribute("aria-pressed"), "true");
  await line.click();
  await ui.page.getByRole("heading", { name: "Moves" }).hover();
  await ghost.waitFor({ state: "detached" });
  for (const board of [after, before]) {
    for (const [name, point] of board) if (point.content === "empty") board.delete(name);
  }
  assert.deepEqual([...after], [...before]);
  assert.match(await ui.turn(), /White to move: your turn/);

  // White to move: playing black now hands the move to velka, for up to 30 s.
  await ui.choose({ time: 30000, human: "black" });
  assert.match(await ui.turn(), /velka is thinking/);
  await field("depth").filter({ hasText: /\d/ }).waitFor();
  await ui.button("Stop").click();
  await ui.waitForTurn(10000);
  assert.match(await ui.turn(), /Black to move: your turn/);
  assert.equal((await ui.board()).stones("white").length, 4);
});

// The INFO lines of velka's settings that the page sends the worker, logged by the worker.
const spyWorker = workerWith(`const pass = self.onmessage;
self.onmessage = (event) => {
  if (/^INFO (level|strong|multipv) /.test(event.data)) console.log("sent: " + event.data);
  pass(event);
};`);

pageTest(
  "velka plays at the level chosen, analyses at full strength, then plays at its level again",
  { prepare: spyWorker },
  async (ui) => {
    const sent = [];
    ui.page.on("console", (m) => /^sent: /.test(m.text()) && sent.push(m.text().slice(6)));
    const settingsOf = async (action) => {
      sent.length = 0;
      await action();
      return sent.join("; ");
    };
    const levels = (await ui.page.locator("#level option").allTextContents()).join(", ");
    assert.equal(levels, "Beginner, Casual, Intermediate, Advanced, Expert, Full strength");
    assert.equal(await ui.page.locator("#level option:checked").textContent(), "Full strength");

    await ui.choose({ size: 15, rule: 0, time: 100, human: "black", level: "2", multipv: 3 });
    const move = (name) => async () => {
      await ui.button(`${name}, empty`).click();
      await ui.waitForTurn();
    };
    const casual = "INFO strong 0; INFO level 2; INFO multipv 1";
    assert.equal(await settingsOf(move("h8")), casual);
    // Sent when they change only; by now the position is past the opening, so velka analyses.
    assert.equal(await settingsOf(move("a1")), "");
    const analysis = async () => {
      await ui.button("Analyse").click();
      await ui.page.locator(".iterations li").first().waitFor();
      await ui.button("Stop").click();
      await ui.page.getByText(/Best move/).waitFor();
    };
    assert.equal(await settingsOf(analysis), "INFO level 0; INFO strong 1; INFO multipv 3");
    assert.equal(await settingsOf(move("a15")), casual);
  },
);

pageTest(
  "best lines: their scores in words, steady over depths, their first moves numbered",
  async (ui) => {
    await ui.choose({ size: 15, rule: 0, human: "both", multipv: 3 });
    // Analyses `moves` until Stop at `depth`, or else to its end (a forced win ends it by
    // itself), and returns the lines and the depths shown.
    const analyse = async (moves, depth) => {
      await ui.load(moves);
      await ui.button("Analyse").click();
      const depths = ui.page.locator(".iterations li");
      if (depth) {
        await depths.filter({ hasText: new RegExp(`^${depth}: `) }).waitFor({ timeout: 30000 });
        await ui.button("Stop").click();
      }
      await ui.page.getByText(/Best move/).waitFor({ timeout: 30000 });
      const lines = ui.page.locator(".lines button");
      return [await lines.allTextContents(), await depths.allTextContents()];
    };
    // A quiet position: each depth after the first names the same side ahead, or none.
    const [lines, depths] = await analyse("h8i9j10i10i8j9", 6);
    const ahead = depths.slice(0, -1).map((line) => /: (\w+)/.exec(line)[1]);
    assert.ok(new Set(ahead.filter((who) => who !== "About")).size <= 1, ahead.join());
    // Three lines, best first; their first moves numbered 1 to 3 on the board.
    assert.equal(lines.length, 3, lines.join(" | "));
    const firsts = lines.map((line, i) => {
      const [, rank, first] = /^(\d)\. (?:About even|(?:Black|White) \D+): ([a-o]\d+)/.exec(line);
      assert.equal(Number(rank), i + 1);
      return first;
    });
    const board = await ui.board();
    assert.deepEqual(
      firsts.map((name) => board.get(name).line),
      [1, 2, 3],
    );
    assert.equal([...board.values()].filter((point) => point.line > 0).length, 3);

    // White wins here, which ends the analysis: said in words, with no engine-sized numbers.
    const [won] = await analyse("h8i9j10i10i8j9k8j8g8f8h7");
    assert.match(won[0], /^1\. White wins/);
    assert.doesNotMatch(await ui.page.locator("#analysis").textContent(), /\d{5}/);
  },
);
