// A small describe/it harness for unit tests that run inside the browser against the page's own
// modules; unit.test.mjs collects the results and reports them through node's test runner.

const suites = [];
let current = null;

export function describe(name, body) {
  const suite = {name: current ? `${current.name} ${name}` : name, tests: []};
  suites.push(suite);
  const outer = current;
  current = suite;
  body();
  current = outer;
}

export function it(name, body) {
  current.tests.push({name, body});
}

function show(value) {
  try {
    return JSON.stringify(value);
  } catch {
    return String(value);
  }
}

function sorted(value) {
  if (Array.isArray(value)) return value.map(sorted);
  if (value && typeof value === 'object') {
    return Object.fromEntries(Object.keys(value).sort().map((key) => [key, sorted(value[key])]));
  }
  return value;
}

export const assert = {
  ok(value, message = `expected a true value, got ${show(value)}`) {
    if (!value) throw new Error(message);
  },
  equal(actual, expected, message = '') {
    if (!Object.is(actual, expected)) {
      throw new Error(`${message ? message + ': ' : ''}expected ${show(expected)}, got ${show(actual)}`);
    }
  },
  deepEqual(actual, expected, message = '') {
    if (show(sorted(actual)) !== show(sorted(expected))) {
      throw new Error(`${message ? message + ': ' : ''}expected ${show(expected)}, got ${show(actual)}`);
    }
  },
  close(actual, expected, tolerance, message = '') {
    if (!(Math.abs(actual - expected) <= tolerance)) {
      throw new Error(`${message ? message + ': ' : ''}expected ${expected} ± ${tolerance}, got ${actual}`);
    }
  },
  throws(body, pattern) {
    try {
      body();
    } catch (error) {
      if (pattern && !pattern.test(error.message)) {
        throw new Error(`error "${error.message}" does not match ${pattern}`);
      }
      return;
    }
    throw new Error('expected an error');
  },
  async rejects(promise, check) {
    try {
      await promise;
    } catch (error) {
      check?.(error);
      return;
    }
    throw new Error('expected a rejection');
  },
};

/** Reads one of the project's service test documents. */
export async function testDocument(path) {
  const response = await fetch(`/__data/${path}`);
  if (!response.ok) throw new Error(`cannot read tests/data/${path}`);
  return response.json();
}

/** Runs every registered test; resolves with [{suite, name, error}] (error null when passed). */
export async function run() {
  const results = [];
  for (const suite of suites) {
    for (const test of suite.tests) {
      let error = null;
      try {
        await test.body();
      } catch (failure) {
        error = failure?.stack || String(failure);
      }
      results.push({suite: suite.name, name: test.name, error});
    }
  }
  return results;
}
