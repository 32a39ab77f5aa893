// The page's request budgets. A service's limits are the reader's problem when the page breaks
// them (the aviation service allows about 100 requests a minute per address and blocks those who
// poll harder), so every request pattern goes through a gate with a ceiling, and area requests
// through a fixed grid whose tiles are asked once per lifetime of their reply.

import {formatCoordinate} from './geo.js';

const MINUTE = 60000;

/**
 * @typedef {object} GateOptions
 * @property {number} maxInFlight  requests out at once
 * @property {number} perMinute  requests started in any 60 s
 * @property {() => number} [now=Date.now]
 */

/**
 * A gate in front of one service: wait() says how long until another request may start (0 now,
 * Infinity while `maxInFlight` are out), start() and done() count one; whoever waits for the
 * gate subscribes and hears when a request is done.
 * @param {GateOptions} options
 */
export function createGate({maxInFlight, perMinute, now = () => Date.now()}) {
  /** @type {number[]} start times within the last minute, oldest first */
  const starts = [];
  const listeners = new Set();
  let inFlight = 0;
  const forget = (at) => {
    while (starts.length && starts[0] <= at - MINUTE) starts.shift();
  };
  return {
    /** @returns {number} ms */
    wait() {
      const at = now();
      forget(at);
      if (inFlight >= maxInFlight) return Infinity;
      return starts.length < perMinute ? 0 : starts[0] + MINUTE - at;
    },
    start() {
      inFlight++;
      starts.push(now());
    },
    done() {
      inFlight = Math.max(0, inFlight - 1);
      for (const listener of [...listeners]) listener();
    },
    /** @param {() => void} listener */
    subscribe(listener) {
      listeners.add(listener);
    },
    get inFlight() {
      return inFlight;
    },
    /** Requests started in the last minute. */
    get lastMinute() {
      forget(now());
      return starts.length;
    },
    perMinute,
  };
}

/** @typedef {ReturnType<typeof createGate>} Gate */
/** @typedef {{south: number, west: number, north: number, east: number}} Box */

/**
 * @template R
 * @typedef {object} TileBudgetOptions
 * @property {{request(operation: string, argument?: string): Promise<any>}} bridge  the host
 * @property {string} operation  asked with "south,west,north,east" of a run of tiles
 * @property {(body: any) => R[]} decode  a reply's records; throws on one of the wrong form
 * @property {(record: R) => {lat: number, lon: number}} position  where a record belongs
 * @property {Gate} gate  the service's gate, shared with every other pattern that asks it
 * @property {Box} area  where the host accepts boxes; the grid starts at its south-west corner
 * @property {number} [tileDegrees=2]  the grid's step
 * @property {number} [maxBoxTiles=4]  tiles along each side of one request at most
 * @property {number} lifetimeMs  how long a tile's reply is fresh (the host keeps it as long)
 * @property {number} [retryMs=60000]  how long a tile whose request failed waits to be asked again
 * @property {(records: R[]) => boolean} [full]  whether a reply holds as many records as the
 *   service sends at most, so some may have been cut: its tiles are asked again in boxes half as
 *   wide, down to single tiles
 * @property {() => number} [now=Date.now]
 */

/**
 * Area requests on a fixed grid: clients say which box they need (want), the budget asks for the
 * tiles covering it that have no fresh reply, several neighbours in one request, one request at a
 * time through the gate, and keeps each tile's records. What the gate holds back waits, and the
 * client can say so (progress). Tiles are asked again when their reply's lifetime ends while a
 * client still wants them.
 * @template R
 * @param {TileBudgetOptions<R>} options
 */
