import {decodeAlerts} from '/js/alerts.js';
import {decodeDiscussion} from '/js/discussion.js';
import {decodeForecast} from '/js/forecast.js';
import {decodeHazards} from '/js/hazards.js';
import {runEach} from '/js/isolation.js';
import {inSlices} from '/js/slices.js';
import {decodeMetars} from '/js/metar.js';
import {decodePireps} from '/js/pirep.js';
import {decodePointReply} from '/js/point.js';
import {EARLIEST_SERVICE_TIME, TimeOutOfRange, decodeEach, decodeEachInSlices, formatAge, formatDateTime,
  formatTime, formatUntil, parseValidTime, serviceTime} from '/js/time.js';
import {setTimeZoneTable, stationTimeZone, timeZoneAt} from '/js/time-zones.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

describe('#formatAge', () => {
  it('writes minutes, hours and days', () => {
    const rows = [[0, 'just now'], [59999, 'just now'], [60000, '1 min ago'], [3599999, '59 min ago'],
      [3600000, '1 h ago'], [3900000, '1 h 5 min ago'], [49 * 3600000, '2 d ago'],
      [-20 * 60000, 'in 20 min'], [NaN, 'age unknown']];
    for (const [age, text] of rows) assert.strictEqual(formatAge(age), text, String(age));
  });
});

describe('#formatDateTime', () => {
  it('writes UTC times with a Z and local times with the zone\'s name', () => {
    const time = Date.UTC(2026, 10, 20, 17, 57);
    assert.strictEqual(formatDateTime(time, 'utc'), 'Fri Nov 20 17:57Z');
    assert.match(formatDateTime(time, 'local'), /^\w{3} Nov 2\d \d\d:57 \S+$/);
    assert.strictEqual(formatDateTime(NaN), '');
  });
});

describe('#formatUntil', () => {
  it('dates an end only when it falls on another day than its start', () => {
    const t = (day, h, m = 0) => Date.UTC(2026, 10, day, h, m);
    const rows = [
      // start, end, text
      [t(20, 18), t(20, 23, 59), '23:59Z'], [t(20, 18), t(21, 0), 'Sat Nov 21 00:00Z'],
      [t(20, 0), t(20, 0), '00:00Z'], [t(20, 23), t(22, 1), 'Sun Nov 22 01:00Z'],
      [t(20, 18), t(20 + 365, 18), 'Sat Nov 20 18:00Z'],  // a year on: not the same day
      [NaN, t(20, 18), 'Fri Nov 20 18:00Z'], [t(20, 18), NaN, ''],
    ];
    for (const [start, end, text] of rows) assert.strictEqual(formatUntil(start, end, 'utc'), text, `${start} ${end}`);
  });
});

/** The duration of a grid interval starting at midnight, as parseValidTime reads it; NaN when unreadable. */
function parseDuration(text) {
  const interval = parseValidTime(`2026-11-20T00:00:00+00:00/${text}`);
  return interval ? interval.end - interval.start : NaN;
}

describe('#parseValidTime: durations', () => {
  it('reads the durations of grid intervals', () => {
    assert.strictEqual(parseDuration('PT3H'), 3 * 3600000);
    assert.strictEqual(parseDuration('P7DT14H'), (7 * 24 + 14) * 3600000);
    assert.strictEqual(parseDuration('P1D'), 24 * 3600000);
    assert.isNaN(parseDuration('P'));
    assert.isNaN(parseDuration('3H'));
  });
});

describe('#parseValidTime', () => {
  it('reads start and end of an interval', () => {
    assert.deepEqual(parseValidTime('2026-11-20T17:00:00+00:00/PT2H'),
        {start: Date.UTC(2026, 10, 20, 17), end: Date.UTC(2026, 10, 20, 19)});
    assert.strictEqual(parseValidTime('garbage'), null);
    assert.strictEqual(parseValidTime(17), null);
  });
});

describe('#formatTime', () => {
  // 17:57Z on Fri Nov 20 2026; 00:30Z on Sat is still Friday evening in the West.
  const time = Date.UTC(2026, 10, 20, 17, 57);
  const evening = Date.UTC(2026, 10, 21, 0, 30);
  it('writes a place\'s own zone, UTC, or both, as the reader chose', () => {
    const rows = [
      [time, {zone: 'America/Denver', choice: 'local'}, 'Fri Nov 20 10:57 MST'],
      [time, {zone: 'America/Los_Angeles', choice: 'local'}, 'Fri Nov 20 09:57 PST'],
      [time, {zone: 'America/Phoenix', form: 'clock', choice: 'local'}, '10:57 MST'],
      [time, {zone: 'America/Denver', choice: 'utc'}, 'Fri Nov 20 17:57Z'],
      [time, {zone: 'America/Denver', form: 'clock', choice: 'both'}, '10:57 MST (17:57Z)'],
      [evening, {zone: 'America/Los_Angeles', choice: 'both'}, 'Fri Nov 20 16:30 PST (Sat 00:30Z)'],
      [evening, {zone: 'America/Los_Angeles', form: 'day', choice: 'both'}, 'Fri Nov 20'],
      [Date.UTC(2026, 6, 4, 18), {zone: 'America/Boise', form: 'clock', choice: 'local'}, '12:00 MDT'],
      // A zone the browser's data does not have is shown in UTC, never in a wrong local time.
      [time, {zone: 'Not/A_Zone', choice: 'local'}, 'Fri Nov 20 17:57Z'],
      [NaN, {zone: 'America/Denver'}, ''],
    ];
    for (const [ms, how, text] of rows) assert.strictEqual(formatTime(ms, how), text, JSON.stringify(how));
  });
  it('writes a time of no particular place in this computer\'s zone', () => {
    assert.match(formatTime(time, {choice: 'local'}), /^\w{3} Nov 2\d \d\d:57 \S+$/);
    assert.strictEqual(formatTime(time, {form: 'clock', choice: 'utc'}), '17:57Z');
  });
});

