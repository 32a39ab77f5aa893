import {WindsTableError, columnAt, decodeWindCell, decodeWinds, windAt} from '/js/winds.js';
import {windsStation} from '/js/winds-stations.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const low = await testDocument('nws/fd1_us1_latest.json');
const high = await testDocument('nws/fd8_us7_latest.json');
const reply = (product) => ({issuanceTime: product.issuanceTime, issuingOffice: product.issuingOffice,
  productText: product.productText});
const wind = (direction, speed, temperature, {light = false, orMore = false} = {}) =>
  ({direction, speed, orMore, light, temperature});
const HEADER = '\n000\nFBUS31 KWNO 201359\nFD1US1\nDATA BASED ON 201200Z    \n' +
  'VALID 201800Z   FOR USE 1400-2100Z. TEMPS NEG ABV 24000\n\n' +
  'FT  3000    6000    9000   12000   18000   24000  30000  34000  39000\n';
const table = (rows, header = HEADER) => ({issuanceTime: '2026-11-20T13:59:00+00:00', productText: header + rows});

describe('#decodeWindCell', () => {
  it('follows every coding rule to its boundary', () => {
    const rows = [
      // cell, level, decoded
      ['', 9000, null],
      ['    ', 9000, null],
      ['3127', 3000, wind(310, 27, null)],
      ['0105', 6000, wind(10, 5, null)],
      ['3605', 6000, wind(360, 5, null)],
      ['2435+07', 12000, wind(240, 35, 7)],
      ['2435-07', 24000, wind(240, 35, -7)],
      ['2435+00', 18000, wind(240, 35, 0)],
      ['2435-00', 18000, wind(240, 35, 0)],
      ['274650', 30000, wind(270, 46, -50)],
      ['274600', 30000, wind(270, 46, 0)],
      ['2746-50', 30000, wind(270, 46, -50)],
      ['9900', 3000, wind(null, 0, null, {light: true})],
      ['9900+10', 6000, wind(null, 0, 10, {light: true})],
      ['990048', 34000, wind(null, 0, -48, {light: true})],
      ['3699', 9000, wind(360, 99, null)],
      ['5100', 30000, wind(10, 100, null)],
      ['731960', 39000, wind(230, 119, -60)],
      ['770853', 39000, wind(270, 108, -53)],
      ['860052', 34000, wind(360, 100, -52)],
      ['7799', 39000, wind(270, 199, null, {orMore: true})],
      ['779955', 39000, wind(270, 199, -55, {orMore: true})],
    ];
    for (const [cell, level, decoded] of rows) assert.deepEqual(decodeWindCell(cell, level), decoded, cell);
  });
  it('refuses what no rule writes', () => {
    const rows = [
      ['0027', 9000], ['3727', 9000], ['5027', 9000], ['8727', 9000], ['9901', 9000], ['9800', 9000],
      ['243507', 24000], ['243507', 12000], ['2435+7', 12000], ['24 35', 9000], ['2435+07+', 9000],
      ['243', 9000], ['2435+075', 9000], ['ABCD', 9000], ['2435X07', 12000],
    ];
    for (const [cell, level] of rows) {
      assert.throws(() => decodeWindCell(cell, level), WindsTableError, undefined, `${cell} at ${level}`);
    }
    assert.doesNotThrow(() => decodeWindCell('243507', 24001));
  });
});

