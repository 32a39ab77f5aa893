// Sidebar tabs: buttons with arrow-key movement, as in the usual tab pattern.

/** Wires the tab buttons in `tablist` to their panels; returns select(name). */
export function setUpTabs(tablist) {
  const tabs = [...tablist.querySelectorAll('[role="tab"]')];

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
    const tab = event.target.closest('[role="tab"]');
    if (tab) select(tab.dataset.tab);
  });
  tablist.addEventListener('keydown', (event) => {
    const index = tabs.indexOf(document.activeElement);
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
  return select;
}
