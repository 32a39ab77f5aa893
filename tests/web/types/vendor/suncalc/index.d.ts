// The build copies suncalc's ES module here; it ships its own types.
export * from 'suncalc';
