import {decodePireps, describeLayer, pirepOpacity} from '/js/pirep.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const reports = await testDocument('awc/pirep_west.json');
// One record through the reply's decoder: the report, or null when it is left out.
const decodePirep = (record) => decodePireps([record])[0] ?? null;

describe('#decodePirep', () => {
  it('reads the flight level in hundreds of feet', () => {
    const report = decodePirep(reports[0]);  // FL120
    assert.strictEqual(report.altitude, 12000);
    assert.strictEqual(decodePirep({...reports[0], fltLvl: 14}).altitude, 1400);
    assert.strictEqual(decodePirep({...reports[0], fltLvl: '230'}).altitude, 23000);  // older layout
    assert.strictEqual(decodePirep({...reports[0], fltLvl: 0}).altitude, null);  // FLUNKN
  });
  it('reads turbulence bases and tops in hundreds of feet', () => {
    const [layer] = decodePirep(reports[0]).turbulence;
    assert.deepEqual([layer.intensity, layer.type, layer.base, layer.top], ['MOD', 'CHOP', 10000, 14000]);
    assert.strictEqual(describeLayer(layer), 'moderate chop 10,000–14,000 ft');
  });
  it('marks urgent reports', () => {
    const urgent = decodePireps(reports).filter((report) => report.urgent);
    assert.strictEqual(urgent.length, 2);
    assert.deepEqual(urgent.map((r) => r.turbulenceRank || r.icingRank), [3, 3]);
  });
  it('has no hazard layers where the report has none', () => {
    const plain = decodePirep(reports.find((r) => r.rawOb.startsWith('LAX')));
    assert.deepEqual([plain.turbulence.length, plain.icing.length], [0, 0]);
  });
  it('refuses reports without a position and survives wrong types', () => {
    assert.strictEqual(decodePirep({...reports[0], lat: null}), null);
    const odd = decodePirep({lat: 40, lon: -111, tbInt1: 7, rawOb: ['x'], pirepType: null});
    assert.strictEqual(odd.kind, 'PIREP');
    assert.strictEqual(odd.raw, '');
    assert.deepEqual(odd.turbulence, []);
  });
  it('throws on a reply that is not a list', () => {
    assert.throws(() => decodePireps('oops'), /not a list/);
  });
});

describe('#pirepOpacity', () => {
  it('fades older reports down to a floor', () => {
    assert.strictEqual(pirepOpacity(10 * 60000), 1);
    assert.strictEqual(pirepOpacity(30 * 60000), 1);
    assert.ok(pirepOpacity(90 * 60000) < 1);
    assert.ok(pirepOpacity(90 * 60000) > pirepOpacity(150 * 60000));
    assert.strictEqual(pirepOpacity(180 * 60000), 0.35);
    assert.strictEqual(pirepOpacity(600 * 60000), 0.35);
  });
});
