// What the extension does with the bridge's answers: the actions of a command or search, in
// order. Navigations go to the tab, or to a new tab when the person asked for one.
import { toggleHighlight, findNext } from './pagetools.js';

export async function perform(actions, { tabId, windowId, newTab, visibleFirst }) {
  const results = [];
  for (const action of actions || []) {
    switch (action.do) {
      case 'navigate':
        if (newTab || tabId === undefined || tabId === null) {
          await chrome.tabs.create({ url: action.url, windowId, openerTabId: tabId ?? undefined });
        } else {
          await chrome.tabs.update(tabId, { url: action.url });
        }
        results.push({ navigate: action.url });
        break;
      case 'open-window':
        await chrome.windows.create({
          url: action.url, type: 'popup', left: 50, top: 50,
          width: action.width || 450, height: action.height || 500,
        });
        results.push({ window: action.url });
        break;
      case 'options':
        await chrome.runtime.openOptionsPage();
        results.push({ options: true });
        break;
      case 'about':
        results.push({ about: action.lines || [] });
        break;
      case 'highlight':
        results.push({ highlight: await toggleHighlight(tabId, action.text || '', action.words || [], { visibleFirst }) });
        break;
      case 'find':
        results.push({ find: await findNext(tabId, action.word || '') });
        break;
      case 'start':
        // The bridge has started the installation's own program (the uninstall program).
        results.push({ start: action.program, started: !!action.started });
        break;
      default:
        break;
    }
  }
  return results;
}

// Ctrl or Command held, or the middle button: a new tab, as for a link.
export function wantsNewTab(event) {
  return !!event && (event.ctrlKey || event.metaKey || event.button === 1);
}
