import {decodeMetars} from '/js/metar.js';
import {decodePireps} from '/js/pirep.js';
import {decodePointReply} from '/js/point.js';
import {adviceFor} from '/js/panels/status.js';
import {hourlyChart} from '/js/panels/chart.js';
import {cloudsText, pirepLabel, stationLabel, windText} from '/js/panels/describe.js';
import {pirepPopup, stationPopup} from '/js/panels/report-popups.js';
import {alertButton, createAlertPanel} from '/js/panels/alert-panel.js';
import {createSearchBox} from '/js/panels/search-box.js';
import {snapshotLabel} from '/js/panels/legends.js';
import {decodeTafs} from '/js/taf.js';
import {decodeDiscussion} from '/js/discussion.js';
import {leftOutNotes} from '/js/panels/layer-panel.js';
import {discussionNotes, forecastNotes} from '/js/panels/point-panel.js';
import {formatClock, formatDay, setTimeDisplay} from '/js/time.js';
import {normalizeUnits} from '/js/units.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const west = await testDocument('awc/metar_west.json');
const pireps = await testDocument('awc/pirep_west.json');
const hourly = await testDocument('nws/forecast_hourly_slc.json');
const grid = await testDocument('nws/gridpoints_slc.json');
const station = (id) => decodeMetars([west.find((record) => record.icaoId === id)])[0];
const decodePirep = (record) => decodePireps([record])[0];
const hourlySeries = (forecast, gridDocument) => decodePointReply({hourly: forecast, grid: gridDocument},
    {lat: 40.76, lon: -111.89}, NOW - 86400000).series;
// The chart's text alternative, as its title carries it.
const chartSummary = (series, chosen) => hourlyChart(series, chosen).querySelector('svg title').textContent;
const units = normalizeUnits(null);
const LIST_STEP = 200;  // the alert list grows this many entries at a time
// An alert's period as its list entry says it.
const alertPeriod = (alert, at) => alertButton({severity: 'Minor', event: '', area: '', ...alert}, {now: at, drawnAs: () => 'shape', onClick: () => {}})
    .querySelector('.alert-when').textContent;
// A station popup's TAF block.
const tafBlock = (taf, {now: at}, state = {missing: taf ? null : 'none'}) => stationPopup(station('KSLC'),
  {units, now: at, isFavourite: () => false, toggleFavourite: () => true, taf: {taf, ...state}}).querySelector('section.taf');
const NOW = Date.UTC(2026, 10, 20, 18, 0, 0);
const kslcTaf = async () => decodeTafs(await testDocument('awc/taf_west.json'), NOW).lookup('KSLC').taf;
const HOSTILE = '<img src=x onerror="window.hacked=1">';

describe('#windText', () => {
  it('reports gusts, variable and calm wind', () => {
    assert.strictEqual(windText(station('KSLC').wind, units), '180° at 22 kt, gusts 34 kt');
    assert.strictEqual(windText(station('KCNY').wind, units), 'variable at 4 kt');
    assert.strictEqual(windText(station('KVEL').wind, units), 'calm');
    assert.strictEqual(windText(station('KSLC').wind, {...units, speed: 'km/h'}), '180° at 41 km/h, gusts 63 km/h');
    assert.strictEqual(windText({speed: null}, units), 'not reported');
  });
});

describe('#cloudsText', () => {
  it('names covers and bases in the chosen unit', () => {
    assert.strictEqual(cloudsText(station('KSLC').clouds, units), 'few 5,000 ft, broken 9,000 ft, overcast 14,000 ft');
    assert.strictEqual(cloudsText(station('KYKM').clouds, {...units, distance: 'km'}), 'sky obscured 122 m');
    assert.strictEqual(cloudsText([], units), 'clear');
  });
});

