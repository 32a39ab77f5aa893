import {decodeMetars} from '/js/metar.js';
import {MAX_GROUPS, MAX_TAFS, decodeTafs} from '/js/taf.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const records = await testDocument('awc/taf_west.json');
const Z = (day, hour, minute = 0) => Date.UTC(2026, 10, day, hour, minute);
const NOW = Z(20, 18);
const index = decodeTafs(records, NOW);
const record = (id) => records.find((r) => r.icaoId === id);
const ids = [...new Set(records.map((r) => r.icaoId))];
const tafs = ids.map((id) => index.lookup(id).taf);
const taf = (id) => index.lookup(id).taf;
/** Every TAF of a reply, as the popups find them. */
const allOf = (list, now = NOW) => {
  const found = decodeTafs(list, now);
  const stations = [...new Set(list.map((r) => String(r?.icaoId ?? '').trim().toUpperCase()))];
  return stations.map((id) => found.lookup(id).taf).filter(Boolean);
};
// One record through the reply's decoders.
const decodeTaf = (record) => allOf([record])[0];
const parseServiceTime = (text) => decodeTaf({icaoId: 'KTST', issueTime: text}).issued;
const flightCategory = (record) => decodeMetars([{icaoId: 'KTST', lat: 40, lon: -111, ...record}])[0].category;

describe('#decodeTafs: issue times', () => {
  it('reads both forms the service writes, and refuses the rest', () => {
    const rows = [
      ['2026-11-20T17:20:00.000Z', Z(20, 17, 20)], ['2026-11-20 17:20:00.000Z', Z(20, 17, 20)],
      ['2023-11-03 23:20:00.000Z', Date.UTC(2023, 10, 3, 23, 20)], ['2026-11-20 17:20:00', Z(20, 17, 20)],
      ['2026-11-20T17:20Z', Z(20, 17, 20)], ['2026-11-20T10:20:00-07:00', Z(20, 17, 20)],
      ['2026-11-20T17:20:00.5Z', Z(20, 17, 20) + 500], ['2026-11-20T17:20:00.123456Z', Z(20, 17, 20) + 123],
      [' 2026-11-20T17:20:00Z ', Z(20, 17, 20)], ['2024-02-29 00:00:00Z', Date.UTC(2024, 1, 29)],
      ['2026-02-29 00:00:00Z', NaN], ['2026-13-01T00:00:00Z', NaN], ['2026-11-20T24:00:00Z', NaN],
      ['2026-11-20T23:60:00Z', NaN], ['2026-11-20', NaN], ['20 Nov 2026 17:20', NaN], ['', NaN],
      [null, NaN], [1795197600, NaN],
    ];
    for (const [text, time] of rows) {
      if (Number.isNaN(time)) assert.isNaN(parseServiceTime(text), String(text));
      else assert.strictEqual(parseServiceTime(text), time, String(text));
    }
  });
});

describe('#decodeTafs', () => {
  it('decodes every TAF with its issue time in either form', () => {
    assert.lengthOf(tafs, 20);
    for (const decoded of tafs) {
      assert.strictEqual(decoded.issued, Date.parse(record(decoded.id).issueTime.replace(' ', 'T')), decoded.id);
      assert.strictEqual(decoded.validFrom, Z(20, 18), decoded.id);
      assert.strictEqual(decoded.raw, record(decoded.id).rawTAF);
      assert.isAbove(decoded.periods.length, 1, decoded.id);
    }
    assert.strictEqual(taf('KOGD').issued, Z(20, 17, 20));  // "2026-11-20 17:20:00.000Z"
    assert.strictEqual(taf('KOXR').issued, Z(20, 17, 50));
    assert.deepEqual(tafs.filter((decoded) => decoded.amended).map((decoded) => decoded.id), ['KTUS', 'KOXR']);
  });
  it('decodes the Salt Lake City groups with their flight categories', () => {
    const rows = taf('KSLC').periods.map((p) => [p.change, p.from, p.to, p.category, p.ceiling,
      p.visibility, p.wind && [p.wind.direction, p.wind.speed, p.wind.gust], p.weather]);
    assert.deepEqual(rows, [
      [null, Z(20, 18), Z(21, 0), 'VFR', 9000, {miles: 6, orMore: true}, [180, 22, 35], 'light rain showers'],
      ['TEMPO', Z(20, 20), Z(20, 23), 'MVFR', 2500, {miles: 3, orMore: false}, [190, 30, 45], 'rain showers'],
      ['FM', Z(21, 0), Z(21, 8), 'IFR', 800, {miles: 2, orMore: false}, [310, 15, 25],
        'light snow showers; mist'],
      ['TEMPO', Z(21, 2), Z(21, 5), 'LIFR', 400, {miles: 0.5, orMore: false}, [310, 15, 25], 'snow'],
      ['FM', Z(21, 8), Z(21, 15), 'VFR', 5000, {miles: 6, orMore: true}, [340, 8, null], 'light snow showers'],
      ['FM', Z(21, 15), Z(22, 0), 'VFR', null, {miles: 6, orMore: true}, [320, 10, null], ''],
    ]);
    const tempo = taf('KSLC').periods[3];
    assert.isNull(tempo.stated.wind, 'the TEMPO group states no wind: the prevailing one holds');
    assert.strictEqual(tempo.verticalVisibility, 400);
  });
  it('reads probability, variable gusty wind, CB and TCU, wind shear and becoming times', () => {
    const prob = taf('KLAS').periods[1];
    assert.deepEqual([prob.change, prob.probability, prob.wind, prob.category],
        ['PROB', 30, {direction: 'VRB', speed: 25, gust: 40, calm: false}, 'IFR']);
    assert.deepEqual(taf('KLAS').periods[0].clouds, [{cover: 'BKN', base: 6000, type: 'CB'},
      {cover: 'OVC', base: 10000, type: null}]);
    assert.deepEqual(taf('KOGD').periods[0].windShear, {height: 2000, direction: 210, speed: 45});
    assert.isNull(taf('KOGD').periods[1].windShear);
    const becoming = taf('KSGU').periods[1];
    assert.deepEqual([becoming.change, becoming.becomingBy], ['BECMG', record('KSGU').fcsts[1].timeBec * 1000]);
    assert.strictEqual(taf('KOGD').periods.at(-1).weather, 'no significant weather');
  });
  it('judges each prevailing group like a METAR, and finds every category', () => {
    const seen = new Set();
    for (const decoded of tafs) {
      for (const [index, period] of decoded.periods.entries()) {
        seen.add(period.category);
        if (period.change !== null && period.change !== 'FM') continue;
        const group = record(decoded.id).fcsts[index];
        assert.strictEqual(period.category, flightCategory({clouds: group.clouds, visib: group.visib,
          vertVis: group.vertVis}), `${decoded.id} group ${index}`);
      }
    }
    assert.deepEqual([...seen].sort(), ['IFR', 'LIFR', 'MVFR', 'VFR']);
  });
  it('keeps the latest TAF of a station and drops what it cannot read', () => {
    const older = {...record('KSLC'), issueTime: '2026-11-20T11:20:00.000Z', rawTAF: 'older'};
    const newer = {...record('KSLC'), issueTime: '2026-11-20 17:25:00.000Z', rawTAF: 'newer'};
    assert.deepEqual(allOf([newer, older]).map((t) => t.raw), ['newer']);
    assert.deepEqual(allOf([older, newer]).map((t) => t.raw), ['newer']);
    assert.deepEqual(allOf([null, 5, {icaoId: ''}, {icaoId: 'K SLC'}, {icaoId: 'kslc', fcsts: 'x'}])
        .map((t) => [t.id, t.periods.length, t.issued]), [['KSLC', 0, NaN]]);
    const [a, b] = [NOW / 1000, NOW / 1000 + 3600];
    const broken = decodeTaf({icaoId: 'KXYZ', fcsts: [null, {timeFrom: 'a', timeTo: b}, {timeFrom: b, timeTo: a},
      {timeFrom: a, timeTo: b, fcstChange: 'WHAT', wdir: 'N', wspd: '5', visib: 'far', clouds: 'OVC010'}]});
    assert.deepEqual(broken.periods.map((p) => [p.change, p.wind, p.visibility, p.clouds, p.category]),
        [[null, null, null, [], null]]);
    assert.throws(() => decodeTafs({}), TypeError, 'TAF reply is not a list of forecasts');
  });
});

