// Sidebar tabs: buttons with arrow-key movement, as in the usual tab pattern.

/**
 * Wires the tab buttons in `tablist` to their panels; returns {select(name), setCount(name, n)}.
 * @param {HTMLElement} tablist
 */
export function setUpTabs(tablist) {
  const tabs = [.../** @type {NodeListOf<HTMLElement>} */ (tablist.querySelectorAll('[role="tab"]'))];

  function select(name, {focus = false} = {}) {
    for (const tab of tabs) {
      const chosen = tab.dataset.tab === name;
      tab.setAttribute('aria-selected', String(chosen));
      tab.tabIndex = chosen ? 0 : -1;
      document.getElementById(tab.getAttribute('aria-controls')).hidden = !chosen;
      if (chosen && focus) tab.focus();
    }
  }

  tablist.addEventListener('click', (event) => {
    const tab = /** @type {HTMLElement | null} */ (/** @type {Element} */ (event.target).closest('[role="tab"]'));
    if (tab) select(tab.dataset.tab);
  });
  tablist.addEventListener('keydown', (event) => {
    const index = tabs.indexOf(/** @type {HTMLElement} */ (document.activeElement));
    if (index < 0) return;
    const moves = {ArrowRight: 1, ArrowLeft: -1, ArrowDown: 1, ArrowUp: -1};
    let next = null;
    if (event.key in moves) next = (index + moves[event.key] + tabs.length) % tabs.length;
    if (event.key === 'Home') next = 0;
    if (event.key === 'End') next = tabs.length - 1;
    if (next === null) return;
    event.preventDefault();
    select(tabs[next].dataset.tab, {focus: true});
  });
  /** Shows a count beside a tab's name ("Alerts 5"); null removes it. */
  function setCount(name, count) {
    const tab = tabs.find((candidate) => candidate.dataset.tab === name);
    if (!tab) return;
    let badge = tab.querySelector('.tab-count');
    if (count === null) {
      badge?.remove();
      return;
    }
    if (!badge) {
      badge = document.createElement('span');
      badge.className = 'tab-count';
      tab.append(' ', badge);
    }
    badge.textContent = String(count);
  }

  return {select, setCount};
}
