import {RequestError, createBridge as bridgeFrom} from '/js/bridge.js';
import {Feed} from '/js/feed.js';
import {assert} from 'chai';
import {describe, it} from 'mocha';

class FakeWebview {
  constructor() {
    this.posted = [];
    this.listeners = [];
  }
  postMessage(message) {
    this.posted.push(message);
  }
  addEventListener(type, listener) {
    if (type === 'message') this.listeners.push(listener);
  }
  reply(data) {
    for (const listener of this.listeners) listener({data});
  }
}

/** The error `promise` rejects with; fails the test when it resolves instead. */
async function rejection(promise) {
  try {
    await promise;
  } catch (error) {
    return error;
  }
  return assert.fail('expected a rejection');
}

async function until(condition) {
  for (let i = 0; i < 200 && !condition(); i++) await new Promise((r) => setTimeout(r, 0));
  assert.ok(condition(), 'condition never came true');
}

// The cases below count from 1 to keep their ids readable; the page starts at random.
const createBridge = (options) => bridgeFrom({firstId: 1, ...options});

/** The first request id of a new bridge drawing from `random`. */
function randomIdStart(random) {
  const webview = new FakeWebview();
  bridgeFrom({webview, random}).request('alerts').catch(() => {});  // never answered
  return webview.posted[0].id;
}

describe('#createBridge: the first id', () => {
  it('starts each load elsewhere, always a safe integer with room to count', () => {
    const starts = new Set(Array.from({length: 200}, () => randomIdStart()));
    assert.strictEqual(starts.size, 200);
    for (const start of starts) assert.ok(Number.isSafeInteger(start + 2 ** 32) && start >= 1, String(start));
    const words = (values) => ({getRandomValues: (array) => array.map((_, i) => values[i])});
    assert.strictEqual(randomIdStart(words([0, 0])), 1);
    assert.ok(Number.isSafeInteger(randomIdStart(words([2 ** 32 - 1, 2 ** 32 - 1])) + 2 ** 32));
  });
});

describe('#createBridge', () => {
  it('drops a reply to an id this load never issued, such as one from before a reload', async () => {
    const webview = new FakeWebview();
    const bridge = bridgeFrom({webview, firstId: 5000});
    const request = bridge.request('point', '40.76,-111.89');
    webview.reply({id: 1, status: 200, body: 'reply to the previous load'});
    webview.reply({id: 5001, status: 200, body: 'not issued yet'});
    assert.strictEqual(bridge.pendingCount(), 1);
    webview.reply({id: 5000, status: 200, body: 'mine'});
    assert.strictEqual(await request, 'mine');
  });
  it('posts an object with an integer id, the operation and the argument', () => {
    const webview = new FakeWebview();
    const bridge = createBridge({webview});
    bridge.request('point', '40.76,-111.89');
    bridge.request('alerts');
    assert.deepEqual(webview.posted, [{id: 1, operation: 'point', argument: '40.76,-111.89'},
      {id: 2, operation: 'alerts', argument: ''}]);
  });
  it('matches replies by id when they come in another order', async () => {
    const webview = new FakeWebview();
    const bridge = createBridge({webview});
    const first = bridge.request('pireps');
    const second = bridge.request('alerts');
    webview.reply({id: 2, status: 200, body: 'second'});
    webview.reply({id: 1, status: 200, body: 'first'});
    assert.deepEqual(await Promise.all([first, second]), ['first', 'second']);
  });
  it('rejects with the reply\'s error text and source', async () => {
    const webview = new FakeWebview();
    const bridge = createBridge({webview});
    const request = bridge.request('metars', '');
    webview.reply({id: 1, status: 502, body: {error: 'Aviation weather service returned an unexpected data format',
      source: 'https://aviationweather.gov/api/data/metar?ids=KSLC&format=json'}});
    const error = await rejection(request);
    assert.instanceOf(error, RequestError);
    assert.strictEqual(error.status, 502);
    assert.strictEqual(error.message, 'Aviation weather service returned an unexpected data format');
    assert.ok(error.source.startsWith('https://aviationweather.gov/'));
  });
  it('names the status when an error reply has no text', async () => {
    const webview = new FakeWebview();
    const request = createBridge({webview}).request('alerts');
    webview.reply({id: 1, status: 500, body: null});
    const error = await rejection(request);
    assert.strictEqual(error.message, 'The weather host answered with status 500');
  });
  it('ignores replies it cannot match or read', async () => {
    const webview = new FakeWebview();
    const request = createBridge({webview}).request('alerts');
    for (const junk of [null, 'not json', '"text"', 7, {id: 99, status: 200}, {id: '1', status: 200},
      {status: 200}, []]) {
      webview.reply(junk);
    }
    webview.reply(JSON.stringify({id: 1, status: 200, body: {features: []}}));
    assert.deepEqual(await request, {features: []});
  });
  it('times out when the host never answers, and ignores the late reply', async () => {
    const webview = new FakeWebview();
    const bridge = createBridge({webview, timeoutMs: 5});
    const error = await rejection(bridge.request('point', '1,2'));
    assert.ok(error.timedOut);
    assert.ok(/^No reply from the weather host/.test(error.message));
    webview.reply({id: 1, status: 200, body: 'late'});
    assert.strictEqual(bridge.pendingCount(), 0);
  });
  it('asks again after a busy reply (429)', async () => {
    const webview = new FakeWebview();
    const request = createBridge({webview, retryDelaysMs: [0, 0]}).request('pireps');
    webview.reply({id: 1, status: 429, body: {error: 'Weather requests are busy. Try again in a moment.'}});
    await until(() => webview.posted.length === 2);
    assert.deepEqual(webview.posted[1], {id: 2, operation: 'pireps', argument: ''});
    webview.reply({id: 2, status: 200, body: []});
    assert.deepEqual(await request, []);
  });
  it('gives up after the last busy retry with the host\'s text', async () => {
    const webview = new FakeWebview();
    const request = createBridge({webview, retryDelaysMs: [0]}).request('pireps');
    webview.reply({id: 1, status: 429, body: {error: 'Weather requests are busy. Try again in a moment.'}});
    await until(() => webview.posted.length === 2);
    webview.reply({id: 2, status: 429, body: {error: 'Weather requests are busy. Try again in a moment.'}});
    const error = await rejection(request);
    assert.strictEqual(error.status, 429);
    assert.strictEqual(error.message, 'Weather requests are busy. Try again in a moment.');
  });
  it('keeps at most six requests in flight and sends the rest as replies come', async () => {
    const webview = new FakeWebview();
    const bridge = createBridge({webview});
    const requests = Array.from({length: 8}, () => bridge.request('alerts'));
    assert.strictEqual(webview.posted.length, 6);
    webview.reply({id: 3, status: 200, body: 3});
    assert.strictEqual(webview.posted.length, 7);
    for (let id = 1; id <= 8; id++) if (id !== 3) webview.reply({id, status: 200, body: id});
    assert.deepEqual(await Promise.all(requests), [1, 2, 3, 4, 5, 6, 7, 8]);
  });
  it('fails plainly when there is no host', async () => {
    const error = await rejection(createBridge({webview: undefined}).request('alerts'));
    assert.strictEqual(error.message, 'The weather host is not available');
  });
});

