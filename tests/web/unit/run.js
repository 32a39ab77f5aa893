// Runs the page's unit tests with mocha in this page (its HTML report shows them to a person) and
// leaves window.unitResults, a promise of [{suite, name, error}] (error null when passed), for
// unit.test.mjs to report through node's test runner.
import {config} from 'chai';
import {mocha} from 'mocha';

const MODULES = ['metar', 'units', 'geo', 'pirep', 'alerts', 'point', 'time', 'bridge',
  'thinning', 'panels', 'places', 'coordinates', 'search', 'taf', 'hazards', 'forecast', 'discussion',
  'request-budget', 'zones', 'winds', 'route', 'imagery', 'backcountry'];

const failureText = (error) => error?.stack || String(error);

config.truncateThreshold = 0;  // failure texts show whole values, not "{ Object (a, …) }"

mocha.setup({ui: 'bdd', timeout: 10000});
const results = [];
// One module at a time, so suites keep their order; a module that fails to load is reported
// under its own name instead of hiding the others.
for (const name of MODULES) {
  try {
    await import(`./${name}.test.js`);
  } catch (error) {
    results.push({suite: `${name}.test.js`, name: 'loads', error: failureText(error)});
  }
}

window.unitResults = new Promise((resolve) => {
  const runner = mocha.run();
  const record = (test, error) => results.push({suite: test.parent.fullTitle(), name: test.title,
    error: error ? failureText(error) : null});
  runner.on('pass', (test) => record(test, null));
  runner.on('fail', (test, error) => record(test, error));
  runner.on('end', () => resolve(results));
});