describe('#timeZoneAt, #stationTimeZone', () => {
  it('finds the zone of airports beside zone lines from the build\'s table', async () => {
    setTimeZoneTable((await import('/data/time-zones.js')).default);
    const rows = [
      ['KSLC', 40.7856, -111.9807, 'America/Denver'],
      ['KPHX', 33.435, -112.0002, 'America/Phoenix'],
      ['KRQE', 35.6706, -109.0739, 'America/Denver'],  // Window Rock, Navajo Nation: keeps summer time
      ['KGCN', 35.9519, -112.1475, 'America/Phoenix'],
      ['KBOI', 43.5693, -116.2219, 'America/Boise'],
      ['KLWS', 46.3747, -117.0144, 'America/Los_Angeles'],  // northern Idaho
      ['KISN', 48.1779, -103.642, 'America/Chicago'],  // Williston, North Dakota
      ['KCVN', 34.4272, -103.0789, 'America/Denver'],  // Clovis, New Mexico, 50 km from Texas
      ['KELP', 31.7989, -106.396, 'America/Denver'],
      ['KPSC', 46.2591, -119.1152, 'America/Los_Angeles'],
    ];
    for (const [id, lat, lon, zone] of rows) assert.strictEqual(stationTimeZone({id, lat, lon}), zone, id);
    assert.strictEqual(timeZoneAt(40.76, -111.89), 'America/Denver');
    assert.strictEqual(timeZoneAt(45.5, -122.7), 'America/Los_Angeles');
    for (const [lat, lon] of [[30.9, -111], [49.6, -111], [40, -125.1], [40, -101.9], [NaN, -111]]) {
      assert.strictEqual(timeZoneAt(lat, lon), null, `${lat},${lon}`);
    }
  });
});

