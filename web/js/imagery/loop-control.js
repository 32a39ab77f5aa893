// The loop control on the map: which picture loops, play and pause, a step back and forward, a
// slider of the frames with the frame's time under it, and the loop's length and step. Space
// plays and pauses and the arrow keys step while focus is inside it; the frame time is
// announced only when stepping, never while playing.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {el, replaceChildren} from '../dom.js';

const hours = (ms) => `${ms / 3600000} h`;
const stepName = (ms) => (ms ? `Every ${ms / 60000} min` : 'Every scan');

export class LoopControl extends L.Control {
  /**
   * @param {{sources: import('./source.js').ImagerySource[], formatClock: (ms: number) => string}} options
   */
  constructor({sources, formatClock}) {
    super({position: 'bottomleft'});  // over the Pacific at the first view, not the north-west's stations
    this.sources = sources;
    this.formatClock = formatClock;
    this.current = sources[0];
    this.drawnOptions = '';
    /** @type {Map<any, {lengthMs: number, stepMs: number}>} */
    this.choices = new Map(sources.map((source) => [source,
      {lengthMs: source.limits.lengths[0], stepMs: source.limits.steps[0]}]));
    this.root = el('div', {className: 'loop-control', role: 'group', 'aria-label': 'Picture loop'});
    L.DomEvent.disableClickPropagation(this.root);
    L.DomEvent.disableScrollPropagation(this.root);
    this.which = el('select', {'aria-label': 'Loop of', on: {change: () => this.choose(this.which.value)}});
    this.name = el('span', {className: 'loop-name'});
    this.playButton = el('button', {type: 'button', className: 'loop-play', on: {click: () => this.toggle()}});
    this.back = el('button', {type: 'button', text: '‹', 'aria-label': 'Previous frame', on: {click: () => this.step(-1)}});
    this.forward = el('button', {type: 'button', text: '›', 'aria-label': 'Next frame', on: {click: () => this.step(1)}});
    this.slider = el('input', {type: 'range', min: '0', max: '0', value: '0', className: 'loop-slider',
      'aria-label': 'Frame', on: {input: () => this.step(0, Number(this.slider.value))}});
    this.time = el('div', {className: 'loop-time', 'aria-hidden': 'true'});
    this.length = el('select', {'aria-label': 'Loop length', on: {change: () => this.rechoose()}});
    this.stride = el('select', {'aria-label': 'Loop step', on: {change: () => this.rechoose()}});
    this.close = el('button', {type: 'button', className: 'loop-close', text: 'Newest',
      'aria-label': 'Close the loop and show the newest frame', on: {click: () => this.current.stopLoop()}});
    this.note = el('p', {className: 'loop-note'});
    this.announcer = el('span', {className: 'visually-hidden', 'aria-live': 'polite'});
    replaceChildren(this.root,
        el('div', {className: 'loop-row'}, this.which, this.name, this.playButton, this.back, this.forward, this.slider, this.close),
        el('div', {className: 'loop-row'}, this.time, this.length, this.stride),
        this.note, this.announcer);
    // A popup is what the reader looks at: the control gives way while one is open.
    this.givesWay = {popupopen: () => this.root.classList.add('under-popup'),
      popupclose: () => this.root.classList.remove('under-popup')};
    this.root.addEventListener('keydown', (event) => this.key(event));
    // A button would also take the space's release as a click.
    this.root.addEventListener('keyup', (event) => {
      if (event.key === ' ' && !(event.target instanceof HTMLSelectElement)) event.preventDefault();
    });
  }

  /** @param {L.Map} map */
  onAdd(map) {
    map.on(this.givesWay);
    this.update();
    return this.root;
  }

  /** @param {L.Map} map */
  onRemove(map) {
    map.off(this.givesWay);
  }

  /** @param {KeyboardEvent} event */
  key(event) {
    if (event.target instanceof HTMLSelectElement) return;
    if (event.key === ' ') this.toggle();
    else if (event.key === 'ArrowLeft' || event.key === 'ArrowDown') this.step(-1);
    else if (event.key === 'ArrowRight' || event.key === 'ArrowUp') this.step(1);
    else return;
    event.preventDefault();
    event.stopPropagation();
  }

