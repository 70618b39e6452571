// Renju: black's forbidden points come from the engine (FORBID) and are marked on the board.

import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import { loadMoves, openSite, readBoard, stones, turnText, waitForTurn } from "./harness.js";

let site;

before(async () => {
  site = await openSite();
});
after(() => site?.close());

// Black f8 g8 h10 h9, white in the corners: h8 (7,7) makes two open threes for black.
const DoubleThree = "f8a1g8a15h10o1h9o15";

test("black's forbidden points are marked under Renju, and a human black may not play them", async () => {
  const { page, problems, close } = await site.newPage();
  await page.locator("#size").selectOption("15");
  await page.locator("#time").selectOption("100");
  await page.locator("#human").selectOption("both");
  await page.locator("#rule").selectOption("4");
  await loadMoves(page, DoubleThree);
  await page.getByRole("button", { name: "h8, forbidden" }).waitFor({ timeout: 30000 });
  const board = await readBoard(page);
  assert.deepEqual(stones(board, "black").sort(), ["f8", "g8", "h10", "h9"]);
  assert.equal(stones(board, "forbidden").length, 1);

  await page.getByRole("button", { name: "h8, forbidden" }).click();
  assert.match(
    await page.locator("#message").textContent(),
    /h8 is forbidden for black under Renju/,
  );
  assert.equal((await readBoard(page)).get("h8").content, "forbidden");

  // The same position in freestyle has no forbidden point.
  await page.locator("#rule").selectOption("0");
  await page.getByRole("button", { name: "h8, empty" }).waitFor();

  await page.locator("#rule").selectOption("4");
  await page.getByRole("button", { name: "h8, forbidden" }).waitFor({ timeout: 30000 });

  // Marked only while black is to move.
  await page.getByRole("button", { name: "c13, empty" }).click();
  await page.getByRole("button", { name: "h8, empty" }).waitFor();
  await page.getByRole("button", { name: "a2, empty" }).click();
  await page.getByRole("button", { name: "h8, forbidden" }).waitFor({ timeout: 30000 });

  // Playing black against velka: its white answer comes, then it is black's turn again.
  await page.locator("#human").selectOption("black");
  await page.getByRole("button", { name: "c3, empty" }).click();
  await waitForTurn(page);
  assert.match(await turnText(page), /Black to move: your turn/);
  assert.equal(stones(await readBoard(page), "white").length, 6);
  assert.deepEqual(problems, []);
  await close();
});
