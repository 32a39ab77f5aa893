// Alert polygons coloured by severity; alerts without a shape are only listed in the panel.

import * as L from '../../vendor/leaflet/leaflet-src.esm.js';
import {makeKeyboardTarget} from './popup.js';

/** Alert layer: setAlerts(list); select(alert) is called on click or Enter. */
export function createAlertLayer(map, {select}) {
  map.createPane('alerts').classList.add('alerts-pane');
  const renderer = L.svg({pane: 'alerts'});
  const group = L.layerGroup().addTo(map);

  return {
    setAlerts(alerts) {
      group.clearLayers();
      // Least severe first, so the most severe shapes lie on top.
      for (const alert of [...alerts].reverse()) {
        for (const rings of alert.polygons) {
          const shape = L.polygon(rings, {
            renderer,
            className: `alert-shape severity-${alert.severity.toLowerCase()}`,
            weight: 2,
            fillOpacity: 0.25,
            bubblingMouseEvents: false,
          });
          shape.on('click', () => select(alert, null));
          group.addLayer(shape);
          const path = shape.getElement();
          if (path) {
            path.dataset.alert = alert.key;
            makeKeyboardTarget(path, `${alert.severity} alert: ${alert.event}, ${alert.area}`,
                (element) => select(alert, element));
          }
        }
      }
    },
    shownCount: () => group.getLayers().length,
    setVisible(visible) {
      if (visible) group.addTo(map);
      else group.remove();
    },
  };
}
