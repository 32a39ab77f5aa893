// The forecast office's Area Forecast Discussion (the `discussion` reply {issuanceTime,
// issuingOffice, productText}) split for display: the heading lines, one part per ".TITLE..."
// section (ended by "&&" or the next section), and the signatures after "$$".
import {TimeOutOfRange, serviceTime} from './time.js';

const SECTION = /^\.([A-Z][A-Z0-9 /&,'()+-]*?)\.\.\.\s*(.*)$/;
// Transmission lines that say nothing to a reader: "000", "FXUS65 KSLC 201711", "AFDSLC".
const CODE_LINES = [/^\d{3}$/, /^[A-Z]{4}\d{2} [A-Z]{4} \d{6}( [A-Z]{3})?$/, /^[A-Z]{3}[A-Z0-9]{3}$/];
/** The most characters of a discussion the page reads. */
export const MAX_TEXT = 200000;

const text = (value) => (typeof value === 'string' ? value : '');

/** Lines joined back, without blank lines at either end. */
function block(lines) {
  let [start, end] = [0, lines.length];
  while (start < end && !lines[start].trim()) start++;
  while (end > start && !lines[end - 1].trim()) end--;
  return lines.slice(start, end).join('\n');
}

/** Paragraphs of a block, each with its lines joined by blanks, for a panel that wraps text. */
function paragraphs(written) {
  return written.split(/\n\s*\n/).map((paragraph) => paragraph.split('\n')
      .map((line) => line.trim()).filter(Boolean).join(' ')).filter(Boolean);
}

/**
 * Decodes a `discussion` reply: {issued (ms, NaN when unknown), issuedOutOfRange (the time given
 * lies outside the data's range), length (characters of the product), shortened (only the first
 * MAX_TEXT are read), office, text (as read), heading [lines], sections [{title, text,
 * paragraphs}], signatures (text after "$$")}. Text before the first section stays in the
 * heading; a product without sections gives one section without a title. Throws on a reply
 * without a product text.
 * @param {any} reply
 * @param {number} [now=Date.now()]  ms, for the time check
 */
export function decodeDiscussion(reply, now = Date.now()) {
  if (!reply || typeof reply !== 'object' || typeof reply.productText !== 'string') {
    throw new TypeError('Discussion reply has no product text');
  }
  const written = reply.productText.slice(0, MAX_TEXT).replace(/\r\n?/g, '\n');
  const lines = written.split('\n');
  const end = lines.findIndex((line) => line.trim() === '$$');
  const body = end < 0 ? lines : lines.slice(0, end);
  const heading = [];
  const sections = [];
  let current = null;
  for (const line of body) {
    const match = SECTION.exec(line.trimEnd());
    if (match) {
      current = {title: match[1].trim(), lines: match[2] ? [match[2]] : []};
      sections.push(current);
    } else if (line.trim() === '&&') {
      current = null;
    } else if (current) {
      current.lines.push(line);
    } else if (!sections.length) {
      if (!CODE_LINES.some((code) => code.test(line.trim()))) heading.push(line);
    } else if (line.trim()) {
      // Text between "&&" and the next section belongs to no title: show it untitled.
      current = {title: '', lines: [line]};
      sections.push(current);
    }
  }
  const headingLines = block(heading).split('\n').filter((line) => line.trim());
  if (!sections.length && headingLines.length > 3) {
    // No sections at all: keep the first lines as the heading and the rest as one part.
    sections.push({title: '', lines: headingLines.splice(3)});
  }
  let issued = typeof reply.issuanceTime === 'string' ? Date.parse(reply.issuanceTime) : NaN;
  let issuedOutOfRange = false;
  try {
    issued = serviceTime(issued, 'report', now);
  } catch (error) {
    if (!(error instanceof TimeOutOfRange)) throw error;
    [issued, issuedOutOfRange] = [NaN, true];
  }
  return {
    issued,
    issuedOutOfRange,
    length: reply.productText.length,
    shortened: reply.productText.length > MAX_TEXT,
    office: text(reply.issuingOffice).trim(),
    text: written,
    heading: headingLines.map((line) => line.trim()),
    sections: sections.map(({title, lines: own}) => {
      const sectionText = block(own);
      return {title, text: sectionText, paragraphs: paragraphs(sectionText)};
    }),
    signatures: end < 0 ? '' : block(lines.slice(end + 1)),
  };
}
