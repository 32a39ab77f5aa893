// The build copies topojson-client's source modules here; their types are @types/topojson-client's.
export {merge as default} from 'topojson-client';
