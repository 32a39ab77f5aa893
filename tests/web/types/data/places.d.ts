// The place names the build writes (scripts/web-data.mjs): towns of the western box, largest first.

/** A town: where its label stands, and the first map zoom it shows at. */
export interface Place {
  name: string;
  state: string;
  lat: number;
  lon: number;
  population: number;
  zoom: number;
}

export const source: string;
declare const places: Place[];
export default places;
