// Long lists from the services are decoded a slice at a time, and the browser gets the thread
// between slices, so a reply of many megabytes never freezes the map. A slice ends after a few
// milliseconds; MessageChannel rather than a timer hands the thread back, since timers are
// throttled and wait for the next frame.

const SLICE_MS = 8;

/**
 * Resolves once the browser has had the thread for the tasks waiting (input, drawing).
 * @returns {Promise<void>}
 */
export function yieldToBrowser() {
  return new Promise((/** @type {(value?: void) => void} */ resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      channel.port1.close();
      resolve();
    };
    channel.port2.postMessage(null);
  });
}

/**
 * step(index) for every index below count, yielding to the browser whenever a slice has run
 * sliceMs.
 * @param {number} count
 * @param {(index: number) => void} step
 * @param {number} [sliceMs=SLICE_MS]
 */
export async function inSlices(count, step, sliceMs = SLICE_MS) {
  let sliceStart = performance.now();
  for (let index = 0; index < count; index++) {
    step(index);
    if (performance.now() - sliceStart > sliceMs) {
      await yieldToBrowser();
      sliceStart = performance.now();
    }
  }
}
