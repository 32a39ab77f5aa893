import {formatAge, formatDateTime, formatTime, formatUntil, parseValidTime} from '/js/time.js';
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