describe('#stationLabel', () => {
  it('gives markers a text alternative with category, wind and age', () => {
    assert.strictEqual(stationLabel(station('KSLC'), units, NOW),
        'KSLC Salt Lake City Intl, UT, US, VFR, wind 180° at 22 kt, gusts 34 kt, 55 °F, ' +
        'visibility 10+ SM, observed 6 min ago');
  });
});

describe('#pirepLabel', () => {
  it('says urgent, altitude and hazards', () => {
    const urgent = decodePirep(pireps.find((r) => r.pirepType === 'Urgent PIREP'));
    const label = pirepLabel(urgent, NOW);
    // The level as the symbol shows it ("110") comes first, so the visible text is in the name.
    assert.ok(label.startsWith('Urgent pilot report, 110, 11,000 ft, Turbulence: severe mountain wave'), label);
  });
});

describe('#stationPopup', () => {
  it('decodes the report into rows', () => {
    const node = stationPopup(station('KSLC'), {units, now: NOW, isFavourite: () => false,
      toggleFavourite: () => true});
    const rows = Object.fromEntries([...node.querySelectorAll('dt')].map((dt) =>
      [dt.textContent, dt.nextElementSibling.textContent]));
    assert.strictEqual(rows.Wind, '180° at 22 kt, gusts 34 kt');
    assert.strictEqual(rows.Visibility, '10+ SM');
    assert.strictEqual(rows.Weather, 'light rain showers');
    assert.strictEqual(rows.Ceiling, '9,000 ft');
    assert.strictEqual(rows['Temperature / dew point'], '55 °F / 38 °F');
    assert.strictEqual(rows.Altimeter, '29.81 inHg');
    assert.match(rows.Observed, /^\d\d:54\S* \S*\s?\(6 min ago\)$|^\d\d:54 \S+ \(6 min ago\)$/);
    assert.strictEqual(node.querySelector('.raw').textContent, west.find((r) => r.icaoId === 'KSLC').rawOb);
  });
  it('says when the category was derived', () => {
    const node = stationPopup(station('KSUN'), {units, now: NOW, isFavourite: () => false,
      toggleFavourite: () => true});
    assert.ok(node.textContent.includes('Category derived from ceiling and visibility'));
  });
  it('shows hostile report text as text', () => {
    const record = {...west[0], rawOb: HOSTILE, name: HOSTILE, wxString: HOSTILE};
    const node = stationPopup(decodeMetars([record])[0], {units, now: NOW, isFavourite: () => false,
      toggleFavourite: () => true});
    document.body.appendChild(node);
    assert.strictEqual(node.querySelectorAll('img').length, 0);
    assert.strictEqual(node.querySelector('.raw').textContent, HOSTILE);
    node.remove();
  });
  it('switches the favourite button', () => {
    let state = false;
    const node = stationPopup(station('KSLC'), {units, now: NOW, isFavourite: () => state,
      toggleFavourite: () => (state = !state)});
    const button = node.querySelector('.favourite-toggle');
    button.click();
    assert.strictEqual(button.getAttribute('aria-pressed'), 'true');
    assert.strictEqual(state, true);
  });
});

describe('#pirepPopup', () => {
  it('shows hostile report text as text', () => {
    const node = pirepPopup(decodePirep({...pireps[0], rawOb: HOSTILE, acType: HOSTILE}),
        {units, now: NOW});
    assert.strictEqual(node.querySelectorAll('img').length, 0);
    assert.strictEqual(node.querySelector('.raw').textContent, HOSTILE);
  });
});

