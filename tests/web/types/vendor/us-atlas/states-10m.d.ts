// The state shapes of us-atlas, written by the build as a module.
import type {GeometryCollection, Topology} from 'topojson-specification';

declare const states: Topology<{states: GeometryCollection<{name: string}>}>;
export default states;
