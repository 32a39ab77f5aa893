// Unit conversion and formatting. Values travel through the page in one unit per quantity —
// °C, knots, hPa, statute miles for visibility, feet for heights, metres for distances — and
// are converted only when shown.

export const UNIT_CHOICES = {
  temperature: ['F', 'C'],
  speed: ['kt', 'mph', 'km/h'],
  pressure: ['inHg', 'hPa'],
  distance: ['SM', 'km'],
};

/**
 * The reader's unit per quantity.
 * @typedef {{temperature: string, speed: string, pressure: string, distance: string}} Units
 */

/** @type {Units} */
const DEFAULT_UNITS = {temperature: 'F', speed: 'kt', pressure: 'inHg', distance: 'SM'};

const KM_PER_SM = 1.609344;
const KMH_PER_KT = 1.852;
const MPH_PER_KT = 1.150779;
const HPA_PER_INHG = 33.8639;
const M_PER_FT = 0.3048;

/**
 * A full set of valid choices from whatever was stored; unknown values fall back to defaults.
 * @param {any} value
 * @returns {Units}
 */
export function normalizeUnits(value) {
  const units = {...DEFAULT_UNITS};
  if (value && typeof value === 'object') {
    for (const [quantity, choices] of Object.entries(UNIT_CHOICES)) {
      if (choices.includes(value[quantity])) units[quantity] = value[quantity];
    }
  }
  return units;
}

const finite = (value) => typeof value === 'number' && Number.isFinite(value);

// One formatter for the page: toLocaleString('en-US') builds a new one on every call, which
// costs tens of microseconds each, and the map writes a few per mark.
let groupedFormat = null;

/**
 * A number with its thousands grouped as US English writes it ("12,500"): what
 * toLocaleString('en-US') gives.
 * @param {number} value
 * @returns {string}
 */
export function groupedNumber(value) {
  groupedFormat ||= new Intl.NumberFormat('en-US');
  return groupedFormat.format(value);
}

/** @param {number} f  °F @returns {number} °C */
export const celsiusFromFahrenheit = (f) => ((f - 32) * 5) / 9;
/** @param {number} kmh @returns {number} knots */
export const knotsFromKmh = (kmh) => kmh / KMH_PER_KT;
/** @param {number} mph @returns {number} knots */
export const knotsFromMph = (mph) => mph / MPH_PER_KT;
/** @param {number} m  metres @returns {number} statute miles */
export const milesFromMetres = (m) => m / 1000 / KM_PER_SM;
/** @param {number} m  metres @returns {number} feet */
export const feetFromMetres = (m) => m / M_PER_FT;

/**
 * Temperature in the chosen unit as a number (for charts); NaN when unknown.
 * @param {number | null} celsius
 * @param {string} unit
 * @returns {number}
 */
export function temperatureValue(celsius, unit) {
  if (!finite(celsius)) return NaN;
  return unit === 'C' ? celsius : (celsius * 9) / 5 + 32;
}

/**
 * Speed in the chosen unit as a number; NaN when unknown.
 * @param {number | null} knots
 * @param {string} unit
 * @returns {number}
 */
export function speedValue(knots, unit) {
  if (!finite(knots)) return NaN;
  if (unit === 'km/h') return knots * KMH_PER_KT;
  if (unit === 'mph') return knots * MPH_PER_KT;
  return knots;
}

/**
 * "55 °F" / "12.8 °C"; "—" when unknown.
 * @param {number | null} celsius
 * @param {string} unit
 * @returns {string}
 */
export function formatTemperature(celsius, unit) {
  const value = temperatureValue(celsius, unit);
  if (Number.isNaN(value)) return '—';
  return unit === 'C' ? `${value.toFixed(1)} °C` : `${Math.round(value)} °F`;
}

/**
 * "22 kt"; "—" when unknown.
 * @param {number | null} knots
 * @param {string} unit
 * @returns {string}
 */
export function formatSpeed(knots, unit) {
  const value = speedValue(knots, unit);
  return Number.isNaN(value) ? '—' : `${Math.round(value)} ${unit}`;
}

/**
 * "29.81 inHg" / "1009.5 hPa"; "—" when unknown.
 * @param {number | null} hpa
 * @param {string} unit
 * @returns {string}
 */
export function formatPressure(hpa, unit) {
  if (!finite(hpa)) return '—';
  return unit === 'hPa' ? `${hpa.toFixed(1)} hPa` : `${(hpa / HPA_PER_INHG).toFixed(2)} inHg`;
}

function trimmed(value, digits) {
  return String(Number(value.toFixed(digits)));
}

/**
 * Visibility from statute miles: "10+ SM", "1.5 SM", "2.4 km", "16+ km"; "—" when unknown.
 * @param {number | null} miles
 * @param {string} unit
 * @param {boolean} [orMore=false]
 * @returns {string}
 */
export function formatVisibility(miles, unit, orMore = false) {
  if (!finite(miles)) return '—';
  const plus = orMore ? '+' : '';
  if (unit === 'km') {
    const km = miles * KM_PER_SM;
    return `${orMore ? Math.floor(km) : trimmed(km, km < 5 ? 1 : 0)}${plus} km`;
  }
  return `${trimmed(miles, miles < 3 ? 2 : 1)}${plus} SM`;
}

/**
 * A map distance from metres: "1.2 mi" or "1.9 km"; "—" when unknown.
 * @param {number | null} metres
 * @param {string} unit
 * @returns {string}
 */
export function formatDistance(metres, unit) {
  if (!finite(metres)) return '—';
  const value = unit === 'km' ? metres / 1000 : metres / 1000 / KM_PER_SM;
  return `${trimmed(value, value < 10 ? 1 : 0)} ${unit === 'km' ? 'km' : 'mi'}`;
}

/**
 * A height above ground from feet, in feet with statute miles and metres with km.
 * @param {number | null} feet
 * @param {string} unit
 * @returns {string}
 */
export function formatHeight(feet, unit) {
  if (!finite(feet)) return '—';
  if (unit === 'km') return `${groupedNumber(Math.round(feet * M_PER_FT))} m`;
  return `${groupedNumber(Math.round(feet))} ft`;
}
