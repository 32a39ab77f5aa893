// Aviation hazards in words: what each one is in plain language, its heights as a pilot reads
// them ("FL240 to FL400", "freezing level to FL220"), the short label its area carries on the
// map ("TURB FL200–350", "ICE 080–FL180", "IFR") and the product it comes from.

import {altitudeBand} from './hazards.js';
import {groupedNumber} from './units.js';

/** @typedef {import('./hazards.js').HazardItem} HazardItem */

// A product's own word set among the page's words, between U+2068 and U+2069 (first strong
// isolate, pop directional isolate): a direction mark in it cannot reorder the words around it,
// on the map's labels as in the panels.
const isolated = (written) => `\u2068${written}\u2069`;

// Per hazard as the products spell it: the plain words and the chart abbreviation.
const HAZARDS = {
  CONVECTIVE: ['thunderstorms', 'TS'],
  TS: ['thunderstorms', 'TS'],
  TURB: ['turbulence', 'TURB'],
  'TURB-HI': ['high-level turbulence', 'TURB'],
  'TURB-LO': ['low-level turbulence', 'TURB'],
  ICE: ['icing', 'ICE'],
  IFR: ['IFR: ceiling below 1,000 ft or visibility below 3 miles', 'IFR'],
  MT_OBSC: ['mountain obscuration', 'MTN OBSC'],
  'MTN OBSCN': ['mountain obscuration', 'MTN OBSC'],
  LLWS: ['low-level wind shear', 'LLWS'],
  SFC_WND: ['surface wind (sustained over 30 kt)', 'SFC WND'],
  FZLVL: ['freezing level', 'FZLVL'],
  M_FZLVL: ['freezing level (several levels)', 'FZLVL'],
  PCPN: ['precipitation', 'PCPN'],
  VA: ['volcanic ash', 'VA'],
  DS: ['dust storm', 'DS'],
  SS: ['sand storm', 'SS'],
  TC: ['tropical cyclone', 'TC'],
  UNK: ['hazard of an unknown kind', 'CWA'],
};

const SEVERITIES = {LGT: 'light', 'LGT-MOD': 'light to moderate', MOD: 'moderate',
  'MOD-SEV': 'moderate to severe', SEV: 'severe', 'OCNL SEV': 'occasionally severe', EXTRM: 'extreme'};

const PRODUCTS = {SIERRA: 'G-AIRMET Sierra (IFR, mountain obscuration)',
  TANGO: 'G-AIRMET Tango (turbulence, wind)', ZULU: 'G-AIRMET Zulu (icing, freezing level)'};

/**
 * What the item is, in plain words: "Turbulence (occasionally severe)", "Mountain obscuration".
 * @param {HazardItem} item
 * @returns {string}
 */
export function hazardWords(item) {
  const capital = (words) => `${words[0].toUpperCase()}${words.slice(1)}`;
  const words = HAZARDS[item.hazard]?.[0] ? capital(HAZARDS[item.hazard][0]) :
    isolated(capital(item.hazard.toLowerCase()));
  const severity = item.severity ? SEVERITIES[item.severity.toUpperCase()] ||
      isolated(item.severity.toLowerCase()) : '';
  return `${words}${severity ? ` (${severity})` : ''}`;
}

/** A height in feet as charts write it: hundreds of feet ("080"), flight levels from 18,000. */
function chartLevel(feet) {
  const hundreds = String(Math.round(feet / 100)).padStart(3, '0');
  return feet >= 18000 ? `FL${hundreds}` : hundreds;
}

/** A height in words: "8,000 ft", "FL240". */
function heightWords(feet) {
  return feet >= 18000 ? `FL${Math.round(feet / 100)}` : `${groupedNumber(feet)} ft`;
}

/**
 * The item's heights in words: "FL200 to FL350", "Surface to 2,000 ft", "Freezing level to
 * FL220", "At 4,000 ft", "Surface up; no top given".
 * @param {HazardItem} item
 * @returns {string}
 */
export function altitudeText(item) {
  const {lowFeet, highFeet, base} = altitudeBand(item);
  const low = base === 'surface' ? 'Surface' : base === 'freezing level' ? 'Freezing level' :
      heightWords(lowFeet);
  if (highFeet === null) return `${low} up; no top given`;
  if (base === 'height' && highFeet === lowFeet) return `At ${heightWords(lowFeet)}`;
  return `${low} to ${heightWords(highFeet)}`;
}

/**
 * The short label of an item's area on the map: "TURB FL200–350", "ICE 080–FL180", "IFR",
 * "TS TOPS FL420", "ICE FZL–FL220".
 * @param {HazardItem} item
 * @returns {string}
 */
export function hazardLabel(item) {
  const name = HAZARDS[item.hazard]?.[1] || isolated(item.hazard);
  const {lowFeet, highFeet, base} = altitudeBand(item);
  if (highFeet === null) return base === 'height' ? `${name} ABV ${chartLevel(lowFeet)}` : name;
  if (name === 'TS' && base === 'surface') return `TS TOPS ${chartLevel(highFeet)}`;
  if (base === 'height' && highFeet === lowFeet) return `${name} ${chartLevel(lowFeet)}`;
  const low = base === 'surface' ? 'SFC' : base === 'freezing level' ? 'FZL' : chartLevel(lowFeet);
  // FL200–350: the second flight level needs no "FL" of its own.
  const high = lowFeet >= 18000 && highFeet >= 18000 ? chartLevel(highFeet).slice(2) : chartLevel(highFeet);
  return `${name} ${low}–${high}`;
}

/**
 * The product an item comes from, in words: "Convective SIGMET (KKCI)", "G-AIRMET Tango
 * (turbulence, wind)", "Center Weather Advisory, Salt Lake City Center (ZLC)".
 * @param {HazardItem} item
 * @returns {string}
 */
export function sourceText(item) {
  if (item.kind === 'gairmet') return PRODUCTS[item.product] || 'G-AIRMET';
  if (item.kind === 'cwa') return `Center Weather Advisory${item.issuer ? `, ${item.issuer}` : ''}`;
  const name = item.kind === 'convective-sigmet' ? 'Convective SIGMET' : 'SIGMET';
  return item.issuer ? `${name} (${item.issuer})` : name;
}
