// One part of the page that throws must not stop the others: each layer's drawing, its panel
// lines and each step of the clock's tick run on their own, so one bad item costs only its part.

/**
 * Runs every step in order; a step that throws is passed to onError(name, error) and the ones
 * after it still run. Returns the names of the steps that threw.
 * @param {[string, () => void][]} steps
 * @param {(name: string, error: any) => void} [onError]  logs to the console
 * @returns {string[]}
 */
export function runEach(steps, onError = (name, error) => console.error(`${name} failed`, error)) {
  const failed = [];
  for (const [name, step] of steps) {
    try {
      step();
    } catch (error) {
      failed.push(name);
      try {
        onError(name, error);
      } catch {
        // the report of a failure must not stop the steps after it either
      }
    }
  }
  return failed;
}
