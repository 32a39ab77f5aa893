// One picture layer of the weather (radar or satellite): its listed times, read from the service
// and refreshed while it is visible, the frame it shows, and its loop. Each frame time is one
// picture of the view; a loop keeps every frame's picture on the map, the ones not shown at opacity
// 0, so their pictures are asked once per loop and a replay asks nothing.

import {ageText, frameState, loopFrames} from './frames.js';
import {FrameImage, failureText} from './tiles.js';

const FETCH_TIMEOUT_MS = 20000;
const FRAME_MS = 250;           // about 4 frames a second
const HOLD_NEWEST_FRAMES = 4;   // the newest stays a second before the loop starts again

/**
 * Reads a document with a time limit; throws with what went wrong.
 * @param {string} url
 */
export async function fetchText(url) {
  const controller = new AbortController();
  const timer = setTimeout(() => controller.abort(), FETCH_TIMEOUT_MS);
  try {
    const response = await fetch(url, {signal: controller.signal, credentials: 'omit',
      referrerPolicy: 'no-referrer', cache: 'no-store'});
    if (!response.ok) throw new Error(`the service answered ${response.status}`);
    return await response.text();
  } catch (error) {
    if (controller.signal.aborted) throw new Error('the service did not answer in time', {cause: error});
    if (error instanceof TypeError) throw new Error('the service could not be reached', {cause: error});
    throw error;
  } finally {
    clearTimeout(timer);
  }
}

/**
 * @typedef {object} SourceOptions
 * @property {import('../../vendor/leaflet/leaflet-src.esm.js').Map} map
 * @property {string} pane  the map pane its frames are drawn in
 * @property {{label: string, staleMs: number, goneMs: number, refreshMs: number, lengths: number[],
 *   steps: number[]}} limits
 * @property {() => string} timesUrl  the address of the document listing its times
 * @property {(text: string) => number[]} readTimes  the listed times, oldest first; throws
 * @property {(time: number, bounds: any, width: number, height: number) => string} imageUrl
 * @property {() => number} now
 * @property {(source: ImagerySource) => void} onChange
 */

export class ImagerySource {
  /** @param {SourceOptions} options */
  constructor(options) {
    this.options = options;
    this.label = options.limits.label;
    this.limits = options.limits;
    /** @type {number[]} listed times, oldest first */
    this.times = [];
    /** @type {Error | null} why the times could not be read */
    this.error = null;
    this.loading = false;
    this.fetchedAt = NaN;
    this.visible = false;
    this.opacity = 0.75;
    /** @type {Map<number, any>} frame time → its tiles on the map */
    this.frames = new Map();
    this.shownTime = NaN;
    /** @type {{frames: number[], index: number, playing: boolean, ready: boolean, hold: number} | null} */
    this.loop = null;
    this.timer = null;
    this.player = null;
    this.generation = 0;
  }

  get newest() {
    return this.times.length ? this.times[this.times.length - 1] : NaN;
  }

  /** 'current', 'stale' or 'gone' for the newest listed time (gone too while nothing is read). */
  state(now = this.options.now()) {
    return frameState(this.newest, now, this.limits);
  }

  /** "Radar 14:02 MST · 4 min old" for the newest frame; in a loop also the frame shown. */
  frameText(formatClock, now = this.options.now()) {
    const newest = `${this.label} ${formatClock(this.newest)} · ${ageText(now - this.newest)}`;
    const shown = this.shownTime;
    return this.loop && Number.isFinite(shown) && shown !== this.newest ?
      `${newest}; the loop shows ${formatClock(shown)}` : newest;
  }

  /** Why nothing is drawn, or why the picture may not be current; empty when it is. */
  reason(formatClock, now = this.options.now()) {
    if (this.error) return `${this.label} times could not be read: ${this.error.message}`;
    if (!this.times.length) return '';
    const state = this.state(now);
    const newest = `the newest ${this.label === 'Radar' ? 'scan' : 'image'} is from ${formatClock(this.newest)}, ${ageText(now - this.newest)}`;
    if (state === 'gone') return `Not shown: ${newest} (the map shows none over ${this.limits.goneMs / 60000} min old)`;
    if (state === 'stale') return `${newest} (over ${this.limits.staleMs / 60000} min)`;
    return '';
  }

