// What the build knows about itself: the version, the data sources and the third-party notices.
// scripts/build-web.mjs writes this file anew in the built page; these empty values show only in
// an unbuilt copy of web/.
export const BUILD_INFO = Object.freeze({version: '', dataSources: [], components: []});
