import {formatAge, formatDateTime, formatUntil, parseValidTime} from '/js/time.js';
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
