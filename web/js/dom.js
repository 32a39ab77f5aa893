// Small DOM builders. Every text goes in through textContent or a text node, never as markup,
// because most of what the page shows comes from weather services.

const SVG_NS = 'http://www.w3.org/2000/svg';

function append(node, children) {
  for (const child of children) {
    if (child === null || child === undefined || child === false) continue;
    if (Array.isArray(child)) {
      append(node, child);
    } else if (typeof child === 'object' && 'nodeType' in child) {
      node.appendChild(child);
    } else {
      node.appendChild(document.createTextNode(String(child)));
    }
  }
  return node;
}

function applyProps(node, props) {
  for (const [key, value] of Object.entries(props || {})) {
    if (value === null || value === undefined || value === false) continue;
    if (key === 'className') {
      node.setAttribute('class', value);
    } else if (key === 'text') {
      node.textContent = String(value);
    } else if (key === 'on') {
      for (const [type, handler] of Object.entries(value)) node.addEventListener(type, handler);
    } else if (key === 'dataset') {
      Object.assign(node.dataset, value);
    } else if (key === 'style') {
      throw new Error('inline styles are refused by the page policy; use a class');
    } else {
      node.setAttribute(key, value === true ? '' : String(value));
    }
  }
}

/**
 * An HTML element with attributes, listeners and children (strings become text nodes).
 * @template {keyof HTMLElementTagNameMap} K
 * @param {K} tag
 * @param {Record<string, any> | null} props
 * @param {...unknown} children
 * @returns {HTMLElementTagNameMap[K]}
 */
export function el(tag, props, ...children) {
  const node = document.createElement(tag);
  applyProps(node, props);
  append(node, children);
  return node;
}

/**
 * An SVG element, built the same way as el().
 * @template {keyof SVGElementTagNameMap} K
 * @param {K} tag
 * @param {Record<string, any> | null} props
 * @param {...unknown} children
 * @returns {SVGElementTagNameMap[K]}
 */
export function svgEl(tag, props, ...children) {
  const node = document.createElementNS(SVG_NS, tag);
  applyProps(node, props);
  append(node, children);
  return node;
}

/**
 * Replaces all children of node.
 * @param {Element} node
 * @param {...unknown} children
 */
export function replaceChildren(node, ...children) {
  while (node.firstChild) node.removeChild(node.firstChild);
  return append(node, children);
}

/**
 * Replaces all children of a panel that is drawn anew as its data comes, keeping the reader's
 * place: focus inside it moves to the new twin of the element that held it (same tag and class,
 * the same text if one has it, else the same place among its like), so a keyboard user who
 * pressed a button is not sent back to the top of the page when the answer arrives.
 * @param {Element} node
 * @param {...unknown} children
 */
export function redrawKeepingFocus(node, ...children) {
  const active = document.activeElement;
  if (!active || active === node || !node.contains(active)) return replaceChildren(node, ...children);
  const like = (/** @type {Element} */ element) => element.tagName === active.tagName &&
      element.className === active.className;
  const before = [...node.querySelectorAll(active.tagName)].filter(like);
  const sameText = before.filter((element) => element.textContent === active.textContent);
  replaceChildren(node, ...children);
  const after = [...node.querySelectorAll(active.tagName)].filter(like);
  const twins = after.filter((element) => element.textContent === active.textContent);
  const twin = twins.length === sameText.length ? twins[sameText.indexOf(active)] : after[before.indexOf(active)];
  if (twin instanceof HTMLElement || twin instanceof SVGElement) twin.focus({preventScroll: true});
  return node;
}

/**
 * Calls done() once what the page shows now has been painted: after the next frame is drawn,
 * not merely laid out (a callback of the frame itself still runs before its painting). A page
 * that draws no frames (a hidden window) goes on after half a second all the same.
 * @param {() => void} done
 */
export function afterPaint(done) {
  let called = false;
  const once = () => {
    if (!called) {
      called = true;
      done();
    }
  };
  requestAnimationFrame(() => setTimeout(once, 0));
  setTimeout(once, 500);
}
