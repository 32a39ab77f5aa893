import {METAR_AREA, bearingDegrees, buildMetarBox, compassPoint, distanceMetres,
  formatPointArgument} from '/js/geo.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

const bytes = (text) => new TextEncoder().encode(text).length;

const AREA = METAR_AREA;

function insideArea(argument) {
  const [south, west, north, east] = argument.split(',').map(Number);
  return south >= AREA.south && north <= AREA.north && west >= AREA.west && east <= AREA.east &&
      south < north && west < east;
}

describe('#buildMetarBox', () => {
  it('snaps the view outward to a quarter degree', () => {
    assert.strictEqual(buildMetarBox({south: 40.6, west: -112.1, north: 41.1, east: -111.6}),
        '40.5,-112.25,41.25,-111.5');
  });
  it('clamps a view that reaches past the allowed area', () => {
    assert.strictEqual(buildMetarBox({south: 29, west: -130, north: 52, east: -95}),
        [AREA.south, AREA.west, AREA.north, AREA.east].join(','));
    assert.strictEqual(buildMetarBox({south: 48.9, west: -123, north: 50.2, east: -121}), `48.75,-123,${AREA.north},-121`);
  });
  it('gives nothing for a view wholly outside the area', () => {
    assert.strictEqual(buildMetarBox({south: 20, west: -100, north: 25, east: -90}), null);
    assert.strictEqual(buildMetarBox({south: 40, west: -101, north: 41, east: -99}), null);
    assert.strictEqual(buildMetarBox({south: NaN, west: -112, north: 41, east: -111}), null);
  });
  it('always stays inside the area and within 96 bytes', () => {
    const views = [];
    for (let south = 28; south < 52; south += 0.37) {
      for (let west = -128; west < -99; west += 0.53) {
        views.push({south, west, north: south + 0.613, east: west + 1.117});
      }
    }
    let built = 0;
    for (const view of views) {
      const box = buildMetarBox(view);
      if (box === null) continue;
      built++;
      assert.ok(insideArea(box), `${box} from ${JSON.stringify(view)}`);
      assert.ok(bytes(box) <= 96, box);
      assert.ok(/^-?[\d.]+(,-?[\d.]+){3}$/.test(box), box);
    }
    assert.isAbove(built, 1000);
  });
});

describe('#formatPointArgument', () => {
  it('writes latitude,longitude with at most four decimals', () => {
    assert.strictEqual(formatPointArgument(40.76, -111.89), '40.76,-111.89');
    assert.strictEqual(formatPointArgument(40.760849, -111.891047), '40.7608,-111.891');
    assert.strictEqual(formatPointArgument(24, -126), '24,-126');
  });
});

describe('#distanceMetres', () => {
  it('measures Salt Lake City airport from downtown', () => {
    const point = {lat: 40.76, lon: -111.89};
    const airport = {lat: 40.7785, lon: -111.9694};
    assert.closeTo(distanceMetres(point, airport), 6990, 60);
    assert.strictEqual(compassPoint(bearingDegrees(point, airport)), 'WNW');
  });
  it('names the sixteen compass points', () => {
    assert.strictEqual(compassPoint(0), 'N');
    assert.strictEqual(compassPoint(359), 'N');
    assert.strictEqual(compassPoint(22.5), 'NNE');
    assert.strictEqual(compassPoint(225), 'SW');
    assert.strictEqual(compassPoint(NaN), '');
  });
});