describe('#decodeWinds', () => {
  it('reads the whole low-level bulletin by its columns', () => {
    const decoded = decodeWinds(reply(low));
    assert.deepEqual([decoded.product, decoded.issued, decoded.basedOn, decoded.valid, decoded.useFrom, decoded.useTo],
      ['FD1US1', Date.UTC(2026, 10, 20, 13, 59), Date.UTC(2026, 10, 20, 12), Date.UTC(2026, 10, 20, 18),
        Date.UTC(2026, 10, 20, 14), Date.UTC(2026, 10, 20, 21)]);
    assert.deepEqual(decoded.levels, [3000, 6000, 9000, 12000, 18000, 24000, 30000, 34000, 39000]);
    assert.lengthOf(decoded.stations, 60);
    const slc = decoded.stations.find((s) => s.id === 'SLC');
    // "SLC         2631 2641-08 2651-14 2671-26 2690-38 761050 762458 763059"
    assert.deepEqual(slc.winds, [null, wind(260, 31, null), wind(260, 41, -8), wind(260, 51, -14),
      wind(260, 71, -26), wind(260, 90, -38), wind(260, 110, -50), wind(260, 124, -58), wind(260, 130, -59)]);
    const blh = decoded.stations.find((s) => s.id === 'BLH');
    assert.deepEqual(blh.winds.slice(0, 2), [wind(null, 0, null, {light: true}), wind(null, 0, 5, {light: true})]);
    const als = decoded.stations.find((s) => s.id === 'ALS');
    assert.deepEqual(als.winds.slice(0, 4).map(Boolean), [false, false, false, true], 'blank below 12,000 ft at Alamosa');
    for (const station of decoded.stations) {
      if (!/^(ABI|ABR|AMA|DAL)$/.test(station.id)) assert.isNotNull(windsStation(station.id), station.id);
    }
  });
  it('reads the high levels and the 12-hour window across midnight', () => {
    const decoded = decodeWinds(reply(high));
    assert.deepEqual(decoded.levels, [45000, 53000]);
    assert.deepEqual(decoded.stations.find((s) => s.id === 'ABI').winds, [wind(250, 37, -56), wind(250, 24, -58)]);
    const twelve = decodeWinds(table('SLC         2631\n', HEADER.replace('VALID 201800Z   FOR USE 1400-2100Z',
        'VALID 210000Z   FOR USE 2100-0600Z')));
    assert.deepEqual([twelve.valid, twelve.useFrom, twelve.useTo], [Date.UTC(2026, 10, 21), Date.UTC(2026, 10, 20, 21),
      Date.UTC(2026, 10, 21, 6)]);
    const monthEnd = decodeWinds({issuanceTime: '2026-11-30T20:00:00+00:00', productText: HEADER.replace(
        'VALID 201800Z   FOR USE 1400-2100Z', 'VALID 010600Z   FOR USE 0200-0900Z') + 'SLC         2631\n'});
    assert.deepEqual([monthEnd.valid, monthEnd.useFrom, monthEnd.useTo], [Date.UTC(2026, 11, 1, 6),
      Date.UTC(2026, 11, 1, 2), Date.UTC(2026, 11, 1, 9)]);
  });
  it('takes a short row as blank at its end and stops at the table\'s end', () => {
    const decoded = decodeWinds(table('SLC         2631\nGJT              2642-06\n\nEND OF BULLETIN\n'));
    assert.deepEqual(decoded.stations.map((s) => [s.id, s.winds.filter(Boolean).length]), [['SLC', 1], ['GJT', 1]]);
  });
  it('refuses a table of the wrong shape whole, saying why', () => {
    const rows = [
      // what is wrong, reply, the refusal's words
      ['no text', {productText: null}, 'no bulletin text'],
      ['no valid line', {productText: HEADER.replace(/VALID.*\n/, '') + 'SLC 2631\n'}, '"VALID … FOR USE …"'],
      ['no FT line', {productText: HEADER.replace(/FT .*\n/, '') + 'SLC 2631\n'}, '"FT" line'],
      ['falling levels', table('SLC 2631\n', HEADER.replace('6000    9000', '9000    6000')), 'rising levels'],
      ['a level that is no number', table('SLC 2631\n', HEADER.replace('39000', '39K00')), 'rising levels'],
      ['a cell one column early', table('SLC        2631 2641-08\n'), 'does not end under 6000'],
      ['a cell one column late', table('SLC          2631\n'), 'the row of SLC'],
      ['a last cell one column early', table('SLC        2631\n'), 'does not end under 6000'],
      ['a row past the last column', table('SLC 3214 3431-04 3540-09 3536-15 3431-28 3335-41 312756 323555 3443531\n'),
        'runs past'],
      ['an unsigned temperature at 24,000 ft', table('SLC 3214 3431-04 3540-09 3536-15 3431-28  333541\n'),
        'without its sign'],
      ['no station id', table('    3214\n'), 'does not start with a station'],
      ['a long station id', table('KSLC3214\n'), 'does not start with a station'],
      ['two rows of one station', table('SLC 3214\nSLC 3214\n'), 'two rows'],
      ['no rows', table('\n\n'), 'no station rows'],
      ['a bad valid day', table('SLC 3214\n', HEADER.replace('201800Z', '321800Z')), 'cannot be read'],
      ['2 MB of text', {productText: HEADER + 'x'.repeat(2 * 1024 * 1024)}, 'longer than a bulletin'],
    ];
    for (const [what, bad, words] of rows) {
      assert.throws(() => decodeWinds(bad, Date.UTC(2026, 10, 20, 18)), WindsTableError, words, what);
    }
  });
});

describe('#windAt', () => {
  const decoded = decodeWinds(reply(low));
  it('interpolates a column between its levels and leaves out what it lacks', () => {
    const slc = decoded.stations.find((s) => s.id === 'SLC');
    assert.isNull(columnAt(decoded, slc, 3000), 'no wind at SLC 3,000 ft');
    assert.isNull(columnAt(decoded, slc, 4500), 'between a blank and a reported level');
    assert.isNull(columnAt(decoded, slc, 40000), 'above the table');
    const at = columnAt(decoded, slc, 10500);
    assert.deepEqual([at.direction, Math.round(at.speed), at.temperature], [260, 46, -11]);
    const level = columnAt(decoded, slc, 9000);
    assert.deepEqual([level.direction, level.speed.toFixed(6), level.temperature, level.light], [260, '41.000000', -8, false]);
  });
  it('weights the nearest stations by distance', () => {
    const position = (id) => windsStation(id);
    const atSlc = windAt(decoded, position, {lat: 40.79, lon: -111.98}, 12000);
    assert.strictEqual(atSlc.stations[0], 'SLC');
    assert.closeTo(atSlc.speed, 51, 1, 'at the station its own wind');
    const between = windAt(decoded, position, {lat: 39.95, lon: -110.25}, 12000);
    assert.includeMembers(between.stations, ['SLC', 'GJT']);
    assert.isAbove(between.speed, 45);
    assert.isBelow(between.speed, 60);
    assert.isNull(windAt(decoded, position, {lat: 20, lon: -150}, 12000), 'no station within reach');
  });
});
