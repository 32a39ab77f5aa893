// Runs the page modules' unit tests (tests/web/unit/: mocha and chai inside the browser, see
// unit/run.js) and reports each mocha test as one node test, with mocha's failure text.
import {after, describe, it} from 'node:test';
import {startBrowser} from './browser.mjs';

const {browser, origin} = await startBrowser();
const context = await browser.newContext();
const page = await context.newPage();
const pageErrors = [];
page.on('pageerror', (error) => pageErrors.push(error));
await page.goto(`${origin}/__tests/unit/index.html`);
// A module that fails to load never sets the results: wait a bounded time, then report why.
const results = await page.waitForFunction(() => window.unitResults, null, {timeout: 60000})
    .then(() => page.evaluate(() => window.unitResults))
    .catch(() => []);
await context.close();

after(async () => (await startBrowser()).close());

it('loads every unit test module without errors', () => {
  if (pageErrors.length) throw pageErrors[0];
  if (!results.length) throw new Error('no unit tests ran');
});

const suites = new Map();
for (const result of results) {
  if (!suites.has(result.suite)) suites.set(result.suite, []);
  suites.get(result.suite).push(result);
}
for (const [suite, tests] of suites) {
  describe(suite, () => {
    for (const test of tests) {
      it(test.name, () => {
        if (test.error) throw new Error(test.error);
      });
    }
  });
}
