// velka in a dedicated (classic) Web Worker: the page posts protocol lines and gets answer lines.
//
//   const engine = new Worker("engine-worker.js");
//   engine.onmessage = (event) => show(event.data); // one answer line, without line end
//   engine.postMessage("START 15"); // one protocol line, without line end
//
// The engine (pbrain-velka.js, beside this file) loads asynchronously; lines posted meanwhile wait
// in its input queue. After END the engine exits and the worker closes itself.
"use strict";

self.Module = {
  print: (line) => self.postMessage(line),
  printErr: (text) => console.warn(text),
  onExit: () => self.close(),
};

importScripts("pbrain-velka.js");

// Exiting after END leaves an ExitStatus to unwind through the engine's pending promise; it is the
// normal end, not an error.
self.onunhandledrejection = (event) => {
  if (event.reason && event.reason.name === "ExitStatus") event.preventDefault();
};

self.onmessage = (event) => self.Module.velkaInput.pushLine(String(event.data));
