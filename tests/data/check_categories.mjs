// The flight categories of the service test documents, judged by the page's own decoders (the
// rule the map draws with, vertical visibility included): every METAR's own "fltCat" is the
// category its clouds and visibility give, and the TAF groups bring all four categories.
import assert from 'node:assert/strict';
import {readFileSync} from 'node:fs';
import {it} from 'node:test';
import {decodeMetars} from '../../web/js/metar.js';
import {decodeTafs} from '../../web/js/taf.js';

const read = (name) => JSON.parse(readFileSync(new URL(name, import.meta.url), 'utf8'));
const CATEGORIES = ['IFR', 'LIFR', 'MVFR', 'VFR'];

for (const name of ['awc/metar_west.json', 'awc/metar_ids.json']) {
  it(`${name}: each fltCat is the category the clouds and visibility give`, () => {
    const records = read(name).filter((record) => 'fltCat' in record);
    assert.ok(records.length > 0);
    // Without its own "fltCat" the decoder derives the category.
    const derived = decodeMetars(records.map(({fltCat, ...rest}) => rest));
    assert.deepEqual(derived.map((station) => `${station.id} ${station.category}`),
        records.map((record) => `${record.icaoId} ${record.fltCat}`));
  });
}

it('awc/taf_west.json: the groups bring all four flight categories', () => {
  const tafs = decodeTafs(read('awc/taf_west.json'), Date.UTC(2026, 10, 20, 18));
  const categories = new Set(tafs.within({south: -90, west: -180, north: 90, east: 180})
      .flatMap((taf) => taf.periods.map((period) => period.category)));
  assert.deepEqual(CATEGORIES.filter((category) => categories.has(category)), CATEGORIES);
});
