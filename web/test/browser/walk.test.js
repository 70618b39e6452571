// Going through a game, taking back and replaying, resigning, and games kept in files.

import assert from "node:assert/strict";
import { mkdir, readFile } from "node:fs/promises";
import path from "node:path";

import { OutputDirectory, pageTest } from "./harness.js";

// The move count and the stones on the board, as "Move 2 of 5: 1 black, 1 white".
async function position(ui) {
  const [count, board] = [await ui.page.locator("#move-count").textContent(), await ui.board()];
  return `${count}: ${board.stones("black").length} black, ${board.stones("white").length} white`;
}
const at = (n, of) => `Move ${n} of ${of}: ${Math.ceil(n / 2)} black, ${Math.floor(n / 2)} white`;
const Keys = ["ArrowRight", "ArrowLeft", "Home", "End"];

pageTest("a game gone through by list, buttons and keys; take back keeps the moves", async (ui) => {
  await ui.choose({ size: 15, rule: 0, human: "both" });
  await ui.load("h8i9g7j10f6");
  // Each step a move of the list, a key (the focus stays in the list) or a button, and where it goes.
  for (const [step, shown] of Object.entries({
    "2. i9, white": 2,
    ArrowRight: 3,
    End: 5,
    ArrowLeft: 4,
    Home: 0,
    "To the end": 5,
    "Back one move": 4,
    "To the start": 0,
    "Forward one move": 1,
  })) {
    if (Keys.includes(step)) await ui.page.keyboard.press(step);
    else await ui.button(step).click();
    assert.equal(await position(ui), at(shown, 5), step);
    if (step === "Home")
      assert.equal(await ui.page.evaluate(() => document.activeElement.textContent), "1. h8");
  }
  assert.equal(await ui.page.locator("#move-list [aria-current]").textContent(), "1. h8");

  // Taken back, the moves stay to replay; the same move keeps them, another ends them.
  await ui.button("To the end").click();
  await ui.button("Take back").click();
  await ui.button("Take back").click();
  assert.equal(await position(ui), at(3, 5));
  assert.match(await ui.message(), /Move taken back/);
  await ui.button("j10, empty").click();
  assert.equal(await position(ui), at(4, 5));
  await ui.button("Take back").click();
  await ui.button("a1, empty").click();
  assert.equal(await position(ui), at(4, 4));
  assert.equal(await ui.page.locator("#move-list button").last().textContent(), "4. a1");

  // Resigning ends the game for the side to move, here black; a take back resumes it.
  await ui.button("Resign").click();
  assert.equal(await ui.turn(), "White wins: Black resigned.");
  await ui.button("b1, empty").click();
  assert.match(await ui.message(), /The game is over/);
  await ui.button("Take back").click();
  assert.equal(await ui.turn(), "White to move: your turn.");
});

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
    return [file, await readFile(file, "utf8")];
  };
  const [psq, record] = await save("Save as .psq");
  assert.equal(record, "Piskvorky 19x19, 11:11, 0\n10,10,0\n11,9,0\n19,1,0\n1,19,0\n");
  const [text, moves] = await save("Save as text");
  assert.equal(moves, "j10k11s19a1\n");
  assert.equal(await ui.message(), "Saved 4 moves as velka-game.txt.");

  // The file is read, then the message says what came of it.
  const open = async (file, message) => {
    await ui.page.getByLabel(/Open a game file/).setInputFiles(file);
    await ui.page.locator("#message").filter({ hasText: message }).waitFor();
  };
  // A .psq keeps its size: opened on 15 × 15, the game comes back on 19 × 19.
  await ui.choose({ size: 15 });
  await open(psq, /^Opened velka-game.psq: 4 moves on 19 × 19\.$/);
  assert.equal(await ui.page.locator("#size").inputValue(), "19");
  await ui.button("Back one move").click();
  assert.deepEqual((await ui.board()).stones("white"), ["k11"]);
  // The text form is read on the page's board: on 15 × 15 s19 does not fit, and nothing changes.
  await ui.choose({ size: 15 });
  await open(text, /^Opened velka-game.txt: Move 3, s19, is off the 15 × 15 board/);
  assert.equal(await position(ui), at(0, 0));
  await ui.choose({ size: 19 });
  await open(text, /^Opened velka-game.txt: 4 moves/);
  assert.deepEqual((await ui.board()).stones("black"), ["s19", "j10"]);
});