describe('#hourlyChart', () => {
  const series = hourlySeries(hourly, grid);
  it('summarises the chart as text', () => {
    setTimeDisplay('utc');
    assert.strictEqual(chartSummary(series, units), 'Hourly forecast for 48 hours from Fri Nov 20 17:00Z, temperature ' +
        `${Math.round(Math.min(...hourly.properties.periods.slice(0, 48).map((p) => p.temperature)))} to ` +
        `${Math.round(Math.max(...hourly.properties.periods.slice(0, 48).map((p) => p.temperature)))} °F, ` +
        chartSummary(series, units).split(' °F, ')[1]);
    assert.ok(/precipitation chance up to 80 % at Sat Nov 21 00:00Z\.$/.test(chartSummary(series, units)),
        chartSummary(series, units));
    setTimeDisplay('local');
  });
  it('carries one table row per hour and toggles the table', () => {
    const figure = hourlyChart(series, units);
    assert.strictEqual(figure.querySelectorAll('tbody tr').length, 48);
    const table = figure.querySelector('table');
    const button = figure.querySelector('button');
    assert.strictEqual(table.hidden, true);
    button.click();
    assert.strictEqual(table.hidden, false);
    assert.strictEqual(button.getAttribute('aria-expanded'), 'true');
    assert.strictEqual(figure.querySelector('svg').getAttribute('role'), 'img');
  });
  it('says so when there is no forecast', () => {
    assert.strictEqual(hourlyChart([], units).textContent, 'No hourly forecast in this reply.');
  });
});

/** Hourly chart rows from `from` to `to` (ms), with the given temperatures in °C. */
function chartRows(from, to, temperatures = [10]) {
  const rows = [];
  for (let start = from, i = 0; start < to; start += 3600000, i++) {
    rows.push({start, end: start + 3600000, startText: '', temperature: temperatures[i % temperatures.length],
      wind: 5, windDirection: 'S', gust: null, pop: 0, forecast: ''});
  }
  return rows;
}
// The temperature axis's ticks of a chart spanning `low` to `high` °C, as its labels read.
const niceTicks = (low, high) => [...hourlyChart(chartRows(0, 2 * 3600000, [low, high]),
  {...units, temperature: 'C'}).querySelectorAll('text[text-anchor="end"]')]
    .filter((label) => Number(label.getAttribute('y')) < 140).map((label) => Number(label.textContent));
// The midnights a chart from `from` to `to` divides its days at, as its date labels name them.
function midnights(from, to) {
  const svg = hourlyChart(chartRows(from, to), units).querySelector('svg');
  const lines = svg.querySelectorAll('.chart-day').length;  // each midnight has its line and date
  const dates = [...svg.querySelectorAll('text.chart-date')].map((label) => label.textContent);
  return lines ? dates.slice(-lines) : [];
}

describe('#hourlyChart: temperature axis', () => {
  it('covers the range with round steps', () => {
    const rows = [[[31, 57], [30, 40, 50, 60]], [[0, 34], [0, 10, 20, 30, 40]],
      [[-3, 4], [-4, -2, 0, 2, 4]], [[20, 20], [20, 21]]];
    for (const [[low, high], ticks] of rows) assert.deepEqual(niceTicks(low, high), ticks, `${low}..${high}`);
  });
});

describe('#hourlyChart: days', () => {
  it('finds the day boundaries of the zone chosen', () => {
    setTimeDisplay('utc');
    const from = Date.UTC(2026, 10, 20, 17);
    assert.deepEqual(midnights(from, from + 48 * 3600000), [Date.UTC(2026, 10, 21), Date.UTC(2026, 10, 22)].map((t) => formatDay(t)));
    assert.deepEqual(midnights(Date.UTC(2026, 10, 21), Date.UTC(2026, 10, 21, 23)), []);
    setTimeDisplay('local');
  });
});

describe('#adviceFor', () => {
  it('tells the reader what to do for each kind of failure', () => {
    const rows = [[{status: 429}, /busy/], [{status: 400}, /Change what was asked/],
      [{status: 400, message: 'Unsupported weather operation'}, /does not offer this data/],
      [{status: 500}, /restart the program/], [{status: 502}, /did not answer properly/],
      [{status: 0, timedOut: true}, /internet connection/],
      [{status: 0, message: 'The weather host is not available'}, /open the map from the program/]];
    for (const [error, advice] of rows) assert.match(adviceFor(error), advice, JSON.stringify(error));
  });
});

