import {thinStations} from '/js/thinning.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

const at = (id, x, y, category, time = 0) => ({id, x, y, category, time});
const project = (station) => ({x: station.x, y: station.y});

describe('#thinStations', () => {
  it('keeps one station per cell', () => {
    const stations = [at('A', 1, 1, 'VFR'), at('B', 5, 5, 'VFR'), at('C', 30, 1, 'VFR')];
    assert.deepEqual(thinStations(stations, project, 20, new Set()).map((s) => s.id).sort(), ['A', 'C']);
  });
  it('prefers the worse flight category, then favourites above all', () => {
    const stations = [at('A', 1, 1, 'VFR'), at('B', 2, 2, 'LIFR'), at('C', 3, 3, 'IFR')];
    assert.deepEqual(thinStations(stations, project, 20, new Set()).map((s) => s.id), ['B']);
    assert.deepEqual(thinStations(stations, project, 20, new Set(['A'])).map((s) => s.id), ['A']);
  });
  it('prefers the newer report among equals', () => {
    const stations = [at('A', 1, 1, 'VFR', 5), at('B', 2, 2, 'VFR', 9), at('C', 3, 3, 'VFR', 7)];
    assert.deepEqual(thinStations(stations, project, 20, new Set()).map((s) => s.id), ['B']);
  });
  it('keeps every station when cells are small enough', () => {
    const stations = Array.from({length: 50}, (_, i) => at(`S${i}`, i * 30, (i % 7) * 30, 'VFR'));
    assert.strictEqual(thinStations(stations, project, 20, new Set()).length, 50);
  });
  it('ranks an unknown category lowest', () => {
    const stations = [at('A', 1, 1, null, 9), at('B', 2, 2, 'VFR', 5)];
    assert.deepEqual(thinStations(stations, project, 20, new Set()).map((s) => s.id), ['B']);
  });
});