export function createTileBudget({bridge, operation, decode, position, gate, area, tileDegrees = 2,
  maxBoxTiles = 4, lifetimeMs, retryMs = MINUTE, full = () => false, now = () => Date.now()}) {
  /**
   * Tiles ever asked: `kept` once a reply came (its records stay until the next one replaces
   * them), `fetchedAt` of the reply, `failedAt` of the last failure; `group` the part of a box
   * whose full reply split it (only tiles of one group share a box from then on), `cut` while
   * its records come from a full reply.
   * @typedef {{kept: boolean, fetchedAt: number, records: R[], failedAt: number, group: string, cut: boolean}} Tile
   * @type {Map<string, Tile>}
   */
  const tiles = new Map();
  /** @type {Map<string, string[]>} client → tile keys, most wanted first */
  const wants = new Map();
  const asking = new Set();
  const listeners = new Set();
  /** @type {Error | null} */
  let lastError = null;
  let timer = null;
  const rows = Math.ceil((area.north - area.south) / tileDegrees);
  const columns = Math.ceil((area.east - area.west) / tileDegrees);
  const keyOf = (row, column) => `${row},${column}`;
  const tile = (key) => {
    if (!tiles.has(key)) {
      tiles.set(key, {kept: false, fetchedAt: NaN, records: [], failedAt: NaN, group: '', cut: false});
    }
    return tiles.get(key);
  };
  const fresh = (key, at) => at - tiles.get(key)?.fetchedAt < lifetimeMs;
  const resting = (key, at) => at - tiles.get(key)?.failedAt < retryMs;
  const emit = (changedData = false) => {
    for (const listener of listeners) listener(changedData);
  };

  /** The tile keys covering a box, nearest to its centre first. @param {Box} box */
  function tilesOf(box) {
    const clamp = (value, high) => Math.min(high - 1, Math.max(0, value));
    const south = clamp(Math.floor((box.south - area.south) / tileDegrees), rows);
    const north = clamp(Math.ceil((box.north - area.south) / tileDegrees) - 1, rows);
    const west = clamp(Math.floor((box.west - area.west) / tileDegrees), columns);
    const east = clamp(Math.ceil((box.east - area.west) / tileDegrees) - 1, columns);
    if (box.north <= area.south || box.south >= area.north || box.east <= area.west ||
        box.west >= area.east) {
      return [];
    }
    const middle = [(south + north) / 2, (west + east) / 2];
    const keys = [];
    for (let row = south; row <= north; row++) {
      for (let column = west; column <= east; column++) keys.push([row, column]);
    }
    return keys.sort((a, b) => Math.hypot(a[0] - middle[0], a[1] - middle[1]) -
        Math.hypot(b[0] - middle[0], b[1] - middle[1])).map(([row, column]) => keyOf(row, column));
  }

  /** Wanted tiles without a fresh reply, not being asked and not resting after a failure. */
  function missing(at = now()) {
    const seen = new Set();
    const result = [];
    for (const keys of wants.values()) {
      for (const key of keys) {
        if (seen.has(key)) continue;
        seen.add(key);
        if (!fresh(key, at) && !asking.has(key) && !resting(key, at)) result.push(key);
      }
    }
    return result;
  }

  /**
   * The first missing tile and as many of the others as fit one box with it: at most maxBoxTiles
   * a side (fewer where a full reply split the tiles), and every tile in it missing (a fresh one is
   * not asked again).
   */
  function nextRun(keys) {
    const open = new Set(keys);
    const parts = keys.map((key) => key.split(',').map(Number));
    const run = {south: parts[0][0], north: parts[0][0], west: parts[0][1], east: parts[0][1]};
    const group = (key) => tiles.get(key)?.group ?? '';
    const first = group(keys[0]);
    const fits = (box) => {
      for (let row = box.south; row <= box.north; row++) {
        for (let column = box.west; column <= box.east; column++) {
          const key = keyOf(row, column);
          if (!open.has(key) || group(key) !== first) return false;
        }
      }
      return true;
    };
    for (const [row, column] of parts.slice(1)) {
      const grown = {south: Math.min(run.south, row), north: Math.max(run.north, row),
        west: Math.min(run.west, column), east: Math.max(run.east, column)};
      if (grown.north - grown.south < maxBoxTiles && grown.east - grown.west < maxBoxTiles && fits(grown)) {
        Object.assign(run, grown);
      }
    }
    return run;
  }

  async function ask(run) {
    const keys = [];
    for (let row = run.south; row <= run.north; row++) {
      for (let column = run.west; column <= run.east; column++) keys.push(keyOf(row, column));
    }
    const box = {south: area.south + run.south * tileDegrees, west: area.west + run.west * tileDegrees,
      north: Math.min(area.north, area.south + (run.north + 1) * tileDegrees),
      east: Math.min(area.east, area.west + (run.east + 1) * tileDegrees)};
    for (const key of keys) asking.add(key);
    gate.start();
    emit();
    let changed = false;
    try {
      const records = decode(await bridge.request(operation,
          [box.south, box.west, box.north, box.east].map(formatCoordinate).join(',')));
      const at = now();
      // A full reply of a box larger than one tile is kept for now and asked again in quarters.
      const half = Math.ceil((Math.max(run.north - run.south, run.east - run.west) + 1) / 2);
      const cut = full(records);
      const split = cut && keys.length > 1;
      for (const key of keys) {
        const [row, column] = key.split(',').map(Number);
        Object.assign(tile(key), {kept: true, fetchedAt: split ? NaN : at, records: [], failedAt: NaN, cut});
        if (split) {
          tile(key).group = [run.south + Math.floor((row - run.south) / half) * half,
            run.west + Math.floor((column - run.west) / half) * half, half].join(',');
        }
      }
      for (const record of records) {
        const {lat, lon} = position(record);
        const row = Math.floor((lat - area.south) / tileDegrees);
        const column = Math.floor((lon - area.west) / tileDegrees);
        if (row >= run.south && row <= run.north && column >= run.west && column <= run.east) {
          tiles.get(keyOf(row, column)).records.push(record);
        }
      }
      lastError = null;
      changed = true;
    } catch (error) {
      const at = now();
      for (const key of keys) tile(key).failedAt = at;
      lastError = error;
    } finally {
      for (const key of keys) asking.delete(key);
      gate.done();  // which pumps, through the gate's listeners
    }
    emit(changed);
  }

  /** Starts the next request if the gate allows, else comes back when it will or a tile expires. */
  function pump() {
    clearTimeout(timer);
    timer = null;
    const at = now();
    const keys = missing(at);
    const wait = keys.length ? gate.wait() : Infinity;
    if (keys.length && wait === 0) {
      ask(nextRun(keys));
      return;
    }
    // Come back when the gate opens (a request that ends opens it and pumps), or when the first
    // wanted tile turns stale or ends its rest after a failure.
    let next = Number.isFinite(wait) && keys.length ? wait : Infinity;
    for (const key of new Set([...wants.values()].flat())) {
      const entry = tiles.get(key);
      for (const due of entry ? [entry.fetchedAt + lifetimeMs, entry.failedAt + retryMs] : []) {
        if (due > at) next = Math.min(next, due - at);
      }
    }
    if (Number.isFinite(next)) timer = setTimeout(pump, Math.max(50, next));
  }
  gate.subscribe(pump);

  return {
    /**
     * The box a client needs from now on (null: nothing), or several boxes, most wanted first:
     * its tiles without a fresh reply are asked, nearest to a box's centre first, at most
     * `maxNew` of them for this call; what it no longer wants is not asked for it. Returns the
     * number of tiles left out for `maxNew`.
     * @param {string} client  "view", "route"…
     * @param {Box | Box[] | null} box
     * @param {{maxNew?: number}} [limit]
     */
    want(client, box, {maxNew = Infinity} = {}) {
      let left = 0;
      if (box) {
        const at = now();
        const keys = [...new Set((Array.isArray(box) ? box : [box]).flatMap(tilesOf))];
        const kept = [];
        let added = 0;
        for (const key of keys) {
          if (fresh(key, at) || asking.has(key) || added++ < maxNew) kept.push(key);
          else left++;
        }
        wants.set(client, kept);
      } else {
        wants.delete(client);
      }
      emit();
      pump();
      return left;
    },
    /**
     * The records of the kept tiles covering a box (every kept tile without one), fresh or not.
     * @param {Box | null} [box]
     * @returns {R[]}
     */
    records(box = null) {
      const keys = box ? tilesOf(box) : [...tiles.keys()];
      return keys.flatMap((key) => (tiles.get(key)?.kept ? tiles.get(key).records : []));
    },
    /**
     * What a client's box is waiting for: `asking` tiles under way, `waiting` tiles not asked yet
     * (held back by the gate), `fresh` tiles whose reply is fresh, `cut` tiles whose records come
     * from a full reply (some may be missing), and the last failure (null once a request succeeds).
     * @param {string} client
     */
    progress(client) {
      const at = now();
      const keys = wants.get(client) || [];
      const waiting = missing(at).filter((key) => keys.includes(key)).length;
      return {tiles: keys.length, fresh: keys.filter((key) => fresh(key, at)).length,
        asking: keys.filter((key) => asking.has(key)).length, waiting,
        cut: keys.filter((key) => tiles.get(key)?.cut).length,
        gateOpen: gate.wait() === 0, error: lastError};
    },
    /**
     * Asks for a client's tiles again as soon as the gate allows (Refresh); their records stay
     * shown meanwhile.
     * @param {string} client
     */
    refresh(client) {
      for (const key of wants.get(client) || []) {
        const entry = tiles.get(key);
        if (entry && !asking.has(key)) Object.assign(entry, {fetchedAt: -Infinity, failedAt: NaN});
      }
      pump();
    },
    /**
     * Calls listener(changedData) after every change, changedData true when records came;
     * returns the unsubscriber.
     * @param {(changedData: boolean) => void} listener
     */
    subscribe(listener) {
      listeners.add(listener);
      return () => listeners.delete(listener);
    },
  };
}
