// The engine failing, as it may on a player's device: its script missing, its worker throwing in
// the middle of a think, its worker closing without a word. The page ends the think, says so
// beside the board and starts a fresh engine; moves wait while none is ready.

import assert from "node:assert/strict";

import { pageTest, workerWith } from "./harness.js";

// The fault, run after the first worker is sent a DONE (the end of a position, which starts a
// think); the fresh engine gets the real script.
const faultyWorker = (fault) =>
  workerWith(
    `const pass = self.onmessage;
self.onmessage = (event) => {
  pass(event);
  if (event.data === "DONE") setTimeout(() => { ${fault} }, 300);
};`,
    { once: true },
  );

// velka starts a long think on a middle game, which the fault cuts short; the page then waits for
// the player with a working engine, which plays on when asked.
async function failDuringMove(ui, reason) {
  await ui.choose({ size: 15, rule: 0, time: 30000, human: "both" });
  await ui.load("h8i9g9i7i8g8j10");
  // The turn line says so until the fresh engine is ready, which may be quick: every change is seen.
  const failed = ui.page.waitForFunction(
    () => /the engine failed/.test(document.getElementById("turn").textContent),
    null,
    { polling: 20, timeout: 30000 },
  );
  await ui.choose({ human: "black" });
  assert.match(await ui.turn(), /velka is thinking/);
  await failed;
  const message = new RegExp(
    `^The engine failed during its move \\(${reason}\\) and was restarted`,
  );
  assert.match(await ui.message(), message);
  await ui.page.getByText(/running in your browser/).waitFor();
  assert.equal(await ui.turn(), "White to move: velka's turn (press Engine move).");
  assert.ok(await ui.button("Stop").isDisabled());
  await ui.choose({ time: 100 });
  await ui.button("Engine move").click();
  await ui.waitForTurn();
  assert.equal((await ui.board()).stones("white").length, 4);
}

pageTest(
  "an error in the worker during velka's think",
  { prepare: faultyWorker('throw new Error("planted fault");'), expectErrors: /planted fault/ },
  (ui) => failDuringMove(ui, "it hit an error"),
);

pageTest(
  "the worker closing quietly during velka's think",
  { prepare: faultyWorker("self.close();") },
  (ui) => failDuringMove(ui, "it stopped answering"),
);

pageTest(
  "the engine's script missing: the page says so and takes no move",
  {
    prepare: (context) =>
      context.route("**/pbrain-velka.js", (route) => route.fulfill({ status: 404 })),
    expectErrors: /pbrain-velka\.js/,
    ready: false,
  },
  async (ui) => {
    await ui.page.locator("#turn", { hasText: /could not start/ }).waitFor({ timeout: 30000 });
    assert.match(await ui.turn(), /^The engine could not start \(it hit an error\)\. Reload/);
    await ui.button("h8, empty").click();
    assert.match(await ui.message(), /^No engine is running, so the page takes no move/);
    assert.equal((await ui.board()).stones("black").length, 0);
    assert.ok(await ui.button("Engine move").isDisabled());
  },
);
