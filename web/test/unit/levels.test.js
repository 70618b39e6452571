import assert from "node:assert/strict";
import { test } from "node:test";

import { FullStrength, Levels, levelSettings } from "../../levels.js";

test("five named levels on the plain search, weakest first, then full strength on the strong one", () => {
  const recipes = Levels.map(({ name, settings }) => `${name}: ${settings.flat().join(" ")}`);
  assert.deepEqual(recipes, [
    "Beginner: strong 0 level 1",
    "Casual: strong 0 level 2",
    "Intermediate: strong 0 level 3",
    "Advanced: strong 0 level 4",
    "Expert: strong 0 level 5",
    "Full strength: level 0 strong 1",
  ]);
  assert.equal(levelSettings(FullStrength), Levels.at(-1).settings);
  assert.equal(levelSettings("2"), Levels[1].settings);
  assert.throws(() => levelSettings("6"), RangeError);
});
