import places from '/data/places.js';
import stations from '/data/stations.js';
import {METAR_AREA} from '/js/geo.js';
import {PARKS} from '/js/parks.js';
import {createSearchIndex, createSearchSources, foldText} from '/js/search.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

const index = createSearchIndex({places, stations});
const labels = (query, options) => index.search(query, options).map((found) => found.label);

describe('#foldText', () => {
  it('drops case, accents and apostrophes and turns other marks into blanks', () => {
    const rows = [['Española', 'espanola'], ['CAÑON CITY', 'canon city'], ['Coeur d\'Alene', 'coeur dalene'],
      ['St. George', 'st george'], ['  Salt   Lake-City ', 'salt lake city'], ['Zoë’s', 'zoes'],
      [null, ''], [42, '42']];
    for (const [text, folded] of rows) assert.strictEqual(foldText(text), folded, String(text));
  });
});

describe('parks, monuments, recreation areas and gateway towns', () => {
  const withParks = createSearchIndex({places, stations, parks: PARKS});
  it('finds them by name, a park before a town of the same tier, and says what each is', () => {
    const sources = createSearchSources({hasReport: () => true});
    sources.set({places, parks: PARKS});
    const rows = [
      // query, first suggestion, its detail
      ['Zion', 'Zion National Park, UT', 'National Park'],
      ['Springdale', 'Springdale, UT', 'Gateway town near Zion National Park'],
      ['Arches', 'Arches National Park, UT', 'National Park'],
      ['glacier', 'Glacier National Park, MT', 'National Park'],
      ['Craters of the Moon', 'Craters of the Moon National Monument, ID', 'National Monument'],
      ['Glen Canyon', 'Glen Canyon National Recreation Area, AZ', 'National Recreation Area'],
      ['mount st helens', 'Mount St. Helens National Volcanic Monument, WA', 'National Volcanic Monument'],
      ['Moab', 'Moab, UT', 'Town · 5,235 people'],
      ['Tusayan', 'Tusayan, AZ', 'Gateway town near Grand Canyon National Park'],
    ];
    for (const [query, label, detail] of rows) {
      const [first] = sources.suggest(query, 8);
      assert.deepEqual([first.label, first.detail], [label, detail], query);
    }
  });
  it('leaves out a gateway town the town list already has, and keeps each in the western box', () => {
    const known = new Set(places.map((place) => `${place.name} ${place.state}`));
    const gateways = PARKS.filter((park) => park.kind === 'Gateway town');
    const found = gateways.filter((town) => withParks.search(town.name, {limit: 20})
        .some((suggestion) => suggestion.kind === 'park' && suggestion.name === town.name));
    assert.deepEqual(found.map((town) => town.name), gateways.filter((town) => !known.has(`${town.name} ${town.state}`))
        .map((town) => town.name));
    for (const park of PARKS) {
      const {south, west, north, east} = METAR_AREA;
      assert.isTrue(park.lat >= south && park.lat <= north && park.lon >= west && park.lon <= east, park.name);
    }
    assert.deepEqual(withParks.search('Kings Peak').filter((s) => s.kind !== 'station'), [], 'no summits');
  });
});

