// Coordinates as people write them: decimal degrees with a sign or a hemisphere letter,
// degrees and minutes, or degrees, minutes and seconds, separated by a comma or blanks.

/** @type {[RegExp, string][]} */
const SYMBOLS = [
  [/[°º˚]/g, '°'], [/''|[″”“]/g, '"'], [/[′’‘´`]/g, '\''], [/−/g, '-'],
];
// One piece: a comma, a hemisphere letter, or a number with an optional unit mark after it.
const TOKEN = /\s*(?:(,)|([NSEW])|([+-]?\d+(?:\.\d+)?)\s*([°'"])?)/y;
const MARKS = ['°', '\'', '"'];

function tokens(text) {
  const found = [];
  TOKEN.lastIndex = 0;
  while (TOKEN.lastIndex < text.length) {
    const start = TOKEN.lastIndex;
    const match = TOKEN.exec(text);
    if (!match) return text.slice(start).trim() === '' ? found : null;
    const [, comma, hemisphere, number, mark] = match;
    if (comma) found.push({comma: true});
    else if (hemisphere) found.push({hemisphere});
    else found.push({text: number, value: Number(number), mark: mark || null});
  }
  return found;
}

/**
 * One coordinate from its pieces: an optional hemisphere letter before or after one to three
 * numbers (degrees, minutes, seconds). Returns {value, axis} with axis 'lat', 'lon' or null
 * (no letter), or null when the pieces are no coordinate.
 */
function coordinate(pieces) {
  const letters = pieces.filter((piece) => piece.hemisphere);
  const numbers = pieces.filter((piece) => !piece.hemisphere);
  if (letters.length > 1 || numbers.length < 1 || numbers.length > 3) return null;
  if (letters.length && pieces.indexOf(letters[0]) !== 0 && pieces.at(-1) !== letters[0]) return null;
  let total = 0;
  for (const [position, number] of numbers.entries()) {
    if (number.mark && MARKS.indexOf(number.mark) !== position) return null;
    if (position > 0 && /^[+-]/.test(number.text)) return null;
    const last = position === numbers.length - 1;
    if (!last && !Number.isInteger(number.value)) return null;  // 40.5 30 is no coordinate
    if (position > 0 && !(number.value < 60)) return null;
    total += Math.abs(number.value) / 60 ** position;
  }
  const signed = /^-/.test(numbers[0].text);
  const hemisphere = letters[0]?.hemisphere;
  if (hemisphere && /^[+-]/.test(numbers[0].text)) return null;  // "-111W": which one is meant?
  const negative = signed || hemisphere === 'S' || hemisphere === 'W';
  const axis = hemisphere ? ('NS'.includes(hemisphere) ? 'lat' : 'lon') : null;
  return {value: negative ? -total : total, axis};
}

/** {lat, lon} from two coordinates in either order when lettered, else latitude first. */
function pair(first, second) {
  if (!first || !second) return null;
  if (first.axis && first.axis === second.axis) return null;
  const [lat, lon] = first.axis === 'lon' || second.axis === 'lat' ? [second, first] : [first, second];
  if (!(Math.abs(lat.value) <= 90 && Math.abs(lon.value) <= 180)) return null;
  return {lat: lat.value + 0, lon: lon.value + 0};  // + 0 turns -0 into 0
}

/**
 * Reads a position written as "40.76, -111.89", "40.76N 111.89W", "N40°45.6′ W111°53.4′",
 * "40 45.6N 111 53.4W" or "40°45′36″N 111°53′24″W" (latitude first unless lettered). Returns
 * {lat, lon} in decimal degrees, or null for anything else: out-of-range values, minutes or
 * seconds of 60 or more, a sign and a letter together, or numbers that can be read two ways.
 * @param {any} text
 * @returns {{lat: number, lon: number} | null}
 */
export function parseCoordinates(text) {
  if (typeof text !== 'string' || text.length > 100) return null;
  let normal = text.toUpperCase();
  for (const [pattern, replacement] of SYMBOLS) normal = normal.replace(pattern, replacement);
  const pieces = tokens(normal.trim());
  if (!pieces || !pieces.length) return null;
  const commas = pieces.filter((piece) => piece.comma).length;
  if (commas > 1) return null;
  if (commas === 1) {
    const at = pieces.findIndex((piece) => piece.comma);
    return pair(coordinate(pieces.slice(0, at)), coordinate(pieces.slice(at + 1)));
  }
  // Blank-separated: every split that reads as two coordinates; more than one reading is a guess.
  const readings = [];
  for (let at = 1; at < pieces.length; at++) {
    const reading = pair(coordinate(pieces.slice(0, at)), coordinate(pieces.slice(at)));
    if (reading && !readings.some((r) => r.lat === reading.lat && r.lon === reading.lon)) {
      readings.push(reading);
    }
  }
  return readings.length === 1 ? readings[0] : null;
}
