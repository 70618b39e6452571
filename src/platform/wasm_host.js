// The JavaScript half of the WebAssembly platform (linked in front of the engine with --pre-js):
// the queue of the manager's input that platform_wasm.cpp reads. A host pushes bytes and ends
// the input; under Node the host is stdin, set up here; in a Web Worker it is engine-worker.js,
// which pushes each posted line.

// (No class fields or optional chaining: Emscripten's minifier predates them.)
class InputQueue {
  constructor() {
    this.bytes = new Uint8Array(4096);
    this.start = 0;
    this.end = 0;
    this.ended = false;
    this.isTerminal = false;
    this.wakeReader = null;
  }

  push(chunk) {
    if (this.end + chunk.length > this.bytes.length) {
      const kept = this.bytes.subarray(this.start, this.end);
      const grown = new Uint8Array(Math.max(this.bytes.length, 2 * (kept.length + chunk.length)));
      grown.set(kept);
      this.bytes = grown;
      this.end = kept.length;
      this.start = 0;
    }
    this.bytes.set(chunk, this.end);
    this.end += chunk.length;
    this.wake();
  }

  pushLine(line) {
    this.push(new TextEncoder().encode(`${line}\n`));
  }

  finish() {
    this.ended = true;
    this.wake();
  }

  wake() {
    const wakeReader = this.wakeReader;
    this.wakeReader = null;
    if (wakeReader) wakeReader();
  }

  // Index just past the first line end, or -1 when no whole line is queued.
  lineEnd() {
    const newline = this.bytes.subarray(this.start, this.end).indexOf(10);
    return newline < 0 ? -1 : this.start + newline + 1;
  }

  // Copies queued bytes, up to the first line end, to memory[at ...]; -1 at the end of the
  // input, 0 when nothing is queued yet.
  take(memory, at, capacity) {
    if (this.start === this.end) return this.ended ? -1 : 0;
    const lineEnd = this.lineEnd();
    const stop = Math.min(lineEnd < 0 ? this.end : lineEnd, this.start + capacity);
    memory.set(this.bytes.subarray(this.start, stop), at);
    const taken = stop - this.start;
    this.start = stop;
    return taken;
  }

  // Copies the next whole line (the last one also when the input ended without its line end),
  // without its line end, cut to capacity - 1 bytes and terminated, to memory[at ...] and leaves
  // it queued. 1 when there was one, -1 at the end of the input, else 0.
  peekLine(memory, at, capacity) {
    let stop = this.lineEnd() - 1;
    if (stop < 0) {
      if (!this.ended) return 0;
      if (this.start === this.end) return -1;
      stop = this.end;
    }
    if (stop > this.start && this.bytes[stop - 1] === 13) --stop;
    stop = Math.min(stop, this.start + capacity - 1);
    memory.set(this.bytes.subarray(this.start, stop), at);
    memory[at + stop - this.start] = 0;
    return 1;
  }

  arrival() {
    return new Promise((resolve) => {
      this.wakeReader = resolve;
    });
  }

  // One turn of the event loop, so that input events waiting behind the engine are handled.
  // setImmediate under Node runs after the pending I/O; a MessageChannel message elsewhere, as
  // setTimeout(0) would be held back to 4 ms once nested.
  eventLoopTurn() {
    if (typeof setImmediate === "function") return new Promise((resolve) => setImmediate(resolve));
    return new Promise((resolve) => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => {
        channel.port1.close();
        resolve();
      };
      channel.port2.postMessage(0);
    });
  }
}

Module.velkaInput = new InputQueue();

// Under Node as a command-line engine: the manager's lines come on stdin. (A worker, or Node
// running one, pushes lines itself.)
Module.preRun = [].concat(Module.preRun || [], () => {
  if (!ENVIRONMENT_IS_NODE || ENVIRONMENT_IS_WORKER) return;
  const input = Module.velkaInput;
  input.isTerminal = Boolean(process.stdin.isTTY);
  process.stdin.on("data", (chunk) => input.push(chunk));
  process.stdin.on("end", () => input.finish());
});
