// The county shapes the build writes (scripts/web-data.mjs): ids are 5-digit county codes.
import type {GeometryCollection, Topology} from 'topojson-specification';

export type CountyTopology = Topology<{counties: GeometryCollection<{name: string, state: string}>}>;

export const source: string;
declare const counties: CountyTopology;
export default counties;