describe('#alertPeriod', () => {
  it('says from when and until when, and when no end was announced', () => {
    setTimeDisplay('utc');
    const t = (h, m = 0) => Date.UTC(2026, 10, 20, h, m);
    const rows = [
      [{onset: t(17), ends: t(20), expires: t(19)}, 'In force until Fri Nov 20 20:00Z'],
      [{onset: t(23), ends: t(30), expires: t(20)}, 'From Fri Nov 20 23:00Z until Sat Nov 21 06:00Z'],
      [{onset: t(17), ends: NaN, expires: t(19)}, 'In force until Fri Nov 20 19:00Z (message expiry; no end announced)'],
      [{onset: NaN, ends: NaN, expires: NaN}, 'In force; no end announced'],
      [{onset: t(23), ends: NaN, expires: NaN}, 'From Fri Nov 20 23:00Z; no end announced'],
    ];
    for (const [alert, text] of rows) assert.strictEqual(alertPeriod(alert, NOW), text, JSON.stringify(alert));
    setTimeDisplay('local');
  });
});

describe('#tafBlock', () => {
  it('lists the periods not yet over with their category, and says when there is no TAF', async () => {
    setTimeDisplay('utc');
    const taf = await kslcTaf();
    const later = Date.UTC(2026, 10, 21, 1);  // the opening group (18Z to 00Z) is over
    const block = tafBlock(taf, {units, now: later});
    const periods = [...block.querySelectorAll('.taf-period')];
    assert.strictEqual(periods.length, taf.periods.filter((period) => period.to > later).length);
    assert.ok(periods.every((item) => /^(VFR|MVFR|IFR|LIFR|Unknown)$/.test(item.querySelector('.badge').textContent)));
    assert.strictEqual(block.querySelector('.raw').textContent, taf.raw);
    assert.strictEqual(tafBlock(null, {units, now: later}).querySelector('.note').textContent,
        'No TAF for this airport (many small airports issue none).');
    setTimeDisplay('local');
  });
  it('dates a period\'s end when it crosses midnight', async () => {
    setTimeDisplay('utc');
    const taf = await kslcTaf();
    const when = [...tafBlock(taf, {units, now: NOW}).querySelectorAll('.taf-when')].map((item) => item.textContent.trim());
    assert.deepEqual(when.slice(0, 3), ['From Fri Nov 20 18:00Z to Sat Nov 21 00:00Z:',
      'Temporarily Fri Nov 20 20:00Z to 23:00Z:', 'From Sat Nov 21 00:00Z to 08:00Z:']);
    setTimeDisplay('local');
  });
  it('says "no TAF" only when the reply holds none, and what else it left out', async () => {
    const text = (state) => tafBlock(null, {now: NOW}, state).querySelector('.note').textContent;
    const rows = [
      [{missing: 'none'}, 'No TAF for this airport (many small airports issue none).'],
      [{missing: 'loading'}, 'Loading the TAFs…'],
      [{missing: 'failed', error: 'Weather download failed (HTTP 503)'},
        'The TAFs could not be loaded: Weather download failed (HTTP 503)'],
      [{missing: 'unreadable'}, 'This airport\'s TAF is not shown: its times lie outside the possible range.'],
      [{missing: 'beyond', received: 123456}, 'No TAF for this airport among the first 100,000 of the ' +
        '123,456 TAFs received: the most the map reads from one reply.'],
    ];
    for (const [state, expected] of rows) assert.strictEqual(text(state), expected, state.missing);
    const taf = await kslcTaf();
    const notes = (changes, state = {}) => [...tafBlock({...taf, ...changes}, {now: NOW}, state)
        .querySelectorAll('.taf-note')].map((note) => note.textContent);
    const noteRows = [
      [{}, {}, []],
      [{groupsReceived: 41}, {}, ['Showing the first 40 of 41 forecast groups.']],
      [{groupsReceived: 40, periodsOutOfRange: 1}, {}, ['1 forecast group left out: its time lies outside the possible range.']],
      [{periodsOutOfRange: 2}, {error: 'Timed out'}, ['2 forecast groups left out: their times lie outside the possible range.',
        'The latest refresh failed (Timed out); this is the last good TAF.']],
    ];
    for (const [changes, state, expected] of noteRows) assert.deepEqual(notes(changes, state), expected, JSON.stringify(changes));
  });
});

