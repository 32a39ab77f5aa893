// Alerts on the map, coloured by severity: an alert with its own shape is drawn as given; one
// without a shape (most zone and county alerts) is drawn over the counties its SAME codes name,
// with a dashed outline, since a county is wider than the zone it may stand for. The shapes take
// no clicks: a click inside an alert area asks for the weather there, and the point panel lists
// the alerts at that spot.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';

/** Alert layer: setAlerts(list), setCounties(lookup) once the county shapes are loaded. */
export function createAlertLayer(map) {
  const renderer = L.svg({pane: 'alerts'});
  const group = L.layerGroup().addTo(map);
  let alerts = [];
  let countyShape = null;  // id → polygons of [lat, lon] rings, or null

  function shape(rings, alert, countyDrawn) {
    return L.polygon(rings, {
      renderer,
      interactive: false,
      className: `alert-shape severity-${alert.severity.toLowerCase()}${countyDrawn ? ' county-drawn' : ''}`,
      weight: countyDrawn ? 1.5 : 2,
      dashArray: countyDrawn ? '5 4' : null,
      fillOpacity: countyDrawn ? 0.14 : 0.25,
    });
  }

  function redraw() {
    group.clearLayers();
    // Least severe first, so the most severe shapes lie on top.
    for (const alert of [...alerts].reverse()) {
      if (alert.polygons.length) {
        for (const rings of alert.polygons) {
          const layer = shape(rings, alert, false);
          group.addLayer(layer);
          layer.getElement()?.setAttribute('data-alert', alert.key);
        }
      } else if (countyShape) {
        for (const county of alert.counties) {
          for (const rings of countyShape(county) || []) {
            const layer = shape(rings, alert, true);
            group.addLayer(layer);
            const path = layer.getElement();
            if (path) {
              path.dataset.alert = alert.key;
              path.dataset.county = county;
            }
          }
        }
      }
    }
  }

  return {
    setAlerts(list) {
      alerts = list;
      redraw();
    },
    setCounties(lookup) {
      countyShape = lookup;
      redraw();
    },
    countiesLoaded: () => countyShape !== null,
    /** How the alert is drawn: 'shape', 'counties', or 'none' (no shape and no known county). */
    drawnAs(alert) {
      if (alert.polygons.length) return 'shape';
      if (!alert.counties.length) return 'none';
      return 'counties';
    },
    /** The map area an alert covers (its shape or its counties); null if it is not drawn. */
    boundsOf(alert) {
      const rings = alert.polygons.length ? alert.polygons.flat(2) :
          countyShape ? alert.counties.flatMap((county) => (countyShape(county) || []).flat(2)) : [];
      return rings.length ? L.latLngBounds(rings) : null;
    },
    shownCount: () => group.getLayers().length,
    setVisible(visible) {
      if (visible) group.addTo(map);
      else group.remove();
    },
  };
}
