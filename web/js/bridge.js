// Requests to the native host through window.chrome.webview: one object per request, replies
// matched by id. The host ignores some messages without a reply, so every request has a
// time-out; a busy host (429) is asked again after a short pause.
//
// The host keeps no memory of ids and answers every request it accepted, also after the page
// was reloaded; so ids must not repeat across loads, or the reply to an old request could settle
// a new one (another point's forecast in the panel). Each load counts on from a random start.

const REQUEST_TIMEOUT_MS = 30000;
const BUSY_RETRY_DELAYS_MS = [1000, 3000];
// The host serves eight at a time; keeping below that leaves room for a click while layers load.
const MAX_IN_FLIGHT = 6;
const MAX_ERROR_TEXT = 500;
// Ids stay exact integers in JSON and in the page: the counter starts below 2^53 - 2^32.
const ID_SPAN = 2 ** 53 - 2 ** 32;

/** A random integer in [1, ID_SPAN], different in every page load. @param {Pick<Crypto, 'getRandomValues'>} random */
function randomIdStart(random) {
  const words = random.getRandomValues(new Uint32Array(2));
  return ((words[0] % 2 ** 21) * 2 ** 32 + words[1]) % ID_SPAN + 1;
}

/** A failed request: `status` is the host's status, or 0 for a time-out or a missing host. */
export class RequestError extends Error {
  constructor(message, {status = 0, source = '', timedOut = false} = {}) {
    super(message);
    this.name = 'RequestError';
    this.status = status;
    this.source = source;
    this.timedOut = timedOut;
  }
}

function errorFromReply(reply) {
  const body = reply.body && typeof reply.body === 'object' ? reply.body : {};
  const message = typeof body.error === 'string' && body.error.trim() ?
      body.error.slice(0, MAX_ERROR_TEXT) : `The weather host answered with status ${reply.status}`;
  const source = typeof body.source === 'string' ? body.source.slice(0, MAX_ERROR_TEXT) : '';
  return new RequestError(message, {status: reply.status, source});
}

/**
 * @typedef {object} BridgeOptions
 * @property {{postMessage(message: object): void, addEventListener?(type: 'message',
 *   listener: (event: {data: unknown}) => void): void} | undefined} [webview=window.chrome.webview]
 *   the host's end
 * @property {number} [timeoutMs=30000]  how long a request waits for its reply
 * @property {number[]} [retryDelaysMs=[1000, 3000]]  the pauses before asking a busy host again
 * @property {Pick<Crypto, 'getRandomValues'>} [random=crypto]  where the first id comes from
 * @property {number} [firstId]  the first request id; random in [1, 2^53 - 2^32] by default
 */

/**
 * Connects to the host. request(operation, argument) resolves with the reply body of a 200
 * reply and rejects with a RequestError otherwise.
 * @param {BridgeOptions} [options]
 */
export function createBridge({webview = globalThis.chrome?.webview, timeoutMs = REQUEST_TIMEOUT_MS,
  retryDelaysMs = BUSY_RETRY_DELAYS_MS, random = globalThis.crypto,
  firstId = randomIdStart(random)} = {}) {
  const pending = new Map();
  const queue = [];
  let nextId = firstId;
  let inFlight = 0;

  function settle(id) {
    const entry = pending.get(id);
    if (!entry) return null;
    pending.delete(id);
    clearTimeout(entry.timer);
    inFlight--;
    pump();
    return entry;
  }

  function onMessage(event) {
    let reply = event?.data;
    if (typeof reply === 'string') {
      try {
        reply = JSON.parse(reply);
      } catch {
        return;
      }
    }
    if (!reply || typeof reply !== 'object' || !Number.isInteger(reply.id)) return;
    // Only ids issued by this load and still waiting count: a reply that timed out here, or one
    // to a request of the page before a reload, is dropped.
    const entry = settle(reply.id);
    if (!entry) return;
    if (reply.status === 200) {
      entry.resolve(reply.body);
    } else if (Number.isInteger(reply.status)) {
      entry.reject(errorFromReply(reply));
    } else {
      entry.reject(new RequestError('The weather host sent a reply without a status'));
    }
  }

  function pump() {
    while (inFlight < MAX_IN_FLIGHT && queue.length) {
      const {message, resolve, reject} = queue.shift();
      inFlight++;
      const timer = setTimeout(() => {
        if (settle(message.id)) {
          reject(new RequestError(
              `No reply from the weather host within ${Math.round(timeoutMs / 1000)} s`,
              {timedOut: true}));
        }
      }, timeoutMs);
      pending.set(message.id, {resolve, reject, timer});
      try {
        webview.postMessage(message);
      } catch (error) {
        settle(message.id);
        reject(new RequestError(`The weather host could not be reached: ${error.message}`));
      }
    }
  }

  function attempt(operation, argument) {
    return new Promise((resolve, reject) => {
      if (!webview || typeof webview.postMessage !== 'function') {
        reject(new RequestError('The weather host is not available'));
        return;
      }
      queue.push({message: {id: nextId++, operation, argument}, resolve, reject});
      pump();
    });
  }

  async function request(operation, argument = '') {
    for (let tries = 0; ; tries++) {
      try {
        return await attempt(operation, argument);
      } catch (error) {
        if (error.status !== 429 || tries >= retryDelaysMs.length) throw error;
        await new Promise((resume) => setTimeout(resume, retryDelaysMs[tries]));
      }
    }
  }

  if (webview && typeof webview.addEventListener === 'function') {
    webview.addEventListener('message', onMessage);
  }
  return {request, pendingCount: () => pending.size + queue.length};
}