  choose(label) {
    const source = this.sources.find((s) => s.label === label);
    if (!source || source === this.current) return;
    this.current.stopLoop();
    this.current = source;
    this.update();
  }

  rechoose() {
    const choice = {lengthMs: Number(this.length.value), stepMs: Number(this.stride.value)};
    this.choices.set(this.current, choice);
    if (this.current.loop) this.current.startLoop(choice, this.current.loop.playing);
  }

  toggle() {
    const source = this.current;
    if (!source.loop) source.startLoop(this.choices.get(source), true);
    else if (source.loop.playing) source.pause();
    else source.play();
  }

  step(delta, index = NaN) {
    const source = this.current;
    if (!source.loop) source.startLoop(this.choices.get(source), false);
    source.step(delta, index);
    this.announcer.textContent = `${source.label} ${this.formatClock(source.shownTime)}`;
  }

  /** Draws the control for the sources' state; hidden while no picture is shown. */
  update() {
    const visible = this.sources.filter((source) => source.visible);
    if (!visible.includes(this.current) && visible.length) {
      this.current.stopLoop();
      this.current = visible[0];
    }
    this.root.hidden = !visible.length;
    if (!visible.length) return;
    const source = this.current;
    this.root.setAttribute('aria-label', `${source.label} loop`);
    const choice = this.choices.get(source);
    // Drawn again only when they change: this runs at every frame of a playing loop.
    const options = [visible.map((s) => s.label), source.label, choice.lengthMs, choice.stepMs].join('|');
    if (options !== this.drawnOptions) {
      this.drawnOptions = options;
      replaceChildren(this.which, ...visible.map((s) => el('option', {value: s.label, text: s.label,
        selected: s === source})));
      replaceChildren(this.length, ...source.limits.lengths.map((ms) => el('option', {value: String(ms),
        text: hours(ms), selected: ms === choice.lengthMs})));
      replaceChildren(this.stride, ...source.limits.steps.map((ms) => el('option', {value: String(ms),
        text: stepName(ms), selected: ms === choice.stepMs})));
    }
    // With one picture shown there is nothing to choose: its name stands there instead.
    this.which.hidden = visible.length < 2;
    this.name.hidden = !this.which.hidden;
    if (this.name.textContent !== source.label) this.name.textContent = source.label;
    this.stride.hidden = source.limits.steps.length < 2;
    const loop = source.loop;
    const playing = Boolean(loop?.playing);
    const playText = playing ? 'Pause' : 'Play';
    if (this.playButton.textContent !== playText) this.playButton.textContent = playText;
    this.playButton.setAttribute('aria-label', playing ? `Pause the ${source.label.toLowerCase()} loop` :
      `Play the ${source.label.toLowerCase()} loop`);
    this.root.classList.toggle('is-playing', playing);
    const frames = loop?.frames || [];
    this.slider.max = String(Math.max(0, frames.length - 1));
    this.slider.value = String(loop ? loop.index : 0);
    this.slider.disabled = !loop || !frames.length;
    this.close.hidden = !loop;
    // Nothing drawn (no times, or the newest too old): no time that would read as the map's.
    const none = !loop && source.state() === 'gone';
    for (const button of [this.playButton, this.back, this.forward]) button.disabled = none;
    const time = none ? NaN : Number.isFinite(source.shownTime) ? source.shownTime : source.newest;
    this.slider.setAttribute('aria-valuetext', Number.isFinite(time) ? this.formatClock(time) : 'no frame');
    const timeText = !Number.isFinite(time) ? 'No frame shown' :
      `${this.formatClock(time)}${loop && frames.length ? ` · frame ${loop.index + 1} of ${frames.length}` : ' · newest'}`;
    if (this.time.textContent !== timeText) this.time.textContent = timeText;
    let note = '';
    if (loop && !frames.length) {
      note = `No ${source.label.toLowerCase()} frames to loop.`;
    } else if (loop) {
      const loading = source.loadingFrames();
      const incomplete = source.incompleteFrames();
      if (loading) note = `Loading ${frames.length - loading} of ${frames.length} frames…`;
      if (incomplete) {
        note += `${note ? ' ' : ''}${incomplete} of ${frames.length} frames incomplete (some images failed).`;
      }
    }
    if (this.note.textContent !== note) this.note.textContent = note;
    this.note.hidden = !note;
  }
}
