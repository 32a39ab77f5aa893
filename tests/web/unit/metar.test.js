import {categoryFrom, ceilingFeet, decodeMetar, decodeMetars, describeWeather, flightCategory,
  parseVisibility} from '/js/metar.js';
import {assert, describe, it, testDocument} from './harness.js';

const west = await testDocument('awc/metar_west.json');
const byId = (id) => west.find((record) => record.icaoId === id);

describe('#parseVisibility', () => {
  it('reads "10+" and "6+" as at least that many miles', () => {
    assert.deepEqual(parseVisibility('10+'), {miles: 10, orMore: true});
    assert.deepEqual(parseVisibility('6+'), {miles: 6, orMore: true});
  });
  it('reads numbers and fractions', () => {
    assert.deepEqual(parseVisibility(0.75), {miles: 0.75, orMore: false});
    assert.deepEqual(parseVisibility('1 1/2'), {miles: 1.5, orMore: false});
    assert.deepEqual(parseVisibility('1/4'), {miles: 0.25, orMore: false});
  });
  it('refuses what is not a visibility', () => {
    for (const value of [null, undefined, 'M', '', -1, {}, [], '1/0', NaN]) {
      assert.equal(parseVisibility(value), null, show(value));
    }
  });
});

function show(value) {
  return JSON.stringify(value) ?? String(value);
}

describe('#ceilingFeet', () => {
  it('takes the lowest broken or overcast layer, not a lower few or scattered one', () => {
    assert.equal(ceilingFeet(byId('KSFO')), 3000);  // FEW012 BKN030 OVC045
  });
  it('counts an obscured sky (OVX) and vertical visibility', () => {
    assert.equal(ceilingFeet(byId('KYKM')), 400);
    assert.equal(ceilingFeet({clouds: [], vertVis: 200}), 200);
  });
  it('is null for clear skies and for clouds of the wrong shape', () => {
    assert.equal(ceilingFeet({clouds: []}), null);
    assert.equal(ceilingFeet({clouds: 'OVC010'}), null);
    assert.equal(ceilingFeet({clouds: [{cover: 'OVC', base: '800'}, null]}), null);
  });
});

describe('#categoryFrom', () => {
  it('puts each ceiling and visibility boundary on the right side', () => {
    const rows = [
      // ceiling ft, visibility SM, category
      [499, 10, 'LIFR'], [500, 10, 'IFR'], [999, 10, 'IFR'], [1000, 10, 'MVFR'],
      [3000, 10, 'MVFR'], [3001, 10, 'VFR'],
      [null, 0.99, 'LIFR'], [null, 1, 'IFR'], [null, 2.99, 'IFR'], [null, 3, 'MVFR'],
      [null, 5, 'MVFR'], [null, 5.01, 'VFR'],
      [400, 10, 'LIFR'], [5000, 0.5, 'LIFR'], [900, 4, 'IFR'],
      [null, null, null],
    ];
    for (const [ceiling, miles, expected] of rows) {
      assert.equal(categoryFrom(ceiling, miles), expected, `ceiling ${ceiling}, visibility ${miles}`);
    }
  });
});

describe('#flightCategory', () => {
  it('derives the same category as the service for every report that carries one', () => {
    const given = west.filter((record) => record.fltCat);
    assert.ok(given.length > 40);
    for (const record of given) {
      const {fltCat, ...withoutCategory} = record;
      assert.equal(flightCategory(withoutCategory), fltCat, record.icaoId);
    }
  });
  it('derives a category for reports that lack one', () => {
    assert.equal(flightCategory(byId('KSUN')), 'MVFR');  // 3SM OVC015
    assert.equal(flightCategory(byId('KU42')), 'VFR');
  });
  it('ignores a category it does not know and derives one instead', () => {
    assert.equal(flightCategory({fltCat: 'SUPER', visib: 0.5, clouds: []}), 'LIFR');
  });
});

