export * from 'topojson-client';
