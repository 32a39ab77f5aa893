// The national parks, monuments and recreation areas of the western states, and the small
// gateway towns beside them that the town list leaves out (it holds places of 1,000 people and
// more): a table of our own, written from the public facts of the National Park Service and the
// Forest Service (name, kind, state, a position near the main entrance or visitor centre).
// Loaded after the map is drawn, for search.

/** @typedef {{name: string, kind: string, state: string, lat: number, lon: number, near?: string}} Park */

const NP = 'National Park';
const NM = 'National Monument';
const NRA = 'National Recreation Area';
const TOWN = 'Gateway town';

/** @type {[string, string, string, number, number, string?][]} name, kind, state, lat, lon, near */
const TABLE = [
  ['Arches', NP, 'UT', 38.7331, -109.5925],
  ['Black Canyon of the Gunnison', NP, 'CO', 38.5754, -107.7416],
  ['Bryce Canyon', NP, 'UT', 37.593, -112.1871],
  ['Canyonlands', NP, 'UT', 38.3269, -109.8783],
  ['Capitol Reef', NP, 'UT', 38.2917, -111.2615],
  ['Carlsbad Caverns', NP, 'NM', 32.1479, -104.5567],
  ['Channel Islands', NP, 'CA', 34.0069, -119.7785],
  ['Crater Lake', NP, 'OR', 42.8684, -122.1685],
  ['Death Valley', NP, 'CA', 36.4617, -116.8669],
  ['Glacier', NP, 'MT', 48.7596, -113.787],
  ['Grand Canyon', NP, 'AZ', 36.0544, -112.1401],
  ['Grand Teton', NP, 'WY', 43.7904, -110.6818],
  ['Great Basin', NP, 'NV', 38.9833, -114.3],
  ['Great Sand Dunes', NP, 'CO', 37.7916, -105.5943],
  ['Joshua Tree', NP, 'CA', 33.8734, -115.901],
  ['Kings Canyon', NP, 'CA', 36.7394, -118.9619],
  ['Lassen Volcanic', NP, 'CA', 40.4977, -121.4207],
  ['Mesa Verde', NP, 'CO', 37.2309, -108.4618],
  ['Mount Rainier', NP, 'WA', 46.88, -121.7269],
  ['North Cascades', NP, 'WA', 48.7718, -121.2985],
  ['Olympic', NP, 'WA', 47.8021, -123.6044],
  ['Petrified Forest', NP, 'AZ', 34.91, -109.8068],
  ['Pinnacles', NP, 'CA', 36.4906, -121.1825],
  ['Redwood', NP, 'CA', 41.2132, -124.0046],
  ['Rocky Mountain', NP, 'CO', 40.3428, -105.6836],
  ['Saguaro', NP, 'AZ', 32.2967, -111.1666],
  ['Sequoia', NP, 'CA', 36.4864, -118.5658],
  ['White Sands', NP, 'NM', 32.7872, -106.3257],
  ['Yellowstone', NP, 'WY', 44.428, -110.5885],
  ['Yosemite', NP, 'CA', 37.7456, -119.5936],
  ['Zion', NP, 'UT', 37.2982, -113.0263],
  ['Bandelier', NM, 'NM', 35.7786, -106.2708],
  ['Bears Ears', NM, 'UT', 37.63, -109.87],
  ['Canyon de Chelly', NM, 'AZ', 36.1336, -109.4795],
  ['Cedar Breaks', NM, 'UT', 37.6361, -112.845],
  ['Colorado', NM, 'CO', 39.057, -108.693],
  ['Craters of the Moon', NM, 'ID', 43.4166, -113.5166],
  ['Devils Postpile', NM, 'CA', 37.625, -119.085],
  ['Devils Tower', NM, 'WY', 44.5902, -104.7146],
  ['Dinosaur', NM, 'UT', 40.4389, -109.3011],
  ['Grand Staircase-Escalante', NM, 'UT', 37.42, -111.68],
  ['John Day Fossil Beds', NM, 'OR', 44.55, -119.64],
  ['Lava Beds', NM, 'CA', 41.7139, -121.508],
  ['Mount St. Helens', 'National Volcanic Monument', 'WA', 46.1912, -122.1944],
  ['Muir Woods', NM, 'CA', 37.897, -122.5811],
  ['Natural Bridges', NM, 'UT', 37.6092, -110.0137],
  ['Organ Pipe Cactus', NM, 'AZ', 32.028, -112.806],
  ['Sunset Crater Volcano', NM, 'AZ', 35.365, -111.5],
  ['Vermilion Cliffs', NM, 'AZ', 36.8, -111.75],
  ['Curecanti', NRA, 'CO', 38.46, -107.33],
  ['Flaming Gorge', NRA, 'UT', 40.914, -109.422],
  ['Glen Canyon', NRA, 'AZ', 36.996, -111.489],
  ['Golden Gate', NRA, 'CA', 37.827, -122.499],
  ['Hells Canyon', NRA, 'OR', 45.25, -116.7],
  ['Lake Chelan', NRA, 'WA', 48.31, -120.66],
  ['Lake Mead', NRA, 'NV', 36.016, -114.737],
  ['Ross Lake', NRA, 'WA', 48.73, -121.06],
  ['Sawtooth', NRA, 'ID', 44.0, -114.9],
  ['Whiskeytown', NRA, 'CA', 40.62, -122.54],
  ['Alta', TOWN, 'UT', 40.5888, -111.638, 'Little Cottonwood Canyon'],
  ['Ashford', TOWN, 'WA', 46.759, -122.031, 'Mount Rainier National Park'],
  ['Baker', TOWN, 'NV', 39.0122, -114.1233, 'Great Basin National Park'],
  ['Boulder', TOWN, 'UT', 37.9063, -111.4218, 'Grand Staircase-Escalante National Monument'],
  ['El Portal', TOWN, 'CA', 37.6749, -119.784, 'Yosemite National Park'],
  ['Escalante', TOWN, 'UT', 37.7703, -111.6021, 'Grand Staircase-Escalante National Monument'],
  ['Furnace Creek', TOWN, 'CA', 36.4569, -116.8656, 'Death Valley National Park'],
  ['Gardiner', TOWN, 'MT', 45.0322, -110.7058, 'Yellowstone National Park'],
  ['Lee Vining', TOWN, 'CA', 37.9577, -119.121, 'Yosemite National Park (Tioga Pass)'],
  ['Marblemount', TOWN, 'WA', 48.5279, -121.436, 'North Cascades National Park'],
  ['Mexican Hat', TOWN, 'UT', 37.1497, -109.8554, 'Bears Ears National Monument'],
  ['Moose', TOWN, 'WY', 43.6538, -110.7157, 'Grand Teton National Park'],
  ['Silverton', TOWN, 'CO', 37.8119, -107.6645, 'the San Juan Mountains'],
  ['Springdale', TOWN, 'UT', 37.1889, -112.9986, 'Zion National Park'],
  ['St. Mary', TOWN, 'MT', 48.7461, -113.4286, 'Glacier National Park'],
  ['Stanley', TOWN, 'ID', 44.2166, -114.9387, 'Sawtooth National Recreation Area'],
  ['Stehekin', TOWN, 'WA', 48.3093, -120.6556, 'Lake Chelan National Recreation Area'],
  ['Torrey', TOWN, 'UT', 38.2997, -111.4196, 'Capitol Reef National Park'],
  ['Tropic', TOWN, 'UT', 37.6253, -112.0841, 'Bryce Canyon National Park'],
  ['Tusayan', TOWN, 'AZ', 35.9736, -112.1266, 'Grand Canyon National Park'],
  ['West Glacier', TOWN, 'MT', 48.4961, -113.9837, 'Glacier National Park'],
];

/** The table as entries; a park's name carries its kind ("Zion National Park"). @type {Park[]} */
export const PARKS = TABLE.map(([name, kind, state, lat, lon, near]) => ({
  name: kind === TOWN ? name : `${name} ${kind}`, kind, state, lat, lon, ...(near ? {near} : {})}));