describe('#describeWeather', () => {
  it('decodes intensity, showers, thunderstorms and vicinity', () => {
    assert.equal(describeWeather('-SHRA'), 'light rain showers');
    assert.equal(describeWeather('+TSRA BR'), 'thunderstorm with heavy rain; mist');
    assert.equal(describeWeather('VCTS'), 'thunderstorm in the vicinity');
    assert.equal(describeWeather('SN FZFG'), 'snow; freezing fog');
  });
  it('shows groups it cannot read as written', () => {
    assert.equal(describeWeather('XXYY -RA'), 'XXYY; light rain');
    assert.equal(describeWeather(42), '');
  });
});

describe('#decodeMetar', () => {
  it('reports gusts', () => {
    const station = decodeMetar(byId('KSLC'));
    assert.deepEqual(station.wind, {direction: 180, speed: 22, gust: 34, calm: false});
  });
  it('reports variable and calm wind', () => {
    assert.equal(decodeMetar(byId('KCNY')).wind.direction, 'VRB');
    assert.equal(decodeMetar(byId('KVEL')).wind.calm, true);
  });
  it('keeps units as reported: °C, knots, miles, feet, hPa', () => {
    const station = decodeMetar(byId('KSLC'));
    assert.equal(station.temperature, byId('KSLC').temp);
    assert.equal(station.altimeter, byId('KSLC').altim);
    assert.deepEqual(station.visibility, {miles: 10, orMore: true});
    assert.equal(station.ceiling, 9000);
    assert.equal(station.time, byId('KSLC').obsTime * 1000);
  });
  it('tolerates missing members', () => {
    const station = decodeMetar({icaoId: 'kxyz', lat: 40, lon: -111});
    assert.equal(station.id, 'KXYZ');
    assert.equal(station.temperature, null);
    assert.equal(station.category, null);
    assert.equal(station.wind.speed, null);
    assert.ok(Number.isNaN(station.time));
  });
  it('refuses records that cannot be placed', () => {
    for (const record of [null, 5, {icaoId: 'KSLC'}, {icaoId: 'KSLC', lat: '40', lon: -111},
      {icaoId: '', lat: 40, lon: -111}, {icaoId: 'KSLC', lat: 95, lon: -111}]) {
      assert.equal(decodeMetar(record), null, show(record));
    }
  });
  it('treats members of the wrong type as missing', () => {
    const station = decodeMetar({icaoId: 'KABC', lat: 40, lon: -111, temp: '12', wdir: 'N',
      wspd: '10', wgst: null, clouds: [{cover: 7}], rawOb: {}, name: ['x']});
    assert.equal(station.temperature, null);
    assert.equal(station.wind.direction, null);
    assert.equal(station.wind.speed, null);
    assert.deepEqual(station.clouds, []);
    assert.equal(station.raw, '');
    assert.equal(station.name, '');
  });
});

describe('#decodeMetars', () => {
  it('keeps one station per identifier, the newest report', () => {
    const ids = [{...byId('KSLC'), obsTime: 100, rawOb: 'old'}, {...byId('KSLC'), obsTime: 200,
      rawOb: 'new'}, {...byId('KSLC'), obsTime: 150, rawOb: 'middle'}];
    const stations = decodeMetars(ids);
    assert.equal(stations.length, 1);
    assert.equal(stations[0].raw, 'new');
  });
  it('decodes all 60 stations of the western reply', () => {
    assert.equal(decodeMetars(west).length, 60);
  });
  it('throws on a reply that is not a list', () => {
    assert.throws(() => decodeMetars({features: []}), /not a list/);
    assert.throws(() => decodeMetars(null), /not a list/);
  });
  it('stops at a bound for a huge reply', () => {
    const many = Array.from({length: 25000}, (_, i) => ({icaoId: `S${i}`, lat: 40, lon: -111}));
    assert.equal(decodeMetars(many).length, 20000);
  });
});
