// The avalanche forecasts as a feed of their own: asked when the centres publish (every 15
// minutes from 5 to 10 am Mountain time, hourly otherwise), and only while the layer is shown,
// which it is by default in the season (December to April) and otherwise once the reader turns
// it on.

import {Feed} from './feed.js';
import {USUAL_INTERVAL_MS, decodeAvalanche, inAvalancheSeason, nextAvalancheAsk} from './avalanche.js';

/** Decodes the map layer, measured for the benchmark. @param {any} body */
function timedDecode(body) {
  performance.mark('corvane:avalanche-decode-start');
  const decoded = decodeAvalanche(body);
  performance.measure('corvane:avalanche-decode', 'corvane:avalanche-decode-start');
  return decoded;
}

const OPTIONS = {name: 'avalanche', label: 'Avalanche danger', operation: 'avalanche',
  decode: timedDecode, dataTime: () => NaN, intervalMs: USUAL_INTERVAL_MS};

/** @extends {Feed<ReturnType<typeof decodeAvalanche>>} */
export class AvalancheFeed extends Feed {
  /** @param {{bridge: {request(operation: string, argument?: string): Promise<any>}, now?: () => number}} options */
  constructor({bridge, now = () => Date.now()}) {
    super({...OPTIONS, bridge});
    this.now = now;
    this.wanted = inAvalancheSeason(now());
    /** @type {ReturnType<typeof setTimeout> | null} */
    this.next = null;
    this.nextAt = NaN;
  }

  /** Shows the saved forecasts, and asks if the layer is wanted. */
  start() {
    this.restore();
    if (this.wanted) this.askNow();
  }

  /** Asks now and sets the next asking time. */
  askNow() {
    clearTimeout(this.next);
    this.refresh();
    this.nextAt = nextAvalancheAsk(this.now());
    this.next = setTimeout(() => this.askNow(), Math.max(1000, this.nextAt - this.now()));
  }

  /**
   * The layer was turned on or off: asks at once when turned on (unless the forecasts are still
   * fresh), stops asking when turned off.
   * @param {boolean} shown
   */
  setWanted(shown) {
    this.wanted = shown;
    if (!shown) {
      clearTimeout(this.next);
      this.next = null;
      this.nextAt = NaN;
      this.emit(false);
    } else if (!this.next) {
      this.askNow();
    }
  }

  /** Asks the host now, but never while the layer is off. */
  async refresh() {
    if (this.wanted) await super.refresh();
  }

  /** Not stale while the reader keeps it off: it is simply not asked for. */
  staleReason(now = Date.now()) {
    return this.wanted ? super.staleReason(now) : '';
  }
}
