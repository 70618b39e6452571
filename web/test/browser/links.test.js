// Links to games, good and bad, what the page says and where; and the page as a keyboard or
// screen reader user goes through it.

import assert from "node:assert/strict";

import { pageTest } from "./harness.js";

const Laptop = { viewport: { width: 1280, height: 800 } };

pageTest(
  "a bad link keeps its address and moves, and says what is wrong beside the board",
  { context: Laptop },
  async (ui) => {
    for (const [hash, wrong] of [
      [
        "#size=15&rule=0&moves=h8h8",
        /^This link's game cannot be shown: Move 2, h8, is on a point/,
      ],
      ["#size=15&rule=0&moves=zz99", /^This link's game cannot be shown: Cannot read "z"/],
      ["#size=99&rule=0&moves=h8", /^This link asks for a board of size "99"/],
      ["#size=15&rule=7&moves=h8", /^This link asks for rule "7"/],
    ]) {
      const page = await ui.open(ui.url + hash);
      assert.match(await page.message(), wrong);
      const box = await page.page.locator("#message").boundingBox();
      assert.ok(box.y >= 0 && box.y + box.height <= 800, `${hash}: ${JSON.stringify(box)}`);
      assert.equal(page.page.url(), ui.url + hash);
      const pasted = new URLSearchParams(hash.slice(1)).get("moves");
      assert.equal(await page.page.getByLabel(/Paste a game/).inputValue(), pasted);
      await page.page.close();
    }
    // A good link starts afresh: its game, its address, and the old message gone.
    await ui.goTo("#size=15&rule=7&moves=h8");
    await ui.page
      .locator("#message")
      .filter({ hasText: /rule "7"/ })
      .waitFor();
    await ui.goTo("#size=15&rule=4&moves=h8i9");
    await ui.page.locator("#message").filter({ hasText: "The link's game: 2 moves." }).waitFor();
    assert.deepEqual((await ui.board()).stones("white"), ["i9"]);
    assert.match(ui.page.url(), /#size=15&rule=4&moves=h8i9$/);
    assert.equal(await ui.page.locator("#rule").inputValue(), "4");
    // Playing on moves the address with the game. Black's move waits for the forbidden points
    // under Renju, and the turn reads "your turn" until then: wait for the stone first.
    await ui.button("g7, empty").click();
    await ui.button(/^g7, black/).waitFor({ timeout: 30000 });
    await ui.waitForTurn();
    assert.match(ui.page.url(), /moves=h8i9g7[a-o]\d+$/);
  },
);

pageTest(
  "a link that leaves velka to move starts its move once the engine is ready; messages clear",
  async (ui) => {
    // The player plays black (the default) and white is to move.
    const page = await ui.open(`${ui.url}#size=15&rule=0&moves=h8i9g7`);
    await page.waitForTurn();
    assert.equal((await page.board()).stones("white").length, 2);
    assert.match(await page.message(), /^velka played [a-o]\d+\.$/);
    // A bad paste's error gives way to the next action's outcome, or to nothing.
    await page.choose({ time: 100 });
    await page.load("h8h8");
    assert.match(await page.message(), /already taken/);
    await page.button("Take back").click();
    assert.match(await page.message(), /^Move taken back/);
    await page.load("h8h8");
    await page.button("a1, empty").click();
    await page.waitForTurn();
    assert.match(await page.message(), /^velka played/);
  },
);

pageTest("regions have names of their own; lists are one tab stop each", async (ui) => {
  await ui.choose({ human: "both", multipv: 2 });
  await ui.load("h8i9g9i7i8g8j10");
  await ui.button("Analyse").click();
  await ui.page.locator(".iterations li").nth(2).waitFor({ timeout: 30000 });
  await ui.button("Stop").click();
  await ui.page.getByText(/Best move/).waitFor();
  const regions = (await ui.page.locator("body").ariaSnapshot()).match(/region "[^"]+"/g);
  assert.deepEqual(
    regions,
    ["Board", "Settings", "Analysis", "Moves"].map((n) => `region "${n}"`),
  );

  // Tab through the whole page from its top, noting where the focus lands: a list, or an id.
  await ui.page.getByRole("heading", { name: "velka" }).click();
  const stops = [];
  for (let stop = ""; stop !== null && stops.length < 60; stops.push(stop)) {
    await ui.page.keyboard.press("Tab");
    stop = await ui.page.evaluate(() => {
      const node = document.activeElement;
      const list = node.closest("ol, .points");
      return node === document.body ? null : list ? list.className || list.id : node.id;
    });
  }
  const count = (name) => stops.filter((stop) => stop === name).length;
  assert.deepEqual(stops.slice(0, 3), ["points", "new-game", "take-back"]);
  assert.deepEqual([count("points"), count("move-list"), count("iterations")], [1, 1, 0]);
  // The best lines: a button each, two here.
  assert.equal(count("lines"), 2);
});
