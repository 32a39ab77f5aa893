// What every layer the page draws shares: it is an L.Layer, added to and removed from the map as
// Leaflet's own layers are, so the map events it names in getEvents() go with it; it draws into
// layer groups of its own, which it (or the layer panel's switch) shows or hides.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';

/**
 * A drawn layer. Subclasses draw into `this.groups` in redraw(), called when the layer joins the
 * map and whenever its data or filters change; while hidden they still draw into the groups (off
 * the map), so their counts stay those of the current view.
 */
export class DrawnLayer extends L.Layer {
  /** @param {L.LayerGroup[]} [groups]  the groups the layer draws into; one by default */
  constructor(groups = [L.layerGroup()]) {
    super();
    this.groups = groups;
    this.group = groups[0];
    this.visible = true;
    /** @type {L.Map | null} the map while the layer is on it */
    this.map = null;
  }

  /** @param {L.Map} map */
  onAdd(map) {
    this.map = map;
    if (this.visible) this.showGroups(true);
    this.redraw();
    return this;
  }

  onRemove() {
    this.showGroups(false);
    this.map = null;
    return this;
  }

  /** Draws the layer's data; a no-op here. */
  redraw() {}

  /** @param {boolean} shown */
  showGroups(shown) {
    for (const group of this.groups) {
      if (shown && this.map) group.addTo(this.map);
      else group.remove();
    }
  }

  /**
   * Shows or hides what the layer draws (the layer panel's switch). Shown again, it draws anew:
   * Leaflet makes new elements for layers that rejoin the map, without the roles, labels and
   * data attributes the layer gave the old ones.
   * @param {boolean} shown
   */
  setVisible(shown) {
    this.visible = shown;
    this.showGroups(shown);
    if (shown && this.map) this.redraw();
  }
}
