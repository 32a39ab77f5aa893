import {formatDistance, formatHeight, formatPressure, formatSpeed, formatTemperature,
  formatVisibility, normalizeUnits, speedValue, temperatureValue} from '/js/units.js';
import {assert, describe, it} from './harness.js';

describe('#formatTemperature', () => {
  it('converts °C to °F and keeps a decimal in °C', () => {
    assert.equal(formatTemperature(12.8, 'F'), '55 °F');
    assert.equal(formatTemperature(-40, 'F'), '-40 °F');
    assert.equal(formatTemperature(12.8, 'C'), '12.8 °C');
    assert.equal(formatTemperature(0, 'F'), '32 °F');
  });
  it('shows a dash for a missing value, not 32 °F', () => {
    assert.equal(formatTemperature(null, 'F'), '—');
    assert.ok(Number.isNaN(temperatureValue(undefined, 'C')));
  });
});

describe('#formatSpeed', () => {
  it('converts knots to mph and km/h', () => {
    assert.equal(formatSpeed(22, 'kt'), '22 kt');
    assert.equal(formatSpeed(22, 'mph'), '25 mph');
    assert.equal(formatSpeed(22, 'km/h'), '41 km/h');
    assert.close(speedValue(10, 'km/h'), 18.52, 1e-9);
  });
});

describe('#formatPressure', () => {
  it('writes hPa as inHg with two decimals', () => {
    assert.equal(formatPressure(1013.25, 'inHg'), '29.92 inHg');
    assert.equal(formatPressure(1009.5, 'hPa'), '1009.5 hPa');
    assert.equal(formatPressure('1013', 'hPa'), '—');
  });
});

describe('#formatVisibility', () => {
  it('keeps the "or more" of 10+', () => {
    assert.equal(formatVisibility(10, 'SM', true), '10+ SM');
    assert.equal(formatVisibility(10, 'km', true), '16+ km');
  });
  it('writes small visibilities with their fraction', () => {
    assert.equal(formatVisibility(0.75, 'SM'), '0.75 SM');
    assert.equal(formatVisibility(1.5, 'km'), '2.4 km');
  });
});

describe('#formatDistance', () => {
  it('writes metres as miles or kilometres', () => {
    assert.equal(formatDistance(1609.344, 'SM'), '1 mi');
    assert.equal(formatDistance(1900, 'km'), '1.9 km');
    assert.equal(formatDistance(25000, 'km'), '25 km');
  });
});

describe('#formatHeight', () => {
  it('follows the distance unit: feet with miles, metres with kilometres', () => {
    assert.equal(formatHeight(9000, 'SM'), '9,000 ft');
    assert.equal(formatHeight(9000, 'km'), '2,743 m');
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
