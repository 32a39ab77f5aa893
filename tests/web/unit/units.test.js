import {formatDistance, formatHeight, formatPressure, formatSpeed, formatTemperature,
  formatVisibility, groupedNumber, normalizeUnits, speedValue, temperatureValue} from '/js/units.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

describe('#formatTemperature', () => {
  it('converts °C to °F and keeps a decimal in °C', () => {
    assert.strictEqual(formatTemperature(12.8, 'F'), '55 °F');
    assert.strictEqual(formatTemperature(-40, 'F'), '-40 °F');
    assert.strictEqual(formatTemperature(12.8, 'C'), '12.8 °C');
    assert.strictEqual(formatTemperature(0, 'F'), '32 °F');
  });
  it('shows a dash for a missing value, not 32 °F', () => {
    assert.strictEqual(formatTemperature(null, 'F'), '—');
    assert.isNaN(temperatureValue(undefined, 'C'));
  });
});

describe('#formatSpeed', () => {
  it('converts knots to mph and km/h', () => {
    assert.strictEqual(formatSpeed(22, 'kt'), '22 kt');
    assert.strictEqual(formatSpeed(22, 'mph'), '25 mph');
    assert.strictEqual(formatSpeed(22, 'km/h'), '41 km/h');
    assert.closeTo(speedValue(10, 'km/h'), 18.52, 1e-9);
  });
});

describe('#formatPressure', () => {
  it('writes hPa as inHg with two decimals', () => {
    assert.strictEqual(formatPressure(1013.25, 'inHg'), '29.92 inHg');
    assert.strictEqual(formatPressure(1009.5, 'hPa'), '1009.5 hPa');
    assert.strictEqual(formatPressure('1013', 'hPa'), '—');
  });
});

describe('#formatVisibility', () => {
  it('keeps the "or more" of 10+', () => {
    assert.strictEqual(formatVisibility(10, 'SM', true), '10+ SM');
    assert.strictEqual(formatVisibility(10, 'km', true), '16+ km');
  });
  it('writes small visibilities with their fraction', () => {
    assert.strictEqual(formatVisibility(0.75, 'SM'), '0.75 SM');
    assert.strictEqual(formatVisibility(1.5, 'km'), '2.4 km');
  });
});

describe('#formatDistance', () => {
  it('writes metres as miles or kilometres', () => {
    assert.strictEqual(formatDistance(1609.344, 'SM'), '1 mi');
    assert.strictEqual(formatDistance(1900, 'km'), '1.9 km');
    assert.strictEqual(formatDistance(25000, 'km'), '25 km');
  });
});

describe('#formatHeight', () => {
  it('follows the distance unit: feet with miles, metres with kilometres', () => {
    assert.strictEqual(formatHeight(9000, 'SM'), '9,000 ft');
    assert.strictEqual(formatHeight(9000, 'km'), '2,743 m');
  });
  it('groups thousands as toLocaleString(\'en-US\') does', () => {
    for (const value of [0, 999, 1000, -12500, 1234567, 0.1235]) {
      assert.strictEqual(groupedNumber(value), value.toLocaleString('en-US'));
    }
  });
});

describe('#normalizeUnits', () => {
  it('keeps valid choices and replaces unknown ones with the defaults', () => {
    assert.deepEqual(normalizeUnits({temperature: 'C', speed: 'furlongs', pressure: 'hPa'}),
        {temperature: 'C', speed: 'kt', pressure: 'hPa', distance: 'SM'});
    assert.deepEqual(normalizeUnits('nonsense'),
        {temperature: 'F', speed: 'kt', pressure: 'inHg', distance: 'SM'});
  });
});
