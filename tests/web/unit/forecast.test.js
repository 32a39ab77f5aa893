import {currentPeriods, decodeForecast} from '/js/forecast.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

const document = await testDocument('nws/forecast_slc.json');
const forecast = decodeForecast(document);
const MST = (day, hour) => Date.UTC(2026, 10, day, hour + 7);

describe('#decodeForecast', () => {
  it('lists the fourteen periods with their times, texts and values', () => {
    assert.deepEqual([forecast.updated, forecast.generated, forecast.units, forecast.elevation],
        [Date.UTC(2026, 10, 20, 16, 42, 51), Date.UTC(2026, 10, 20, 17, 58, 2), 'us', 1306.0752]);
    assert.deepEqual(forecast.periods.map((p) => p.name), ['This Afternoon', 'Tonight', 'Saturday',
      'Saturday Night', 'Sunday', 'Sunday Night', 'Monday', 'Monday Night', 'Tuesday', 'Tuesday Night',
      'Wednesday', 'Wednesday Night', 'Thanksgiving Day', 'Thursday Night']);
    const first = forecast.periods[0];
    assert.deepEqual(first, {number: 1, name: 'This Afternoon', start: MST(20, 11), end: MST(20, 18),
      startText: '2026-11-20T11:00:00-07:00', endText: '2026-11-20T18:00:00-07:00', isDaytime: true,
      temperature: 61, temperatureUnit: 'F', trend: 'falling', precipitation: 80,
      windSpeed: '20 to 30 mph', windGust: '45 mph', windDirection: 'S',
      shortForecast: 'Rain Showers Likely and Windy',
      detailedForecast: document.properties.periods[0].detailedForecast});
    for (const [index, period] of forecast.periods.entries()) {
      const given = document.properties.periods[index];
      assert.strictEqual(period.isDaytime, index % 2 === 0, period.name);
      assert.strictEqual(period.precipitation, given.probabilityOfPrecipitation.value, period.name);
      assert.strictEqual(period.windGust, given.windGust, period.name);
      if (index) assert.strictEqual(period.start, forecast.periods[index - 1].end, period.name);
    }
    assert.lengthOf(forecast.periods.filter((p) => p.precipitation === null), 6);
  });
  it('reads values given as unit objects and leaves out periods it cannot place', () => {
    const period = document.properties.periods[1];
    const decoded = decodeForecast({properties: {periods: [
      {...period, temperature: {unitCode: 'wmoUnit:degC', value: -3.5}, probabilityOfPrecipitation: 40,
        windSpeed: {unitCode: 'wmoUnit:km_h-1', minValue: 9.6, maxValue: 24.1},
        windGust: {unitCode: 'wmoUnit:km_h-1', value: 40.2}, temperatureTrend: 'sideways'},
      {...period, temperature: '40', windGust: '', isDaytime: 'no'},
      {...period, startTime: 'tonight'}, {...period, endTime: period.startTime}, null, 4,
    ]}}).periods;
    assert.deepEqual(decoded.map((p) => [p.temperature, p.temperatureUnit, p.precipitation, p.windSpeed,
      p.windGust, p.trend, p.isDaytime]), [
      [-3.5, 'C', 40, '10 to 24 km/h', '40 km/h', null, false],
      [null, 'F', 70, period.windSpeed, null, null, null],
    ]);
    assert.isNaN(decodeForecast({properties: {periods: []}}).updated);
    for (const bad of [null, {}, {properties: null}, {properties: {periods: {}}}, []]) {
      assert.throws(() => decodeForecast(bad), TypeError, 'Forecast reply has no list of periods');
    }
  });
});

describe('#currentPeriods', () => {
  it('drops the periods that are over', () => {
    const rows = [[MST(20, 12), 14], [MST(20, 18) - 1, 14], [MST(20, 18), 13], [MST(21, 6), 12],
      [MST(26, 18) - 1, 2], [MST(26, 18), 1], [MST(27, 6) - 1, 1], [MST(27, 6), 0]];
    for (const [now, count] of rows) {
      assert.lengthOf(currentPeriods(forecast, now), count, new Date(now).toISOString());
    }
    assert.deepEqual(currentPeriods(null, 0), []);
  });
});