describe('#createSearchIndex', () => {
  it('finds towns by any word\'s beginning, regardless of case and accents', () => {
    const rows = [
      // query, first suggestion
      ['Moab', 'Moab, UT'], ['moa', 'Moapa Valley, NV'], ['salt lake city', 'Salt Lake City, UT'],
      ['Salt Lake', 'Salt Lake City, UT'], ['lake city', 'Lake City, CO'], ['city salt', 'Salt Lake City, UT'],
      ['espanola', 'Española, NM'], ['ESPAÑOLA', 'Española, NM'], ['canon city', 'Cañon City, CO'],
      ['st george', 'Saint George, UT'], ['saint george', 'Saint George, UT'],
      ['st. george, ut', 'Saint George, UT'], ['coeur d alene', 'Coeur d\'Alene, ID'],
      ['coeur dalene', 'Coeur d\'Alene, ID'], ['Jackson', 'Jackson, WY'], ['jackson ca', 'Jackson, CA'],
      ['ft collins', 'Fort Collins, CO'], ['  flagstaff  ', 'Flagstaff, AZ'],
    ];
    for (const [query, first] of rows) assert.strictEqual(labels(query)[0], first, query);
  });
  it('ranks towns by population and keeps a line for a matching station', () => {
    const found = index.search('San');
    assert.strictEqual(found[0].id, 'KSAN', 'the identifier first');
    const towns = found.filter((suggestion) => suggestion.kind === 'place');
    assert.deepEqual(towns.slice(0, 3).map((town) => town.name), ['San Diego', 'San Jose', 'San Francisco']);
    for (let i = 1; i < towns.length; i++) assert.isAtLeast(towns[i - 1].population, towns[i].population);
    const many = index.search('s');
    assert.lengthOf(many, 8);
    assert.strictEqual(many.at(-1).kind, 'station');
    assert.strictEqual(many[0].label, 'San Diego, CA');
  });
  it('finds stations by identifier first, with or without the K, then by full name', () => {
    const rows = [
      // query, first labels
      ['KSLC', ['KSLC Salt Lake City International Airport, UT']],
      [' kslc ', ['KSLC Salt Lake City International Airport, UT']],
      ['slc', ['KSLC Salt Lake City International Airport, UT']],
      ['ksl', ['KSLC Salt Lake City International Airport, UT', 'KSLE McNary Field, OR',
        'KSLI Los Alamitos Aaf, CA']],
      ['salt lake intl', ['KSLC Salt Lake City International Airport, UT']],
      ['canyonlands', ['KCNY Canyonlands Regional Airport, Moab, UT']],
      ['Moab', ['Moab, UT', 'KCNY Canyonlands Regional Airport, Moab, UT']],
    ];
    for (const [query, first] of rows) assert.deepEqual(labels(query).slice(0, first.length), first, query);
    assert.deepEqual(index.search('kslc')[0], {kind: 'station', id: 'KSLC',
      name: 'Salt Lake City International Airport', state: 'UT', lat: 40.7856, lon: -111.9807,
      label: 'KSLC Salt Lake City International Airport, UT'});
  });
  it('suggests a position written as coordinates', () => {
    assert.deepEqual(index.search('40.76N 111.89W'), [{kind: 'coordinates', name: '40.76N 111.89W',
      state: '', lat: 40.76, lon: -111.89, label: '40.7600, -111.8900'}]);
    assert.strictEqual(index.search('40 45.6N 111 53.4W')[0].kind, 'coordinates');
  });
  it('honours the limit and answers nothing for nothing', () => {
    const rows = [['a', {limit: 3}, 3], ['a', {}, 8], ['a', {limit: 1}, 1], ['a', {limit: 0}, 0],
      ['a', {limit: NaN}, 0], ['', {}, 0], ['   ', {}, 0], ['—', {}, 0], ['zzqxv', {}, 0],
      [null, {}, 0], [undefined, {}, 0], [{}, {}, 0]];
    for (const [query, options, count] of rows) {
      assert.lengthOf(index.search(query, options), count, `${String(query)} ${JSON.stringify(options)}`);
    }
  });
  it('keeps the first of two entries for a station and skips entries it cannot place', () => {
    const reported = {id: 'kslc', name: 'Salt Lake City Intl', state: 'UT', lat: 40.78, lon: -111.97};
    const small = createSearchIndex({
      stations: [reported, ...stations.slice(0, 3), null, {id: 5}, {id: 'KXYZ', lat: '40', lon: -111},
        {id: 'K X', lat: 40, lon: -111}, stations.find((station) => station.id === 'KSLC')],
      places: [{name: '', lat: 1, lon: 2}, {name: 'Nowhere'}, {name: 'Moab', state: 'UT', lat: 38.57,
        lon: -109.55, population: 'many'}, 7],
    });
    assert.strictEqual(small.size, 5);
    assert.deepEqual(small.search('slc').map((found) => [found.name, found.lat]), [['Salt Lake City Intl', 40.78]]);
    assert.deepEqual(small.search('moab').map((found) => found.population), [0]);
  });
});