describe('#snapshotLabel', () => {
  it('names each G-AIRMET snapshot by its valid time, and which one is valid now', () => {
    const t = (h, m = 0) => Date.UTC(2026, 10, 20, h, m);
    setTimeDisplay('utc');
    const rows = [
      // valid time, the one valid now, now, label
      [t(18), t(18), t(18, 10), 'Valid 18Z (now)'], [t(21), t(18), t(18, 10), 'Valid 21Z'],
      [t(15), t(18), t(16, 30), 'Valid 15Z (past)'], [t(15), t(18), t(16, 29), 'Valid 15Z'],
      [t(16, 30), t(18), t(12), 'Valid 1630Z'],
    ];
    for (const [valid, validNow, now, label] of rows) assert.strictEqual(snapshotLabel(valid, validNow, now), label);
    for (const choice of ['local', 'both']) {
      setTimeDisplay(choice);
      assert.strictEqual(snapshotLabel(t(18), t(18), t(18)), `Valid 18Z · ${formatClock(t(18), 'local')} (now)`, choice);
    }
    setTimeDisplay('local');
  });
});

describe('#createSearchBox', () => {
  it('moves through suggestions with the arrow keys, chooses with Enter and keeps focus in the field', () => {
    const form = document.createElement('form');
    form.innerHTML = '<input id="t-input"><ul id="t-list" hidden></ul><span id="t-message"></span>';
    document.body.appendChild(form);
    const [input, listbox, message] = ['t-input', 't-list', 't-message'].map((id) => form.querySelector(`#${id}`));
    const chosen = [];
    let known = ['One', 'Two', 'Three'];
    const box = createSearchBox({form, input, listbox, message,
      suggest: (query) => known.filter((label) => query === 'x' || label.startsWith(query))
          .map((label) => ({kind: 'place', label})),
      choose: (suggestion) => chosen.push(suggestion.label) && ''});
    input.focus();
    input.value = 'x';
    input.dispatchEvent(new Event('input'));
    assert.strictEqual(input.getAttribute('aria-expanded'), 'true');
    const key = (name) => input.dispatchEvent(new KeyboardEvent('keydown', {key: name, bubbles: true}));
    key('ArrowDown');
    key('ArrowDown');
    assert.strictEqual(input.getAttribute('aria-activedescendant'), 'search-option-2');
    key('ArrowDown');  // wraps round
    assert.strictEqual(listbox.querySelector('[aria-selected="true"]').textContent, 'One');
    key('ArrowUp');
    form.requestSubmit();
    assert.deepEqual(chosen, ['Three']);
    assert.strictEqual(input.value, 'Three');
    assert.strictEqual(document.activeElement, input);
    assert.strictEqual(listbox.hidden, true);
    input.value = 'zz';
    input.dispatchEvent(new Event('input'));
    assert.strictEqual(message.textContent, 'No place, station or coordinates match "zz".');
    // The index grows while the user types (place names arrive after the first drawing): the
    // text is answered again, the best match first unless the user moved to an option.
    const options = () => [...listbox.querySelectorAll('[role="option"]')].map((o) => o.textContent);
    const selected = () => listbox.querySelector('[aria-selected="true"]')?.textContent;
    known = ['zz town'];
    box.refresh();
    assert.deepEqual([options(), message.textContent], [['zz town'], '']);
    const type = (text) => (input.value = text) && input.dispatchEvent(new Event('input'));
    for (const [moves, expected] of [[0, 'Zero'], [1, 'Two']]) {
      known = ['One', 'Two', 'Three'];
      type('x');
      for (let i = 0; i < moves; i++) key('ArrowDown');
      known = ['Zero', 'One', 'Two', 'Three'];
      box.refresh();
      assert.deepEqual([options().length, selected()], [4, expected]);
    }
    form.requestSubmit();  // chosen: a later growth opens nothing
    box.refresh();
    assert.deepEqual([options(), input.value], [[], 'Two']);
    type('x');
    input.blur();
    known = ['Later'];
    box.refresh();
    assert.ok(!options().includes('Later'));  // nobody is typing there any more
    form.remove();
  });
});

