// velka's levels on the page: five weaker fixed recipes of the engine's own (INFO level 1 … 5, 1
// the weakest, on its plain search) and its full strength (level 0 on its strong search, the
// stronger under every rule). Each level is the INFO settings the page sends before velka thinks;
// the time per move caps them all.

export const Levels = Object.freeze([
  {
    id: "1",
    name: "Beginner",
    settings: [
      ["strong", 0],
      ["level", 1],
    ],
  },
  {
    id: "2",
    name: "Casual",
    settings: [
      ["strong", 0],
      ["level", 2],
    ],
  },
  {
    id: "3",
    name: "Intermediate",
    settings: [
      ["strong", 0],
      ["level", 3],
    ],
  },
  {
    id: "4",
    name: "Advanced",
    settings: [
      ["strong", 0],
      ["level", 4],
    ],
  },
  {
    id: "5",
    name: "Expert",
    settings: [
      ["strong", 0],
      ["level", 5],
    ],
  },
  {
    id: "full",
    name: "Full strength",
    settings: [
      ["level", 0],
      ["strong", 1],
    ],
  },
]);

export const FullStrength = "full";

// The settings of the level with this id.
export function levelSettings(id) {
  const level = Levels.find((l) => l.id === id);
  if (level === undefined) throw new RangeError(`no level "${id}"`);
  return level.settings;
}
