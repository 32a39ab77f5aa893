// One kind of data from the host: asks for it on start, on a timer and on demand, keeps the last
// good reply (also in local storage, so a restart shows it with its age at once) and says how
// fresh it is.

import {loadJson, removeJson, saveJson} from './store.js';
import {formatAge} from './time.js';

/**
 * @template T
 * @typedef {object} FeedOptions
 * @property {string} name  storage and display key
 * @property {string} label  what the reader calls the data ("METAR stations")
 * @property {{request(operation: string, argument?: string): Promise<any>}} bridge  the host
 * @property {string} operation  what to ask the host
 * @property {string} [argument='']  the operation's argument
 * @property {(body: any) => T} decode  the page's shape of a reply; throws on one of the wrong form
 * @property {(body: any) => Promise<T>} [decodeInSlices]  the same, giving the browser the thread
 *   between slices; used for replies from the host (decode for the stored one)
 * @property {(data: T) => number} dataTime  the data's own time in ms, NaN when unknown
 * @property {number} intervalMs  refresh period; 0 asks only on demand
 * @property {boolean | ((body: any) => boolean)} [storeReply=true]  whether the last good reply
 *   goes to local storage, or a function of the reply saying so (a reply the store could not
 *   hold is not written out)
 * @property {number} [maxDataAgeMs=Infinity]  data older than this is stale however fresh the fetch
 * @property {Promise<{body?: any, error?: Error}> | null} [first=null]  the first refresh's request,
 *   already sent (the stations go out with the map)
 */

/** @template T */
export class Feed {
  /** @param {FeedOptions<T>} options */
  constructor({name, label, bridge, operation, argument = '', decode, decodeInSlices = null, dataTime, intervalMs,
    storeReply = true, maxDataAgeMs = Infinity, first = null}) {
    this.name = name;
    this.label = label;
    this.bridge = bridge;
    this.operation = operation;
    this.argument = argument;
    this.decode = decode;
    this.decodeInSlices = decodeInSlices;
    this.dataTime = dataTime;
    this.intervalMs = intervalMs;
    this.storeReply = storeReply;
    this.maxDataAgeMs = maxDataAgeMs;
    this.first = first;
    /** @type {T | null} the last good data */
    this.data = null;
    this.fetchedAt = NaN;
    /** @type {Error | null} */
    this.error = null;
    this.loading = false;
    this.fromStorage = false;
    /** @type {Set<(feed: Feed<T>, changedData: boolean) => void>} */
    this.listeners = new Set();
    /** @type {ReturnType<typeof setInterval> | null} */
    this.timer = null;
  }

  /**
   * Calls listener(feed, changedData) after every change of data or state; returns the unsubscriber.
   * @param {(feed: Feed<T>, changedData: boolean) => void} listener
   */
  subscribe(listener) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  /** @param {boolean} changedData */
  emit(changedData) {
    for (const listener of this.listeners) {
      try {
        listener(this, changedData);
      } catch (error) {
        console.error(`${this.label}: display failed`, error);  // one panel must not stop others
      }
    }
  }

  /** Draws the stored reply, if any, then asks the host and keeps asking every interval. */
  start() {
    this.restore();
    this.refresh();
    if (this.intervalMs) this.timer = setInterval(() => this.refresh(), this.intervalMs);
  }

  /**
   * Asks with `argument` from now on: at once when it is new or the feed was stopped, then every
   * interval.
   * @param {string} argument
   */
  ask(argument) {
    if (argument === this.argument && this.timer) return;
    this.argument = argument;
    this.refresh();
    if (!this.timer && this.intervalMs) this.timer = setInterval(() => this.refresh(), this.intervalMs);
  }

  /** Stops the timer; a request under way still settles. */
  stop() {
    clearInterval(this.timer);
    this.timer = null;
  }

  /** Draws the reply kept in local storage by an earlier run, if it still decodes. */
  restore() {
    if (!this.storeReply) return;
    const saved = loadJson(`layer.${this.name}`);
    if (!saved || !Number.isFinite(saved.fetchedAt)) return;
    try {
      this.data = this.decode(saved.body);
    } catch {
      return;  // a stored reply of an older or damaged form is simply not shown
    }
    this.fetchedAt = saved.fetchedAt;
    this.fromStorage = true;
    this.emit(true);
  }

  /** Asks the host now; a request already under way is not repeated. */
  async refresh() {
    if (this.loading) return;
    this.loading = true;
    this.emit(false);
    const argument = this.argument;
    const first = this.first;
    this.first = null;
    try {
      const body = first ? await first.then(({body: reply, error}) => {
        if (error) throw error;
        return reply;
      }) : await this.bridge.request(this.operation, argument);
      let data;
      try {
        data = this.decodeInSlices ? await this.decodeInSlices(body) : this.decode(body);
      } catch (error) {
        throw new Error(`Unexpected reply from the weather host: ${error.message}`, {cause: error});
      }
      this.data = data;
      this.fetchedAt = Date.now();
      this.fromStorage = false;
      this.error = null;
      this.loading = false;
      if (this.storeReply === true || (this.storeReply && this.storeReply(body))) {
        saveJson(`layer.${this.name}`, {fetchedAt: this.fetchedAt, body});
      } else if (this.storeReply) {
        removeJson(`layer.${this.name}`);  // older than what is now shown
      }
      this.emit(true);
    } catch (error) {
      this.error = error;
      this.loading = false;
      this.emit(false);
    }
    // The wanted argument changed while this request was under way (the map moved): ask again.
    if (this.argument !== argument) this.refresh();
  }

  /** The time of the data shown, in ms; NaN when unknown. */
  get dataTimeMs() {
    if (this.data === null) return NaN;
    try {
      return this.dataTime(this.data);
    } catch {
      return NaN;
    }
  }

  /**
   * Why the data shown may not be current, in a few words; empty when it is. Judged from the
   * data's own time as well as from the fetch: a document fetched just now can still be old.
   */
  staleReason(now = Date.now()) {
    if (this.data === null) return '';
    if (this.fromStorage) return `saved from an earlier run, fetched ${formatAge(now - this.fetchedAt)}`;
    if (this.error !== null) return `refresh failed; last good data fetched ${formatAge(now - this.fetchedAt)}`;
    if (!(now - this.fetchedAt <= 2 * this.intervalMs)) return `not refreshed since ${formatAge(now - this.fetchedAt)}`;
    const dataTime = this.dataTimeMs;
    if (Number.isFinite(dataTime) && now - dataTime > this.maxDataAgeMs) {
      return `the data itself is from ${formatAge(now - dataTime)}`;
    }
    return '';
  }
}
