// The forecast office's outlooks (Hazardous Weather Outlook, Fire Weather Planning Forecast)
// for the point panel: asked once the point's office is known, so each link can carry its
// issuance time and age; an office that issues no such product shows no link for it.

import {OUTLOOKS, decodeOutlook} from './discussion.js';

/**
 * @typedef {{type: string, name: string, issued: number, open: boolean, loading: boolean,
 *   error: Error | null, product: ReturnType<typeof decodeOutlook> | null}} Outlook
 */

/**
 * @param {{bridge: {request(operation: string, argument?: string): Promise<any>}, onChange: () => void}} options
 */
export function createOutlooks({bridge, onChange}) {
  /** @type {Map<string, Outlook>} by "TYPE/OFFICE" */
  const known = new Map();
  let office = '';

  async function ask(type, name) {
    const key = `${type}/${office}`;
    const entry = {type, name, issued: NaN, open: known.get(key)?.open || false, loading: true,
      error: null, product: null};
    known.set(key, entry);
    try {
      entry.product = decodeOutlook(await bridge.request('outlook', key));
      entry.issued = entry.product.issued;
    } catch (error) {
      entry.error = error;
    }
    entry.loading = false;
    onChange();
  }

  return {
    /** Asks for the office's outlooks, unless they were asked for it already. @param {string} next */
    follow(next) {
      if (!/^[A-Z]{3}$/.test(next) || next === office) return;
      office = next;
      for (const {type, name} of OUTLOOKS) ask(type, name);
    },
    /** Asks again (the point was refreshed). */
    refresh() {
      if (office) for (const {type, name} of OUTLOOKS) ask(type, name);
    },
    /** Opens or closes an outlook's text. @param {string} type */
    toggle(type) {
      const entry = known.get(`${type}/${office}`);
      if (entry) entry.open = !entry.open;
      onChange();
    },
    /**
     * The links to show for the office: those it issues (a product that is missing, 404, is
     * left out; one that failed otherwise says so when opened).
     * @param {string} forOffice
     */
    links(forOffice) {
      if (forOffice !== office) return [];
      return OUTLOOKS.map(({type}) => known.get(`${type}/${office}`)).filter((entry) =>
        entry && !(entry.error && /\b404\b/.test(entry.error.message))).map((entry) => ({
        type: entry.type, name: entry.name, issued: entry.issued,
        state: entry.open ? {loading: entry.loading, error: entry.error, product: entry.product} : null}));
    },
  };
}
