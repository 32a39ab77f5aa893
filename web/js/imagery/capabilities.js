// The frame times of the imagery layers, read from the services' own documents: the radar's
// WMS capabilities (its layer's `time` dimension) and the satellite service's per-layer
// DescribeDomains answer. Times are never computed from the clock; a document of any other
// shape is refused with the reason, so a wrong assumption about a service fails loudly.

const MINUTE = 60000;
// The documents are small (about 60 radar times; a few ranges per satellite layer): anything far
// larger is not what we asked for, and parsing it would only cost memory.
export const MAX_DOCUMENT_CHARS = 8 * 1024 * 1024;
// Intervals are expanded from their end backwards, no further than a loop can reach.
const MAX_EXPANDED = 1000;

/** An ISO 8601 duration (PT2M, PT10M, PT1H, P1D) in ms; NaN when unreadable or zero. */
export function durationMs(text) {
  const match = /^P(?:(\d+)D)?(?:T(?:(\d+)H)?(?:(\d+)M)?(?:(\d+(?:\.\d+)?)S)?)?$/.exec(text);
  if (!match || text === 'P' || text.endsWith('T')) return NaN;
  const [days, hours, minutes, seconds] = match.slice(1).map((part) => Number(part || 0));
  const ms = ((days * 24 + hours) * 60 + minutes) * MINUTE + seconds * 1000;
  return ms > 0 ? ms : NaN;
}

/** An ISO time with a zone ("2026-11-20T17:58:00Z", "…T17:58:00.000Z"); NaN otherwise. */
function timeMs(text) {
  if (!/^\d{4}-\d\d-\d\dT\d\d:\d\d(:\d\d(\.\d+)?)?(Z|[+-]\d\d:\d\d)$/.test(text)) return NaN;
  return Date.parse(text);
}

/**
 * The times of a dimension value: a comma list of times and `start/end/period` intervals,
 * sorted and without repeats; intervals yield their times from the end back, at most
 * MAX_EXPANDED each. Only those within `keepMs` of the newest are kept.
 * @param {string} value
 * @param {number} [keepMs=Infinity]
 * @returns {number[]}
 */
export function dimensionTimes(value, keepMs = Infinity) {
  const times = new Set();
  for (const item of value.split(',').map((part) => part.trim()).filter(Boolean)) {
    const parts = item.split('/');
    if (parts.length === 1) {
      const time = timeMs(parts[0]);
      if (!Number.isFinite(time)) throw new Error(`a time could not be read: "${item.slice(0, 40)}"`);
      times.add(time);
      continue;
    }
    const [start, end, period] = [timeMs(parts[0]), timeMs(parts[1]), durationMs(parts[2] || '')];
    if (parts.length !== 3 || !Number.isFinite(start) || !Number.isFinite(end) ||
        !Number.isFinite(period) || end < start) {
      throw new Error(`an interval could not be read: "${item.slice(0, 60)}"`);
    }
    // The listed times of an interval are start + k·period; the last one at or before its end.
    let time = start + Math.floor((end - start) / period) * period;
    for (let count = 0; time >= start && count < MAX_EXPANDED; count++) {
      times.add(time);
      time -= period;
    }
  }
  const sorted = [...times].sort((a, b) => a - b);
  const newest = sorted[sorted.length - 1];
  return sorted.filter((time) => time >= newest - keepMs);
}

/** Parses XML text with the browser's parser; throws with the reason. */
function parseXml(text) {
  if (typeof text !== 'string') throw new Error('the answer is not a document');
  if (text.length > MAX_DOCUMENT_CHARS) {
    throw new Error(`the document is too large (${Math.round(text.length / 1048576)} MB)`);
  }
  const document = new DOMParser().parseFromString(text, 'application/xml');
  if (document.getElementsByTagName('parsererror').length) throw new Error('the answer is not an XML document');
  const root = document.documentElement;
  if (/ExceptionReport$/.test(root.localName)) {
    const message = root.textContent.replace(/\s+/g, ' ').trim().slice(0, 160);
    throw new Error(`the service answered with an exception${message ? `: ${message}` : ''}`);
  }
  return root;
}

const childrenNamed = (node, name) => [...node.children].filter((child) => child.localName === name);

/**
 * The listed times of one layer in a WMS 1.3.0 (or 1.1.1) capabilities document, oldest first.
 * @param {unknown} text  the document
 * @param {string} layerName  the layer's Name
 * @param {{keepMs?: number}} [options]  only times this close to the newest are kept
 * @returns {number[]}
 */
export function radarTimes(text, layerName, {keepMs = Infinity} = {}) {
  const root = parseXml(text);
  if (!['WMS_Capabilities', 'WMT_MS_Capabilities'].includes(root.localName)) {
    throw new Error(`the answer is not a WMS capabilities document (${root.localName})`);
  }
  const layer = [...root.getElementsByTagNameNS('*', 'Layer')].find((candidate) =>
    childrenNamed(candidate, 'Name').some((name) => name.textContent.trim() === layerName));
  if (!layer) throw new Error(`the layer ${layerName} is not listed`);
  // 1.3.0 writes the values in Dimension; 1.1.1 in Extent.
  const dimension = [...childrenNamed(layer, 'Dimension'), ...childrenNamed(layer, 'Extent')]
      .find((node) => node.getAttribute('name')?.toLowerCase() === 'time' && node.textContent.trim());
  if (!dimension) throw new Error(`the layer ${layerName} lists no times`);
  const times = dimensionTimes(dimension.textContent, keepMs);
  if (!times.length) throw new Error(`the layer ${layerName} lists no times`);
  return times;
}

/**
 * The times of a WMTS DescribeDomains answer (the `time` DimensionDomain), oldest first.
 * @param {unknown} text
 * @param {{keepMs?: number}} [options]  only times this close to the newest are kept
 * @returns {number[]}
 */
export function domainTimes(text, {keepMs = Infinity} = {}) {
  const root = parseXml(text);
  if (root.localName !== 'Domains') throw new Error(`the answer is not a domains document (${root.localName})`);
  const domain = [...root.getElementsByTagNameNS('*', 'DimensionDomain')].find((node) =>
    childrenNamed(node, 'Identifier').some((id) => id.textContent.trim().toLowerCase() === 'time'));
  const value = domain && childrenNamed(domain, 'Domain')[0]?.textContent.trim();
  if (!value) throw new Error('the layer lists no times');
  return dimensionTimes(value, keepMs);
}
