// Going through a game, taking back and replaying, resigning, and games kept in files.

import assert from "node:assert/strict";
import { mkdir, readFile } from "node:fs/promises";
import path from "node:path";

import { OutputDirectory, pageTest } from "./harness.js";

// The stones on the board in the order of the move list ("h8 i9 g7"), from the board's names.
async function position(ui) {
  const count = /Move (\d+) of (\d+)/.exec(await ui.page.locator("#move-count").textContent());
  const board = await ui.board();
  return {
    shown: Number(count[1]),
    of: Number(count[2]),
    black: board.stones("black").length,
    white: board.stones("white").length,
  };
}

const at = (shown, of) => ({
  shown,
  of,
  black: Math.ceil(shown / 2),
  white: Math.floor(shown / 2),
});

pageTest(
  "a game walked by its list, buttons and keys; take back keeps the moves to replay",
  async (ui) => {
    await ui.choose({ size: 15, rule: 0, human: "both" });
    await ui.load("h8i9g7j10f6");
    assert.deepEqual(await position(ui), at(5, 5));
    await ui.button("2. i9, white").click();
    assert.deepEqual(await position(ui), at(2, 5));
    assert.ok((await ui.board()).get("i9").last);
    // From the list, the arrows and Home and End go through the game, and the focus follows.
    for (const [key, shown] of [
      ["ArrowRight", 3],
      ["End", 5],
      ["ArrowLeft", 4],
      ["Home", 0],
    ]) {
      await ui.page.keyboard.press(key);
      assert.deepEqual(await position(ui), at(shown, 5), key);
    }
    assert.equal(await ui.page.evaluate(() => document.activeElement.textContent), "1. h8");
    for (const [button, shown] of [
      ["To the end", 5],
      ["Back one move", 4],
      ["To the start", 0],
    ]) {
      await ui.button(button).click();
      assert.deepEqual(await position(ui), at(shown, 5), button);
    }
    await ui.button("Forward one move").click();
    assert.equal(await ui.page.locator("#move-list [aria-current]").textContent(), "1. h8");

    // Taken back, the moves stay to replay; the same move keeps them, another ends them.
    await ui.button("To the end").click();
    await ui.button("Take back").click();
    await ui.button("Take back").click();
    assert.deepEqual(await position(ui), at(3, 5));
    assert.match(await ui.message(), /Move taken back/);
    await ui.button("j10, empty").click();
    assert.deepEqual(await position(ui), at(4, 5));
    assert.equal(await ui.message(), "");
    await ui.button("Take back").click();
    await ui.button("a1, empty").click();
    assert.deepEqual(await position(ui), at(4, 4));
    assert.equal(await ui.page.locator("#move-list button").last().textContent(), "4. a1");

    // Resigning ends the game for the side to move, here black; a take back resumes it.
    await ui.button("Resign").click();
    assert.equal(await ui.turn(), "White wins: Black resigned.");
    await ui.button("b1, empty").click();
    assert.match(await ui.message(), /The game is over/);
    assert.ok(await ui.button("Engine move").isDisabled());
    await ui.button("Take back").click();
    assert.equal(await ui.turn(), "White to move: your turn.");
  },
);

pageTest("a game saved as text and as .psq opens again and is gone through", async (ui) => {
  await ui.choose({ size: 19, rule: 0, human: "both" });
  await ui.load("j10k11s19a1");
  await mkdir(OutputDirectory, { recursive: true });
  const save = async (button) => {
    const [download] = await Promise.all([
      ui.page.waitForEvent("download"),
      ui.button(button).click(),
    ]);
    const file = path.join(OutputDirectory, download.suggestedFilename());
    await download.saveAs(file);
    return file;
  };
  const psq = await save("Save as .psq");
  assert.equal(
    await readFile(psq, "utf8"),
    "Piskvorky 19x19, 11:11, 0\n10,10,0\n11,9,0\n19,1,0\n1,19,0\n",
  );
  const text = await save("Save as text");
  assert.equal(await readFile(text, "utf8"), "j10k11s19a1\n");
  assert.equal(await ui.message(), "Saved 4 moves as velka-game.txt.");

  // A .psq keeps its size: opened on 15 × 15, the game comes back on 19 × 19.
  // The file is read, then the message says what came of it.
  const open = async (files, message) => {
    await ui.page.getByLabel(/Open a game file/).setInputFiles(files);
    await ui.page.locator("#message").filter({ hasText: message }).waitFor();
  };
  await ui.choose({ size: 15 });
  await open(psq, /^Opened velka-game.psq: 4 moves on 19 × 19\.$/);
  assert.equal(await ui.page.locator("#size").inputValue(), "19");
  assert.deepEqual((await ui.board()).stones("white"), ["k11", "a1"]);
  await ui.button("Back one move").click();
  assert.deepEqual((await ui.board()).stones("white"), ["k11"]);

  // A manager's record: CR LF, times, its own lines after the moves.
  const record = "Piskvorky 15x15, 11:11, 0\r\n8,8,1000\r\n9,9,562\r\npbrain-velka\r\n-1\r\n";
  const file = { name: "match.psq", mimeType: "text/plain", buffer: Buffer.from(record) };
  await open(file, /^Opened match.psq: 2 moves on 15 × 15\.$/);
  assert.deepEqual((await ui.board()).stones("white"), ["i7"]);
  // The text form is read on the page's board, where s19 does not fit: nothing changes.
  await open(text, /^Opened velka-game.txt: Move 3, s19, is off the 15 × 15 board/);
  assert.deepEqual((await ui.board()).stones("black"), ["h8"]);
  await ui.choose({ size: 19 });
  await open(text, /^Opened velka-game.txt: 4 moves/);
  assert.deepEqual((await ui.board()).stones("black"), ["s19", "j10"]);
});
