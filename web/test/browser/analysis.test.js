// Analysis: velka thinks on a position without playing; the panel fills while it thinks, and Stop
// gives the best move so far, shown on the board and not played.

import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import { loadMoves, openSite, readBoard, stones, turnText, waitForTurn } from "./harness.js";

let site;

before(async () => {
  site = await openSite();
});
after(() => site?.close());

test("an analysis fills the panel, shows its line on hover, and stop shows the best move", async () => {
  const { page, problems, close } = await site.newPage();
  await page.locator("#size").selectOption("15");
  await page.locator("#rule").selectOption("0");
  await page.locator("#human").selectOption("both");
  await loadMoves(page, "h8i9g9i7i8g8j10");
  const before = await readBoard(page);

  await page.getByRole("button", { name: "Analyse" }).click();
  assert.match(await turnText(page), /analysing/);
  const depth = page.locator('[data-field="depth"]');
  await page.waitForFunction(
    () => Number(document.querySelector('[data-field="depth"]').textContent) >= 4,
    null,
    {
      timeout: 30000,
    },
  );
  assert.ok(Number(await depth.textContent()) >= 4);
  assert.match(
    await page.locator('[data-field="score"]').textContent(),
    /^White (wins|loses|[+−±]\d+)/,
  );
  assert.match(await page.locator('[data-field="nodes"]').textContent(), /^\d/);
  assert.match(await page.locator('[data-field="speed"]').textContent(), /\/s$/);
  const pv = await page.locator('[data-field="pv"]').textContent();
  assert.match(pv, /^[a-o]\d+( [a-o]\d+)*$/);
  assert.ok((await page.locator(".iterations li").count()) >= 1);

  // Pointing at the line shows it on the board as numbered stones, and only while pointed at.
  const first = pv.split(" ")[0];
  await page.locator('[data-field="pv"]').hover();
  await page.waitForFunction(
    () => document.querySelectorAll(".point[data-ghost]:not([data-ghost=''])").length > 0,
  );
  await page.getByRole("heading", { name: "Position" }).hover();

  await page.getByRole("button", { name: "Stop" }).click();
  await page.getByText(/Best move: [a-o]\d+\./).waitFor({ timeout: 10000 });
  const best = /Best move: ([a-o]\d+)\./.exec(await page.locator("#message").textContent())[1];
  const after = await readBoard(page);
  assert.ok(after.get(best).best, `${best} is marked as the best move`);
  assert.equal(after.get(best).content, "empty", "the best move is shown, not played");
  assert.deepEqual(stones(after, "black"), stones(before, "black"));
  assert.deepEqual(stones(after, "white"), stones(before, "white"));
  assert.match(await turnText(page), /White to move: your turn/);
  assert.ok(first.length > 0);
  assert.deepEqual(problems, []);
  await close();
});

test("stop during velka's move makes it play at once", async () => {
  const { page, problems, close } = await site.newPage();
  await page.locator("#human").selectOption("both");
  await loadMoves(page, "h8i9g9i7i8g8j10");
  await page.locator("#time").selectOption("30000");
  // White to move: playing black now hands the move to velka, for up to 30 s.
  await page.locator("#human").selectOption("black");
  assert.match(await turnText(page), /velka is thinking/);
  await page.waitForFunction(
    () => document.querySelector('[data-field="depth"]').textContent !== "–",
  );
  const started = Date.now();
  await page.getByRole("button", { name: "Stop" }).click();
  await waitForTurn(page, 10000);
  assert.ok(Date.now() - started < 10000);
  assert.match(await turnText(page), /Black to move: your turn/);
  assert.equal(stones(await readBoard(page), "white").length, 4);
  assert.deepEqual(problems, []);
  await close();
});
