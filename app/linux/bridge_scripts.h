#pragma once

// Scripts that give the page the same bridge the Windows browser view offers:
// window.chrome.webview.postMessage(object) and "message" events whose data is the reply.
namespace linux_host {

// The isolated script world that carries messages; page scripts cannot reach into it, so the
// sender address it reports is the sending document's own.
inline constexpr char bridge_world[] = "corvane-bridge";
inline constexpr char message_handler_name[] = "corvane";
inline constexpr char request_event[] = "corvane-bridge-request";
inline constexpr char reply_event[] = "corvane-bridge-reply";

// Runs in the page's own world of the top document.
inline constexpr char page_world_script[] = R"JS((() => {
  'use strict';
  if (window.chrome && window.chrome.webview) {
    return;
  }
  const events = new EventTarget();
  const webview = Object.freeze({
    postMessage(message) {
      const text = JSON.stringify(message);
      if (text === undefined) {
        throw new TypeError('The message cannot be sent as JSON');
      }
      document.dispatchEvent(new CustomEvent('corvane-bridge-request', {detail: text}));
    },
    addEventListener(type, listener, options) {
      events.addEventListener(type, listener, options);
    },
    removeEventListener(type, listener, options) {
      events.removeEventListener(type, listener, options);
    },
  });
  document.addEventListener('corvane-bridge-reply', (event) => {
    if (typeof event.detail !== 'string') {
      return;
    }
    let data;
    try {
      data = JSON.parse(event.detail);
    } catch {
      return;
    }
    events.dispatchEvent(new MessageEvent('message', {data}));
  });
  if (!window.chrome) {
    window.chrome = {};
  }
  Object.defineProperty(window.chrome, 'webview', {value: webview, enumerable: true});
})();
)JS";

// Runs in the bridge world of every document, so a message always carries the address of the
// document it came from; and there it joins the parts of each reply (see reply_part_script). A
// reload starts a new world, so parts of a reply to the document before are never joined with
// those of the next reply.
inline constexpr char bridge_world_script[] = R"JS((() => {
  document.addEventListener('corvane-bridge-request', (event) => {
    if (typeof event.detail === 'string') {
      window.webkit.messageHandlers.corvane.postMessage({source: document.URL, json: event.detail});
    }
  });
  const parts = [];
  globalThis.corvaneReplyPart = (part, last) => {
    parts.push(part);
    if (last) {
      const text = parts.join('');
      parts.length = 0;
      document.dispatchEvent(new CustomEvent('corvane-bridge-reply', {detail: text}));
    }
  };
})();
)JS";

}  // namespace linux_host
