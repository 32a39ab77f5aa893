import {parseCoordinates} from '/js/coordinates.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

const SLC = {lat: 40.76, lon: -111.89};
const DM = {lat: 40 + 45.6 / 60, lon: -(111 + 53.4 / 60)};
const DMS = {lat: 40 + 45 / 60 + 36 / 3600, lon: -(111 + 53 / 60 + 24 / 3600)};

function assertReads(text, expected) {
  const read = parseCoordinates(text);
  assert.isNotNull(read, text);
  assert.closeTo(read.lat, expected.lat, 1e-9, `latitude of ${text}`);
  assert.closeTo(read.lon, expected.lon, 1e-9, `longitude of ${text}`);
}

describe('#parseCoordinates', () => {
  it('reads decimal degrees with signs or hemisphere letters, comma or blank separated', () => {
    const rows = ['40.76, -111.89', '40.76,-111.89', ' 40.76 -111.89 ', '+40.76 -111.89',
      '40.76N 111.89W', '40.76 N, 111.89 W', 'N40.76 W111.89', 'n 40.76 w 111.89', '40.76n111.89w',
      '40.76° N, 111.89° W', '40.76°N 111.89°W', '111.89W 40.76N', 'W111.89, N40.76',
      '40.76N, -111.89', '40.76 −111.89'];
    for (const text of rows) assertReads(text, SLC);
    assertReads('-33.5, 151.25E', {lat: -33.5, lon: 151.25});
    assertReads('0 0', {lat: 0, lon: 0});
    assert.isFalse(Object.is(parseCoordinates('-0, -0').lat, -0), 'no negative zero');
  });
  it('reads degrees and minutes', () => {
    const rows = ['40 45.6N 111 53.4W', '40°45.6′N 111°53.4′W', '40°45.6\'N, 111°53.4\'W',
      'N40°45.6′ W111°53.4′', 'N 40 45.6 W 111 53.4', '40 45.6, -111 53.4', '40 45.6 -111 53.4',
      '40° 45.6’ N 111° 53.4’ W'];
    for (const text of rows) assertReads(text, DM);
    assertReads('40 45N 111 53W', {lat: 40.75, lon: -(111 + 53 / 60)});
  });
  it('reads degrees, minutes and seconds', () => {
    const rows = ['40°45′36″N 111°53′24″W', '40°45\'36"N 111°53\'24"W', '40 45 36 N 111 53 24 W',
      '40°45′36″ N, 111°53′24″ W', 'N40 45 36 W111 53 24', '40°45\'36\'\'N 111°53\'24\'\'W',
      '40 45 36, -111 53 24', '40 45 36 -111 53 24', '40°45′36.0″N 111°53′24.0″W'];
    for (const text of rows) assertReads(text, DMS);
  });
  it('takes every range and part boundary on the right side', () => {
    const rows = [
      // text, latitude or null
      ['90, 0', 90], ['90.0001, 0', null], ['-90, 0', -90], ['-90.0001, 0', null],
      ['0, 180', 0], ['0, 180.0001', null], ['0, -180', 0], ['0, -180.0001', null],
      ['89 59.999N 0E', 89 + 59.999 / 60], ['89 60N 0E', null], ['89 59 59.99N 0E', 89 + 59 / 60 + 59.99 / 3600],
      ['89 59 60N 0E', null], ['90 0.001N 0E', null], ['40 -30N 111W', null],
    ];
    for (const [text, lat] of rows) {
      const read = parseCoordinates(text);
      if (lat === null) assert.isNull(read, text);
      else assert.closeTo(read?.lat, lat, 1e-9, text);
    }
  });
  it('refuses what is not one reading of a position', () => {
    const rows = [
      null, undefined, 40.76, '', '   ', 'Moab', 'KSLC', '40.76', '40.76,', ',-111.89',
      '40.76, -111.89, 12', '40.76; -111.89', '40.76N 41.2S', '111W 112E', '-40.76S 111.89W',
      '40.76N -111.89W', '40.5 30N 111W', '40 30.5 20N 111W', '40°30\'N 111"W', '40 N 30 111W',
      '40 30 20 10', '1 2 3 4 5', '40.76 -111.89 x', '40..76 -111.89', '4e1 -111.89',
      `40.76, -111.89${' '.repeat(100)}`,
    ];
    for (const text of rows) assert.isNull(parseCoordinates(text), String(text));
  });
});