describe('#decodeTafs: large and hostile replies', () => {
  const kslc = record('KSLC');
  const filler = (count) => Array.from({length: count}, (_, i) => ({icaoId: String(i).padStart(5, '0'),
    issueTime: kslc.issueTime}));
  it('finds a station at position 30,000 of 50,000, and says when one may lie past what it reads', () => {
    const reply = filler(50000);
    reply[30000] = kslc;
    const found = decodeTafs(reply, NOW);
    assert.strictEqual(found.lookup('KSLC').taf.raw, kslc.rawTAF);
    assert.deepEqual([found.received, found.stations], [50000, 50000]);
    assert.deepEqual(found.lookup('KOGD'), {taf: null, missing: 'none'});
    const huge = filler(MAX_TAFS + 1);
    huge[MAX_TAFS] = kslc;
    assert.deepEqual(decodeTafs(huge, NOW).lookup('KSLC'), {taf: null, missing: 'beyond'});
  });
  it('leaves out groups and TAFs with times outside the possible range, and counts them', () => {
    const [first, second] = kslc.fcsts;
    const rows = [
      // group changes, periods kept, periods left out
      [{timeTo: 1e13}, 5, 1], [{timeFrom: -3600}, 5, 1], [{timeBec: 1e300}, 5, 1],
      [{timeTo: (NOW + 30 * 86400000) / 1000}, 6, 0], [{timeTo: (NOW + 30 * 86400000) / 1000 + 1}, 5, 1],
      [{timeFrom: Date.UTC(1990, 0, 1) / 1000}, 6, 0], [{timeFrom: Date.UTC(1990, 0, 1) / 1000 - 1}, 5, 1],
    ];
    for (const [change, kept, left] of rows) {
      const decoded = decodeTaf({...kslc, fcsts: [first, {...second, ...change}, ...kslc.fcsts.slice(2)]});
      assert.deepEqual([decoded.periods.length, decoded.periodsOutOfRange], [kept, left], JSON.stringify(change));
    }
    const bad = (change) => decodeTafs([{...kslc, ...change}], NOW).lookup('KSLC');
    for (const change of [{issueTime: '9999-01-01T00:00:00Z'}, {validTimeTo: 1e13}, {validTimeFrom: -1},
      {bulletinTime: '1989-12-31T23:59:00Z'}]) {
      assert.deepEqual(bad(change), {taf: null, missing: 'unreadable'}, JSON.stringify(change));
    }
    // An older TAF with readable times stands in for a newer one without.
    const older = {...kslc, issueTime: '2026-11-20T11:20:00Z', rawTAF: 'older'};
    assert.strictEqual(decodeTafs([older, {...kslc, validTimeTo: 1e13}], NOW).lookup('KSLC').taf.raw, 'older');
  });
  it('reads the first groups of a TAF and counts them all', () => {
    const many = decodeTaf({...kslc, fcsts: Array(MAX_GROUPS + 5).fill(kslc.fcsts[0])});
    assert.deepEqual([many.periods.length, many.groupsReceived], [MAX_GROUPS, MAX_GROUPS + 5]);
  });
});
