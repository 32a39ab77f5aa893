import {bearingDegrees, compassPoint, distanceMetres, formatPointArgument} from '/js/geo.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

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
