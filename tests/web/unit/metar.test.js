import {categoryFrom, ceilingFeet, decodeMetars, describeWeather,
  parseVisibility} from '/js/metar.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';
import {testDocument} from './documents.js';

// One record through the reply's decoder: the station, or null when it is left out.
const decodeMetar = (record) => decodeMetars([record])[0] ?? null;
const flightCategory = (record) => decodeMetar({icaoId: 'KTST', lat: 40, lon: -111, ...record}).category;

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
      assert.strictEqual(parseVisibility(value), null, show(value));
    }
  });
});

function show(value) {
  return JSON.stringify(value) ?? String(value);
}

describe('#ceilingFeet', () => {
  it('takes the lowest broken or overcast layer, not a lower few or scattered one', () => {
    assert.strictEqual(ceilingFeet(byId('KSFO')), 3000);  // FEW012 BKN030 OVC045
  });
  it('counts an obscured sky (OVX) and vertical visibility', () => {
    assert.strictEqual(ceilingFeet(byId('KYKM')), 400);
    assert.strictEqual(ceilingFeet({clouds: [], vertVis: 200}), 200);
  });
  it('is null for clear skies and for clouds of the wrong shape', () => {
    assert.strictEqual(ceilingFeet({clouds: []}), null);
    assert.strictEqual(ceilingFeet({clouds: 'OVC010'}), null);
    assert.strictEqual(ceilingFeet({clouds: [{cover: 'OVC', base: '800'}, null]}), null);
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
      assert.strictEqual(categoryFrom(ceiling, miles), expected, `ceiling ${ceiling}, visibility ${miles}`);
    }
  });
});

describe('#flightCategory', () => {
  it('derives the same category as the service for every report that carries one', () => {
    const given = west.filter((record) => record.fltCat);
    assert.isAbove(given.length, 40);
    for (const record of given) {
      const {fltCat, ...withoutCategory} = record;
      assert.strictEqual(flightCategory(withoutCategory), fltCat, record.icaoId);
    }
  });
  it('derives a category for reports that lack one', () => {
    assert.strictEqual(flightCategory(byId('KSUN')), 'MVFR');  // 3SM OVC015
    assert.strictEqual(flightCategory(byId('KU42')), 'VFR');
  });
  it('ignores a category it does not know and derives one instead', () => {
    assert.strictEqual(flightCategory({fltCat: 'SUPER', visib: 0.5, clouds: []}), 'LIFR');
  });
});

describe('#describeWeather', () => {
  it('decodes intensity, showers, thunderstorms and vicinity', () => {
    assert.strictEqual(describeWeather('-SHRA'), 'light rain showers');
    assert.strictEqual(describeWeather('+TSRA BR'), 'thunderstorm with heavy rain; mist');
    assert.strictEqual(describeWeather('VCTS'), 'thunderstorm in the vicinity');
    assert.strictEqual(describeWeather('SN FZFG'), 'snow; freezing fog');
  });
  it('shows groups it cannot read as written', () => {
    assert.strictEqual(describeWeather('XXYY -RA'), 'XXYY; light rain');
    assert.strictEqual(describeWeather(42), '');
  });
});

describe('#decodeMetar', () => {
  it('reports gusts', () => {
    const station = decodeMetar(byId('KSLC'));
    assert.deepEqual(station.wind, {direction: 180, speed: 22, gust: 34, calm: false});
  });
  it('reports variable and calm wind', () => {
    assert.strictEqual(decodeMetar(byId('KCNY')).wind.direction, 'VRB');
    assert.strictEqual(decodeMetar(byId('KVEL')).wind.calm, true);
  });
  it('keeps units as reported: °C, knots, miles, feet, hPa', () => {
    const station = decodeMetar(byId('KSLC'));
    assert.strictEqual(station.temperature, byId('KSLC').temp);
    assert.strictEqual(station.altimeter, byId('KSLC').altim);
    assert.deepEqual(station.visibility, {miles: 10, orMore: true});
    assert.strictEqual(station.ceiling, 9000);
    assert.strictEqual(station.time, byId('KSLC').obsTime * 1000);
  });
  it('tolerates missing members', () => {
    const station = decodeMetar({icaoId: 'kxyz', lat: 40, lon: -111});
    assert.strictEqual(station.id, 'KXYZ');
    assert.strictEqual(station.temperature, null);
    assert.strictEqual(station.category, null);
    assert.strictEqual(station.wind.speed, null);
    assert.isNaN(station.time);
  });
  it('refuses records that cannot be placed', () => {
    for (const record of [null, 5, {icaoId: 'KSLC'}, {icaoId: 'KSLC', lat: '40', lon: -111},
      {icaoId: '', lat: 40, lon: -111}, {icaoId: 'KSLC', lat: 95, lon: -111}]) {
      assert.strictEqual(decodeMetar(record), null, show(record));
    }
  });
  it('treats members of the wrong type as missing', () => {
    const station = decodeMetar({icaoId: 'KABC', lat: 40, lon: -111, temp: '12', wdir: 'N',
      wspd: '10', wgst: null, clouds: [{cover: 7}], rawOb: {}, name: ['x']});
    assert.strictEqual(station.temperature, null);
    assert.strictEqual(station.wind.direction, null);
    assert.strictEqual(station.wind.speed, null);
    assert.deepEqual(station.clouds, []);
    assert.strictEqual(station.raw, '');
    assert.strictEqual(station.name, '');
  });
});

