// Where the western winds-aloft stations are: the bulletins name them by three letters only,
// and several are radio beacons rather than airports (CZI, IMB, ZUN), so the airport list cannot
// place them all. Positions to about a kilometre; elevations in feet.

/** @type {Record<string, [number, number, number, string]>} id: [lat, lon, elevation, name] */
const STATIONS = {
  ABQ: [35.04, -106.61, 5355, 'Albuquerque'], ALS: [37.44, -105.87, 7539, 'Alamosa'],
  AST: [46.16, -123.88, 15, 'Astoria'], BAM: [40.60, -116.87, 4532, 'Battle Mountain'],
  BCE: [37.70, -112.15, 7590, 'Bryce Canyon'], BFF: [41.87, -103.60, 3967, 'Scottsbluff'],
  BIH: [37.37, -118.36, 4124, 'Bishop'], BIL: [45.81, -108.54, 3652, 'Billings'],
  BLH: [33.62, -114.72, 400, 'Blythe'], BOI: [43.56, -116.22, 2871, 'Boise'],
  CZI: [43.99, -106.44, 4800, 'Crazy Woman'], DEN: [39.86, -104.67, 5434, 'Denver'],
  DIK: [46.80, -102.80, 2592, 'Dickinson'], DLN: [45.26, -112.55, 5240, 'Dillon'],
  ELP: [31.81, -106.38, 3959, 'El Paso'], ELY: [39.30, -114.84, 6259, 'Ely'],
  FAT: [36.78, -119.72, 336, 'Fresno'], FMN: [36.74, -108.23, 5506, 'Farmington'],
  FOT: [40.55, -124.13, 393, 'Fortuna'], GEG: [47.62, -117.53, 2376, 'Spokane'],
  GGW: [48.21, -106.61, 2296, 'Glasgow'], GJT: [39.12, -108.53, 4858, 'Grand Junction'],
  GPI: [48.31, -114.26, 2977, 'Kalispell'], GTF: [47.48, -111.37, 3677, 'Great Falls'],
  IMB: [44.65, -119.71, 5000, 'Kimberly'], INK: [31.78, -103.20, 2822, 'Wink'],
  LAS: [36.08, -115.15, 2181, 'Las Vegas'], LKV: [42.16, -120.40, 4733, 'Lakeview'],
  LND: [42.82, -108.73, 5586, 'Lander'], LWS: [46.37, -117.02, 1442, 'Lewiston'],
  MLS: [46.43, -105.89, 2630, 'Miles City'], ONT: [34.06, -117.60, 944, 'Ontario'],
  OTH: [43.42, -124.25, 17, 'North Bend'], PDX: [45.59, -122.60, 31, 'Portland'],
  PHX: [33.43, -112.01, 1135, 'Phoenix'], PIH: [42.91, -112.60, 4452, 'Pocatello'],
  PRC: [34.65, -112.42, 5045, 'Prescott'], PUB: [38.29, -104.50, 4726, 'Pueblo'],
  RAP: [44.05, -103.05, 3204, 'Rapid City'], RBL: [40.15, -122.25, 352, 'Red Bluff'],
  RDM: [44.25, -121.15, 3080, 'Redmond'], RKS: [41.59, -109.07, 6764, 'Rock Springs'],
  RNO: [39.50, -119.77, 4415, 'Reno'], ROW: [33.30, -104.53, 3671, 'Roswell'],
  SAC: [38.51, -121.49, 24, 'Sacramento'], SAN: [32.73, -117.19, 17, 'San Diego'],
  SBA: [34.43, -119.84, 10, 'Santa Barbara'], SEA: [47.45, -122.31, 433, 'Seattle'],
  SFO: [37.62, -122.37, 13, 'San Francisco'], SIY: [41.78, -122.47, 2648, 'Montague'],
  SLC: [40.79, -111.98, 4227, 'Salt Lake City'], TCC: [35.18, -103.60, 4065, 'Tucumcari'],
  TUS: [32.12, -110.94, 2643, 'Tucson'], WJF: [34.74, -118.22, 2351, 'Lancaster'],
  YKM: [46.57, -120.54, 1099, 'Yakima'], ZUN: [34.97, -109.15, 6550, 'Zuni'],
};

/**
 * A western station's {lat, lon, elevation, name}, or null for one the map does not place.
 * @param {string} id
 */
export function windsStation(id) {
  const found = Object.hasOwn(STATIONS, id) ? STATIONS[id] : null;
  return found ? {lat: found[0], lon: found[1], elevation: found[2], name: found[3]} : null;
}