describe('Feed#staleReason', () => {
  const MINUTE = 60000;
  const NOW = Date.UTC(2026, 10, 20, 18);
  function feed(state) {
    const made = new Feed({name: 'test', label: 'Test', bridge: null, operation: 'metars',
      decode: (x) => x, dataTime: (data) => data.time, intervalMs: 5 * MINUTE, storeReply: false,
      maxDataAgeMs: 90 * MINUTE});
    return Object.assign(made, {data: {time: NOW}, fetchedAt: NOW, ...state});
  }
  it('judges from the fetch and from the data\'s own time, each at its edge', () => {
    const rows = [
      [{data: null}, ''],
      [{}, ''],
      [{fromStorage: true, fetchedAt: NOW - 40 * MINUTE}, 'saved from an earlier run, fetched 40 min ago'],
      [{error: new Error('x'), fetchedAt: NOW - 6 * MINUTE}, 'refresh failed; last good data fetched 6 min ago'],
      [{fetchedAt: NOW - 10 * MINUTE + 1}, ''],
      [{fetchedAt: NOW - 10 * MINUTE}, ''],
      [{fetchedAt: NOW - 10 * MINUTE - 1}, 'not refreshed since 10 min ago'],
      [{data: {time: NOW - 90 * MINUTE}}, ''],
      [{data: {time: NOW - 90 * MINUTE - 1}}, 'the data itself is from 1 h 30 min ago'],
      [{data: {time: NOW - 17 * 24 * 60 * MINUTE}}, 'the data itself is from 17 d ago'],
      [{data: {time: NaN}}, ''],
    ];
    for (const [state, reason] of rows) {
      assert.strictEqual(feed(state).staleReason(NOW), reason, JSON.stringify(state));
    }
  });
});

describe('Feed#refresh', () => {
  it('keeps a reply in storage only when its storeReply rule says so, and then drops the older one', async () => {
    const webview = new FakeWebview();
    const feed = new Feed({name: 'kept-test', label: 'Test', bridge: bridgeFrom({webview}),
      operation: 'alerts', decode: (body) => body, dataTime: () => NaN, intervalMs: 0,
      storeReply: (body) => body.features.length <= 2});
    const stored = async (features) => {
      const done = feed.refresh();
      webview.reply({id: webview.posted.at(-1).id, status: 200, body: {features}});
      await done;
      return JSON.parse(localStorage.getItem('corvane.layer.kept-test'))?.body.features.length;
    };
    localStorage.removeItem('corvane.layer.kept-test');
    assert.strictEqual(await stored([1, 2]), 2);
    assert.strictEqual(await stored([1, 2, 3]), undefined);
    assert.strictEqual(await stored([1]), 1);
    localStorage.removeItem('corvane.layer.kept-test');
  });
});

describe('Feed#ask', () => {
  it('asks for a new argument at once, not again for the same one, and again once stopped', async () => {
    const webview = new FakeWebview();
    const feed = new Feed({name: 'ask-test', label: 'Test', bridge: createBridge({webview}),
      operation: 'metars', decode: (body) => body, dataTime: () => NaN, intervalMs: 5 * 60000,
      storeReply: false});
    const asked = async (argument) => {
      feed.ask(argument);
      const last = webview.posted.at(-1);
      if (last && feed.loading) webview.reply({id: last.id, status: 200, body: []});
      await until(() => !feed.loading);
      return webview.posted.map((message) => message.argument);
    };
    assert.deepEqual(await asked('40,-112,41,-111'), ['40,-112,41,-111']);
    assert.deepEqual(await asked('40,-112,41,-111'), ['40,-112,41,-111'], 'the timer keeps asking');
    assert.deepEqual(await asked('40,-113,41,-112'), ['40,-112,41,-111', '40,-113,41,-112']);
    feed.stop();  // zoomed out
    assert.deepEqual(await asked('40,-113,41,-112'), ['40,-112,41,-111', '40,-113,41,-112',
      '40,-113,41,-112'], 'back in the same view');
    feed.stop();
  });
});
