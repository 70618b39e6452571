// What the browser tests share: Debian's Chromium driven by playwright-core, the page served from
// the built folder by the project's own server, and a reading of the board as a screen reader
// gets it (the accessible names of its buttons).

import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

import { chromium } from "playwright-core";

import { startServer } from "../../tools/serve.js";

const here = path.dirname(fileURLToPath(import.meta.url));
const repository = path.resolve(here, "../../..");
export const SiteRoot = process.env.VELKA_WEB_ROOT ?? path.join(repository, "build/web");
export const OutputDirectory =
  process.env.VELKA_WEB_TEST_OUT ?? path.join(repository, "build/web-test");
const ChromiumPath = process.env.CHROMIUM ?? "/usr/bin/chromium";

// This machine's network is closed: without these Chromium's own background connections are
// refused and slow it down. Playwright adds a fresh --user-data-dir of its own.
const ChromiumFlags = [
  "--headless",
  "--no-sandbox",
  "--disable-gpu",
  "--disable-quic",
  "--no-first-run",
  "--disable-background-networking",
  "--disable-component-update",
  "--disable-sync",
];

// Starts the server and the browser once for a test file; returns { url, newPage, close }.
export async function openSite() {
  assert.ok(existsSync(ChromiumPath), `no Chromium at ${ChromiumPath}`);
  // VELKA_WEB_URL tests a page served elsewhere; by default the built folder is served here.
  let server = null;
  let url = process.env.VELKA_WEB_URL;
  if (!url) {
    const index = path.join(SiteRoot, "index.html");
    assert.ok(existsSync(index), `no page in ${SiteRoot}: run ./build.sh web first`);
    ({ server, url } = await startServer(SiteRoot, 0));
  }
  const browser = await chromium.launch({
    executablePath: ChromiumPath,
    headless: true,
    args: ChromiumFlags,
  });

  // A page at the site (or at `address` there), with every console error and uncaught exception collected; `problems`
  // must be empty when the test ends.
  async function newPage(contextOptions = {}, address = url) {
    const context = await browser.newContext({
      viewport: { width: 1280, height: 900 },
      ...contextOptions,
    });
    const page = await context.newPage();
    const problems = [];
    page.on("console", (message) => {
      if (message.type() === "error") problems.push(`console error: ${message.text()}`);
    });
    page.on("pageerror", (error) => problems.push(`page error: ${error.message}`));
    await page.goto(address);
    await page.getByText(/running in your browser/).waitFor({ timeout: 60000 });
    return { page, problems, close: () => context.close() };
  }

  return {
    url,
    newPage,
    close: async () => {
      await browser.close();
      server?.close();
    },
  };
}

// The board as read from its buttons' accessible names ("h8, black, last move"): a Map from the
// point's name to { content, last, five, best }.
export async function readBoard(page) {
  const snapshot = await page.getByRole("group", { name: /^Board/ }).ariaSnapshot();
  const points = new Map();
  for (const [, label] of snapshot.matchAll(/- button "([^"]+)"/g)) {
    const [name, content, ...marks] = label.split(", ");
    points.set(name, {
      content,
      last: marks.includes("last move"),
      five: marks.includes("five"),
      best: marks.includes("best move"),
    });
  }
  return points;
}

export function stones(board, colour) {
  return [...board].filter(([, point]) => point.content === colour).map(([name]) => name);
}

export async function choose(page, label, value) {
  await page.getByLabel(label).selectOption(value);
}

export async function loadMoves(page, text) {
  await page.getByLabel(/Paste a game/).fill(text);
  await page.getByRole("button", { name: "Load" }).click();
}

export function turnText(page) {
  return page.locator("#turn").textContent();
}

// "h8" on a board `height` rows high -> { x: 7, y: height - 8 }.
export function pointOf(name, height) {
  return { x: name.charCodeAt(0) - 97, y: height - Number(name.slice(1)) };
}

export function nameOf({ x, y }, height) {
  return String.fromCharCode(97 + x) + String(height - y);
}

// Waits until velka is no longer thinking: the player's turn, or the game over.
export async function waitForTurn(page, timeout = 30000) {
  await page.waitForFunction(
    () => /your turn|wins|Draw|velka's turn/.test(document.getElementById("turn").textContent),
    null,
    { timeout },
  );
}