describe('#decodeMetars', () => {
  it('keeps one station per identifier, the newest report', () => {
    const at = byId('KSLC').obsTime;
    const ids = [{...byId('KSLC'), obsTime: at + 100, rawOb: 'old'}, {...byId('KSLC'), obsTime: at + 200,
      rawOb: 'new'}, {...byId('KSLC'), obsTime: at + 150, rawOb: 'middle'}];
    const stations = decodeMetars(ids);
    assert.strictEqual(stations.length, 1);
    assert.strictEqual(stations[0].raw, 'new');
  });
  it('decodes all 60 stations of the western reply', () => {
    assert.strictEqual(decodeMetars(west).length, 60);
  });
  it('throws on a reply that is not a list', () => {
    assert.throws(() => decodeMetars({features: []}), /not a list/);
    assert.throws(() => decodeMetars(null), /not a list/);
  });
  it('stops at a bound for a huge reply', () => {
    const many = Array.from({length: 25000}, (_, i) => ({icaoId: `S${i}`, lat: 40, lon: -111}));
    const decoded = decodeMetars(many);
    assert.deepEqual([decoded.length, decoded.received, decoded.outOfRange], [20000, 25000, 0]);
  });
});

describe('MetarLayer', () => {
  const at = Date.UTC(2026, 10, 20, 18);
  async function mapWithLayer() {
    const L = await import('/vendor/leaflet/leaflet-src.esm.js');
    const {MetarLayer} = await import('/js/map/metar-layer.js');
    const box = Object.assign(document.body.appendChild(document.createElement('div')),
        {style: 'width: 400px; height: 300px'});
    const map = L.map(box, {zoomAnimation: false, fadeAnimation: false}).setView([40.5, -111.9], 7);
    for (const pane of ['stations', 'stationLabels']) map.createPane(pane);
    let draws = 0;  // calls of redraw(), however they come: the map's events or the layer's own
    let moves = 0;  // what follows the view (the stations in view, their boxes) heard a move
    const layer = new MetarLayer({label: (s) => s.id, popup: () => document.createElement('div'),
      favourites: () => new Set(), now: () => at, onMoveEnd: () => moves++});
    const redraw = layer.redraw;
    layer.redraw = function () {
      draws++;
      return redraw.call(this);
    };
    layer.addTo(map);
    const done = () => {
      map.remove();
      box.remove();
    };
    return {L, map, layer, draws: () => draws, moves: () => moves, done};
  }
  const stations = decodeMetars(west);

  // Leaflet has no public hook for a vector mark's outline: the layer overrides Leaflet 1.9's
  // private CircleMarker#_updatePath and calls the SVG renderer's _setPath. Pinned here, so a
  // Leaflet that renames them fails this test instead of drawing circles for every category.
  it('draws each category\'s shape through Leaflet\'s private path hooks, also after a zoom', async () => {
    const {L, map, layer, done} = await mapWithLayer();
    assert.isFunction(L.SVG.prototype._setPath);
    assert.isFunction(L.CircleMarker.prototype._updatePath);
    const shapes = () => Object.fromEntries([['KSLC', 'VFR'], ['KPDX', 'MVFR'], ['KSEA', 'IFR'],
      ['KOLM', 'LIFR']].map(([id, category]) => [category, map.getContainer()
        .querySelector(`path[data-station="${id}"]`)?.getAttribute('d').replace(/[\d.\s-]/g, '')]));
    layer.setStations(stations.filter((s) => ['KSLC', 'KPDX', 'KSEA', 'KOLM'].includes(s.id)));
    const expected = {VFR: 'Maa', MVFR: 'MHVHZ', IFR: 'MLLLZ', LIFR: 'MLLZ'};
    assert.deepEqual(shapes(), expected);
    map.setZoom(8);
    assert.deepEqual(shapes(), expected);
    done();
  });

  it('follows the map\'s zoom while on the map, and its listeners go when it is removed', async () => {
    const {map, layer, draws, moves, done} = await mapWithLayer();
    layer.setStations(stations);
    const drawn = draws();
    const moved = moves();
    map.setZoom(8);
    assert.strictEqual(draws(), drawn + 1, 'redrawn for the new zoom');
    assert.strictEqual(moves(), moved + 1, 'the view followed');
    assert.isAbove(map.getContainer().querySelectorAll('.station-label').length, 0);
    map.removeLayer(layer);
    assert.strictEqual(map.getContainer().querySelectorAll('path.station-marker, .station-label').length, 0);
    map.setZoom(9);
    map.panBy([50, 50], {animate: false});
    assert.strictEqual(draws(), drawn + 1, 'a removed layer does not hear the map');
    assert.strictEqual(moves(), moved + 1, 'nor follows the view: no boxes asked for it');
    layer.addTo(map);
    assert.strictEqual(draws(), drawn + 2, 'drawn again when it comes back');
    assert.isAbove(map.getContainer().querySelectorAll('path.station-marker').length, 0);
    done();
  });
});
