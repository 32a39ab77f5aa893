// Local storage that never throws: a full or disabled store, or a damaged entry, reads as empty.

const PREFIX = 'corvane.';

/**
 * The stored value for key, or fallback when there is none or it does not parse.
 * @param {string} key
 * @param {any} [fallback=null]
 */
export function loadJson(key, fallback = null) {
  try {
    const textValue = globalThis.localStorage?.getItem(PREFIX + key);
    return textValue === null || textValue === undefined ? fallback : JSON.parse(textValue);
  } catch {
    return fallback;
  }
}

/**
 * Stores value under key; false when the store refused it (full, or disabled).
 * @param {string} key
 * @param {any} value
 * @returns {boolean}
 */
export function saveJson(key, value) {
  try {
    globalThis.localStorage.setItem(PREFIX + key, JSON.stringify(value));
    return true;
  } catch {
    return false;
  }
}

/**
 * Removes the stored value of key, if any.
 * @param {string} key
 */
export function removeJson(key) {
  try {
    globalThis.localStorage.removeItem(PREFIX + key);
  } catch {
    // a disabled store holds nothing to remove
  }
}
