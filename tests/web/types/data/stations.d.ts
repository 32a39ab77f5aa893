// The airport directory the build writes (scripts/web-data.mjs).

/** An airport of the western box with a K identifier. */
export interface DirectoryStation {
  id: string;
  name: string;
  state: string;
  lat: number;
  lon: number;
  size: 'large' | 'medium' | 'small';
}

export const source: string;
declare const stations: DirectoryStation[];
export default stations;
