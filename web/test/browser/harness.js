// What the browser tests share: Debian's Chromium driven by playwright-core, the page served from
// the built folder by the project's own server, and the board read as a screen reader gets it
// (the accessible names of its buttons).

import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import path from "node:path";
import { after, test } from "node:test";
import { fileURLToPath } from "node:url";

import { chromium } from "playwright-core";

import { startServer } from "../../tools/serve.js";

const repository = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../../..");
const SiteRoot = process.env.VELKA_WEB_ROOT ?? path.join(repository, "build/web");
export const OutputDirectory =
  process.env.VELKA_WEB_TEST_OUT ?? path.join(repository, "build/web-test");
const ChromiumPath = process.env.CHROMIUM ?? "/usr/bin/chromium";

// This machine's network is closed: without these Chromium's own background connections are
// refused and slow it down. Playwright adds a fresh --user-data-dir of its own.
const ChromiumFlags = `--headless --no-sandbox --disable-gpu --disable-quic --no-first-run
  --disable-background-networking --disable-component-update --disable-sync`.split(/\s+/);

// The built folder on the project's own server, and the browser.
async function openSite() {
  const index = path.join(SiteRoot, "index.html");
  assert.ok(existsSync(index), `no page in ${SiteRoot}: run ./build.sh web first`);
  const { server, url } = await startServer(SiteRoot, 0);
  const browser = await chromium.launch({ executablePath: ChromiumPath, args: ChromiumFlags });
  return { url, browser, server };
}

// For a context's `prepare`: serves engine-worker.js with `code` run after it, the worker's own
// script, e.g. to plant a fault in it or to log the lines it is sent. With `once`, only the first
// worker the page starts gets it; a fresh one gets the script as built.
export function workerWith(code, { once = false } = {}) {
  return async (context) => {
    let served = 0;
    await context.route("**/engine-worker.js", async (route) => {
      if (once && served++ > 0) return route.fallback();
      const script = await (await route.fetch()).text();
      await route.fulfill({ contentType: "text/javascript", body: `${script}\n${code}` });
    });
  };
}

// The server and the browser, started by a test file's first test and shared by the others.
let site = null;
after(async () => {
  const { browser, server } = (await site) ?? {};
  await browser?.close();
  server?.close();
});

// A test on a freshly loaded page, like node:test's test(name, [options], body): body gets the
// page's helpers once the engine has started, and open(address) opens another page. A console
// error or an uncaught exception on any page fails the test. Options: `context`, the browser
// context's options (a phone's screen); `prepare(context)`, run before the page opens (to route
// its requests); `expectErrors`, a pattern of console errors the test causes on purpose; `ready`:
// false to go on without waiting for the engine.
export function pageTest(name, ...args) {
  const body = args.pop();
  const { context: contextOptions, prepare, expectErrors, ready = true } = args[0] ?? {};
  test(name, async () => {
    site ??= openSite();
    const { url, browser } = await site;
    const context = await browser.newContext(contextOptions);
    await prepare?.(context);
    const problems = [];
    const problem = (text) => expectErrors?.test(text) || problems.push(text);
    const open = async (address = url) => {
      const page = await context.newPage();
      page.on("console", (m) => m.type() === "error" && problem(m.text()));
      page.on("pageerror", (error) => problem(error.message));
      await page.goto(address);
      if (ready) await page.getByText(/running in your browser/).waitFor({ timeout: 60000 });
      return helpers(page, open, url);
    };
    await body(await open()).finally(() => context.close());
    assert.deepEqual(problems, []);
  });
}

// What a test does on a page, as a person does it.
function helpers(page, open, url) {
  return {
    page,
    open,
    url,
    board: () => readBoard(page),
    turn: () => page.locator("#turn").textContent(),
    message: () => page.locator("#message").textContent(),
    button: (name) => page.getByRole("button", { name }),
    // Sets the game's choices in the order given, e.g. { size: 15, rule: 4, human: "both" }.
    async choose(choices) {
      for (const [id, value] of Object.entries(choices)) {
        await page.locator(`#${id}`).selectOption(String(value));
      }
    },
    async load(moves) {
      await page.getByLabel(/Paste a game/).fill(moves);
      await page.getByRole("button", { name: "Load" }).click();
    },
    // The game of an address on this page, as when the player edits the address.
    async goTo(hash) {
      await page.evaluate((address) => {
        location.hash = address;
      }, hash);
    },
    // Until velka is no longer thinking: the player's turn, or the game over.
    waitForTurn(timeout = 30000) {
      const done = page.locator("#turn", { hasText: /your turn|wins|Draw|velka's turn/ });
      return done.waitFor({ timeout });
    },
  };
}

// The board as read from its buttons' accessible names ("h8, black, last move"): from each
// point's name to { content, last, five, best, line } (line: the analysis line it starts, or 0).
class Board extends Map {
  // The names of the points with this content ("black", "white", "forbidden", "empty").
  stones(content) {
    return [...this].filter(([, point]) => point.content === content).map(([name]) => name);
  }
}

async function readBoard(page) {
  const snapshot = await page.getByRole("group", { name: /^Board/ }).ariaSnapshot();
  const board = new Board();
  for (const [, label] of snapshot.matchAll(/- button "([^"]+)"/g)) {
    const [name, content, ...marks] = label.split(", ");
    const [last, five, best] = ["last move", "five", "best move"].map((m) => marks.includes(m));
    const line = Number(/analysis line (\d)/.exec(label)?.[1] ?? 0);
    board.set(name, { content, last, five, best, line });
  }
  return board;
}
