// The build copies Leaflet's ES module here; its types are @types/leaflet's.
export * from 'leaflet';