describe('#createAlertPanel', () => {
  it('lists a long day of alerts a step at a time, most severe first', () => {
    const container = document.body.appendChild(document.createElement('section'));
    const panel = createAlertPanel(container, {onShowOnMap: () => {}, drawnAs: () => 'shape'});
    const alerts = Array.from({length: LIST_STEP * 2 + 1}, (_, i) => ({key: `a${i}`, event: `Alert ${i}`,
      severity: i === LIST_STEP * 2 ? 'Extreme' : 'Minor', area: '', onset: NaN, ends: NaN, expires: NaN}));
    panel.update(alerts, [], NOW);
    const items = () => container.querySelectorAll('.alert-item');
    const more = () => container.querySelector('.more button');
    assert.strictEqual(items().length, LIST_STEP);
    assert.strictEqual(items()[0].dataset.alert, `a${LIST_STEP * 2}`);
    assert.strictEqual(more().textContent, `Show ${LIST_STEP} more (${LIST_STEP + 1} not listed yet)`);
    more().click();
    assert.strictEqual(items().length, LIST_STEP * 2);
    assert.strictEqual(document.activeElement, items()[LIST_STEP]);
    assert.strictEqual(more().textContent, 'Show 1 more (1 not listed yet)');
    more().click();
    assert.strictEqual(items().length, LIST_STEP * 2 + 1);
    assert.isNull(more());
    container.remove();
  });
});

describe('what a panel says it left out', () => {
  it('words every limit and every item with an impossible time where the data is shown', () => {
    const rows = [
      [leftOutNotes({received: 20000, outOfRange: 0}, 20000, ['report', 'reports']), []],
      [leftOutNotes({received: 20001, outOfRange: 0}, 20000, ['report', 'reports']),
        ['Showing 20,000 of 20,001 reports: the most the map reads from one reply.']],
      [leftOutNotes({received: 3, outOfRange: 1}, 2000, ['alert', 'alerts']),
        ['1 alert left out: its time lies outside the possible range.']],
      [leftOutNotes({received: 6000, outOfRange: 2}, 5000, ['report', 'reports']),
        ['Showing 5,000 of 6,000 reports: the most the map reads from one reply.',
          '2 reports left out: their times lie outside the possible range.']],
      [leftOutNotes({}, 10, ['report', 'reports']), []],
      [discussionNotes({shortened: false, length: 200000}), []],
      [discussionNotes({shortened: true, length: 200001}),
        ['Discussion shortened: showing the first 200,000 of 200,001 characters.']],
      [forecastNotes({outOfRange: 0}), []],
      [forecastNotes({outOfRange: 1}), ['1 period left out: its time lies outside the possible range.']],
      [forecastNotes({outOfRange: 3}), ['3 periods left out: their times lie outside the possible range.']],
    ];
    for (const [[notes, expected], index] of rows.map((row, i) => [row, i])) assert.deepEqual(notes, expected, `row ${index}`);
  });
  it('shortens a discussion only past 200,000 characters', () => {
    const lengths = [199999, 200000, 200001].map((length) => decodeDiscussion({productText: 'x'.repeat(length)}));
    assert.deepEqual(lengths.map((d) => [d.shortened, d.text.length]), [[false, 199999], [false, 200000], [true, 200000]]);
  });
});