describe('#serviceTime: the window of times a service may send', () => {
  const now = Date.UTC(2026, 10, 20, 18);
  const DAY = 86400000;
  it('takes 1990 to now + 10 days for reports and now + 30 days for forecasts, at the edges', () => {
    const rows = [
      // ms, kind, accepted
      [EARLIEST_SERVICE_TIME - 1, 'report', false], [EARLIEST_SERVICE_TIME, 'report', true],
      [EARLIEST_SERVICE_TIME + 1, 'forecast', true], [now + 10 * DAY - 1, 'report', true],
      [now + 10 * DAY, 'report', true], [now + 10 * DAY + 1, 'report', false],
      [now + 30 * DAY, 'forecast', true], [now + 30 * DAY + 1, 'forecast', false],
      [1e13 * 1000, 'forecast', false], [1e300 * 1000, 'report', false], [Infinity, 'report', false],
      [-Infinity, 'report', false], [Date.UTC(9999, 0, 1), 'forecast', false], [-3600000, 'report', false],
      [0, 'report', false],
    ];
    for (const [ms, kind, accepted] of rows) {
      if (accepted) assert.strictEqual(serviceTime(ms, kind, now), ms, `${ms} ${kind}`);
      else assert.throws(() => serviceTime(ms, kind, now), TimeOutOfRange, /outside the data's possible range/, `${ms} ${kind}`);
    }
    assert.isNaN(serviceTime(NaN, 'report', now), 'a time not given stays unknown');
  });
  it('drops and counts the items holding one in every decoder, keeping the rest', () => {
    const inTime = now / 1000;
    const rows = [
      // decoder's count of [kept, left out], for one good record and one of each bad time
      ['METARs', (time) => ({icaoId: `K${Math.abs(time) % 997 | 0}`, lat: 40, lon: -111, obsTime: time}),
        (records) => {
          const decoded = decodeMetars(records, now);
          return [decoded.length, decoded.outOfRange];
        }],
      ['PIREPs', (time) => ({lat: 40, lon: -111, obsTime: time}), (records) => {
        const decoded = decodePireps(records, now);
        return [decoded.length, decoded.outOfRange];
      }],
      ['alerts', (time) => ({properties: {id: String(time), sent: new Date(Math.min(time * 1000, 8.64e15)).toISOString()}}),
        (records) => {
          const decoded = decodeAlerts({features: records}, now);
          return [decoded.alerts.length, decoded.outOfRange];
        }],
      ['hazards', (time) => ({hazard: 'TURB', coords: [{lat: 40, lon: -112}, {lat: 41, lon: -111}, {lat: 40, lon: -111}],
        validTimeFrom: time, validTimeTo: time}), (records) => {
        const decoded = decodeHazards({cwas: records}, now);
        return [decoded.items.length, decoded.counts.cwas.outOfRange];
      }],
      ['forecast periods', (time) => ({startTime: new Date(Math.min(time * 1000, 8.64e15)).toISOString(),
        endTime: new Date(Math.min(time * 1000 + 3600000, 8.64e15)).toISOString()}), (records) => {
        const decoded = decodeForecast({properties: {periods: records}}, now);
        return [decoded.periods.length, decoded.outOfRange];
      }],
    ];
    // In time; year 9999; before 1990; 11 days ahead (for a report), 31 (for a forecast).
    const times = [inTime, Date.UTC(9999, 0, 1) / 1000, -3600, inTime + 11 * 86400, inTime + 31 * 86400];
    for (const [name, record, counts] of rows) {
      const forecast = name === 'hazards' || name === 'forecast periods';
      const expected = forecast ? [2, 3] : [1, 4];
      assert.deepEqual(counts(times.map(record)), expected, name);
    }
    // 1e300 s and 1e13 s as numbers, where the services give seconds.
    assert.deepEqual([decodeMetars([{icaoId: 'KSLC', lat: 40, lon: -111, obsTime: 1e300}], now).outOfRange,
      decodeHazards({sigmets: [{hazard: 'TURB', coords: [{lat: 40, lon: -112}, {lat: 41, lon: -111},
        {lat: 40, lon: -111}], validTimeTo: 1e13}]}, now).counts.sigmets.outOfRange], [1, 1]);
  });
  it('leaves a point reply\'s impossible times unknown or out, with a warning, and a discussion\'s unknown', () => {
    const reply = decodePointReply({observation: {properties: {timestamp: '9999-12-31T00:00:00Z'}},
      hourly: {properties: {generatedAt: '-000001-01-01T00:00:00Z', periods: [
        {startTime: '2026-11-20T18:00:00Z'}, {startTime: '+020000-01-01T00:00:00Z'}]}}}, {lat: 40, lon: -111}, now);
    assert.deepEqual([reply.observation, reply.hours.length, reply.forecastTime], [null, 1, NaN]);
    assert.deepEqual(reply.warnings, ['One hour of the hourly forecast left out: their times lie outside the possible range.',
      'The latest observation is not shown: its time lies outside the possible range.']);
    const discussion = decodeDiscussion({productText: 'x', issuanceTime: '9999-01-01T00:00:00Z'}, now);
    assert.deepEqual([discussion.issued, discussion.issuedOutOfRange], [NaN, true]);
  });
});

describe('#formatTime: beyond the browser\'s date range', () => {
  it('writes nothing and never throws', () => {
    for (const ms of [8.64e15 + 1, -8.64e15 - 1, 1e303, Infinity]) {
      for (const choice of ['local', 'utc', 'both']) {
        assert.strictEqual(formatTime(ms, {zone: 'America/Denver', choice}), '', `${ms} ${choice}`);
      }
      assert.strictEqual(formatUntil(Date.UTC(2026, 10, 20), ms, 'America/Denver'), '');
    }
    assert.strictEqual(formatUntil(1e300, Date.UTC(2026, 10, 20, 18), 'utc'), 'Fri Nov 20 18:00Z');
  });
});

describe('#runEach', () => {
  it('runs every step though one throws, and reports that one', () => {
    const ran = [];
    const reported = [];
    const failed = runEach([['a', () => ran.push('a')], ['b', () => {
      throw new RangeError('date value is not finite');
    }], ['c', () => ran.push('c')]], (name, error) => reported.push([name, error.message]));
    assert.deepEqual([ran, failed, reported], [['a', 'c'], ['b'], [['b', 'date value is not finite']]]);
    // A report that throws stops nothing either.
    assert.deepEqual(runEach([['x', () => {
      throw new Error('x');
    }], ['y', () => ran.push('y')]], () => {
      throw new Error('report');
    }), ['x']);
    assert.deepEqual(ran.at(-1), 'y');
  });
});

describe('#inSlices, #decodeEachInSlices', () => {
  it('gives the thread to waiting tasks between slices', async () => {
    const seen = [];
    const other = new MessageChannel();
    other.port1.onmessage = () => seen.push('other task');
    other.port2.postMessage(null);
    await inSlices(3, (index) => {
      seen.push(index);
      const until = performance.now() + 3;
      while (performance.now() < until) { /* a slow step */ }
    }, 1);
    other.port1.close();
    assert.deepEqual(seen, [0, 'other task', 1, 2]);
  });
  it('decodes as decodeEach does', async () => {
    const now = Date.UTC(2026, 10, 20, 18);
    const records = Array.from({length: 3000}, (_, i) => (i % 7 ? now - i : -i));
    const decode = (ms) => serviceTime(ms, 'report', now);
    assert.deepEqual(await decodeEachInSlices(records, decode), decodeEach(records, decode));
  });
});