  /** Tiles failed in the frames on the map, as a status line; empty when none did. */
  failures() {
    const counts = {loaded: 0, failed: 0, reasons: {}};
    for (const layer of this.frames.values()) {
      counts.failed += layer.counts.failed;
      for (const [reason, count] of Object.entries(layer.counts.reasons)) {
        counts.reasons[reason] = (counts.reasons[reason] || 0) + count;
      }
    }
    const text = failureText(counts);
    return text ? `${text}; left blank, not shown as current` : '';
  }

  /** @param {boolean} shown */
  setVisible(shown) {
    if (shown === this.visible) return;
    this.visible = shown;
    clearInterval(this.timer);
    this.timer = null;
    if (!shown) {
      this.stopLoop();
      this.dropFrames(() => true);
      this.changed();
      return;
    }
    this.timer = setInterval(() => this.refresh(), this.limits.refreshMs);
    if (!(this.options.now() - this.fetchedAt < this.limits.refreshMs) || this.error) this.refresh();
    else this.showNewest();
    this.changed();
  }

  /** @param {number} opacity 0–1 */
  setOpacity(opacity) {
    this.opacity = opacity;
    const shown = this.frames.get(this.shownTime);
    shown?.setOpacity(opacity);
  }

  /** Starts over with another document and tiles (another product of the same service). */
  reset() {
    this.generation++;
    this.stopLoop();
    this.dropFrames(() => true);
    this.times = [];
    this.error = null;
    this.fetchedAt = NaN;
    if (this.visible) this.refresh();
    this.changed();
  }

  async refresh() {
    if (this.loading) return;
    const generation = this.generation;
    this.loading = true;
    this.changed();
    let times = null;
    let error = null;
    try {
      times = this.options.readTimes(await fetchText(this.options.timesUrl()));
    } catch (caught) {
      error = caught instanceof Error ? caught : new Error(String(caught));
    }
    this.loading = false;
    if (generation !== this.generation) return;
    this.fetchedAt = this.options.now();
    this.error = error;
    // Without times nothing is drawn: an old frame must not stand for the present.
    this.times = error ? [] : times;
    if (this.loop) this.rebuildLoop();
    else this.showNewest();
    this.changed();
  }

  /** The picture of one frame time, made and put on the map (hidden) when it is not there yet. */
  frame(time) {
    let layer = this.frames.get(time);
    if (!layer) {
      layer = new FrameImage({pane: this.options.pane, opacity: 0,
        imageUrl: (bounds, width, height) => this.options.imageUrl(time, bounds, width, height)});
      layer.on('load tileerror', () => this.frameSettled(time));
      this.frames.set(time, layer);
      if (this.visible) layer.addTo(this.options.map);
    }
    return layer;
  }

  /** Shows one frame at the chosen opacity and hides the others (they keep their tiles). */
  show(time) {
    this.shownTime = time;
    for (const [frameTime, layer] of this.frames) layer.setOpacity(frameTime === time ? this.opacity : 0);
  }

  dropFrames(which) {
    for (const [time, layer] of [...this.frames]) {
      if (!which(time)) continue;
      layer.remove();
      this.frames.delete(time);
    }
    if (!this.frames.has(this.shownTime)) this.shownTime = NaN;
  }

  /** Outside a loop: the newest frame once its tiles are in, or nothing when it is too old. */
  showNewest() {
    if (!this.visible) return;
    if (this.state() === 'gone') {
      this.dropFrames(() => true);
      return;
    }
    const newest = this.newest;
    const layer = this.frame(newest);
    // The frame shown so far stays until the newer one has its tiles, so the map never blanks.
    if (!Number.isFinite(this.shownTime) || this.shownTime === newest || layer.settled()) {
      this.show(newest);
      this.dropFrames((time) => time !== newest);
    }
  }

