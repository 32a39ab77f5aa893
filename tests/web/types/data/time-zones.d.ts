// The time zones of the West the build writes (scripts/web-data.mjs).

/** A grid of cells from (south, west), `step` degrees wide; each row runs of [zone index, cells]. */
export interface TimeZoneTable {
  south: number;
  west: number;
  step: number;
  zones: string[];
  runs: number[][];
  /** Airports whose own zone differs from their cell's, by identifier. */
  stations: Record<string, string>;
}

export const source: string;
declare const table: TimeZoneTable;
export default table;