  frameSettled(time) {
    if (this.loop) {
      if (!this.loop.ready && this.loop.frames.every((t) => this.frames.get(t)?.settled())) {
        this.loop.ready = true;
        if (this.loop.playing && !this.player) this.startPlayer();
      }
    } else if (time === this.newest && this.shownTime !== time && this.frames.get(time)?.settled()) {
      this.show(time);
      this.dropFrames((t) => t !== time);
    }
    this.changed();
  }

  /** Frames of the loop whose tiles are not all there. */
  incompleteFrames() {
    return this.loop ? this.loop.frames.filter((time) => (this.frames.get(time)?.counts.failed || 0) > 0).length : 0;
  }

  /** Frames still loading. */
  loadingFrames() {
    return this.loop ? this.loop.frames.filter((time) => !this.frames.get(time)?.settled()).length : 0;
  }

  /**
   * Opens the loop: every frame of the chosen length and step preloaded, then played when `play`.
   * @param {{lengthMs: number, stepMs: number}} choice
   */
  startLoop(choice, play = true) {
    this.choice = choice;
    const frames = this.state() === 'gone' ? [] : loopFrames(this.times, choice);
    this.loop = {frames, index: frames.length - 1, playing: play, ready: false, hold: 0};
    this.rebuildLoop();
  }

  /** Fits the loop to the listed times (after a refresh or a new choice), keeping loaded frames. */
  rebuildLoop() {
    if (!this.loop) return;
    const frames = this.state() === 'gone' ? [] : loopFrames(this.times, this.choice);
    const wasNewest = this.loop.index >= this.loop.frames.length - 1;
    const at = this.loop.frames[this.loop.index];
    this.loop.frames = frames;
    this.dropFrames((time) => !frames.includes(time));
    this.loop.index = wasNewest || !frames.includes(at) ? frames.length - 1 : frames.indexOf(at);
    this.loop.ready = false;
    if (frames.length) this.show(frames[this.loop.index]);
    // Every missing frame asked for at once, newest first: one picture each, so they load side by
    // side and the loop is ready about when the slowest answer is in.
    for (const time of frames.filter((t) => !this.frames.has(t)).reverse()) {
      this.frame(time).setOpacity(time === this.shownTime ? this.opacity : 0);
    }
    this.frameSettled(NaN);
  }

  startPlayer() {
    clearInterval(this.player);
    this.player = setInterval(() => this.tick(), FRAME_MS);
  }

  tick() {
    const loop = this.loop;
    if (!loop || !loop.frames.length) return;
    if (loop.index === loop.frames.length - 1 && loop.hold < HOLD_NEWEST_FRAMES) {
      loop.hold++;
      return;
    }
    loop.hold = 0;
    loop.index = (loop.index + 1) % loop.frames.length;
    this.show(loop.frames[loop.index]);
    this.changed();
  }

  play() {
    if (!this.loop) return;
    this.loop.playing = true;
    if (this.loop.ready) this.startPlayer();
    this.changed();
  }

  pause() {
    if (!this.loop) return;
    this.loop.playing = false;
    clearInterval(this.player);
    this.player = null;
    this.changed();
  }

  /** Moves by `delta` frames (pausing the loop), or to frame `index` when given. */
  step(delta, index = NaN) {
    const loop = this.loop;
    if (!loop || !loop.frames.length) return;
    if (loop.playing) this.pause();
    const count = loop.frames.length;
    loop.index = Number.isFinite(index) ? Math.max(0, Math.min(count - 1, index)) :
      (loop.index + delta + count) % count;
    this.show(loop.frames[loop.index]);
    this.changed();
  }

  /** Closes the loop: back to the newest frame alone. */
  stopLoop() {
    clearInterval(this.player);
    this.player = null;
    if (!this.loop) return;
    this.loop = null;
    this.showNewest();
    this.changed();
  }

  changed() {
    this.options.onChange(this);
  }
}
