// The service worker: the address bar keyword `nv`, the context menu on selected text with the
// catalogue's engines, and the keyboard shortcuts. It keeps nothing in memory that it needs
// later: what it remembers is in chrome.storage, so that it works the same after the browser
// stopped and restarted it.
import { bridge } from './lib/bridge.js';
import { perform } from './lib/actions.js';
import { cachedModel, saveModel, loadState, saveState, getSession } from './lib/store.js';
import { toggleHighlight, findNext } from './lib/pagetools.js';
import { shownAddress } from './lib/address.js';

const msg = (name, subs) => chrome.i18n.getMessage(name, subs) || name;
const MENU_PARENT = 'norvex-search';

// ---- The context menu ------------------------------------------------------------------------

// One entry per engine of the catalogue (the search agent first), under one parent entry. Builds
// run one after the other (installation and a catalogue change may ask at once).
let menusBuilt = Promise.resolve();
function buildMenus(model) {
  menusBuilt = menusBuilt.then(() => makeMenus(model), () => makeMenus(model));
  return menusBuilt;
}

async function makeMenus(model) {
  await chrome.contextMenus.removeAll();
  const engines = (model && model.engines) || [];
  if (!engines.length) return;
  chrome.contextMenus.create({ id: MENU_PARENT, title: msg('contextMenuTitle'), contexts: ['selection'] });
  for (const engine of engines) {
    chrome.contextMenus.create({
      id: 'engine:' + engine.id, parentId: MENU_PARENT, title: engine.caption || String(engine.id),
      contexts: ['selection'],
    });
  }
}

async function freshModel() {
  try {
    const model = await bridge().request({ type: 'model', text: '', state: {} });
    await saveModel(model);
    return model;
  } catch (e) {
    return (await cachedModel()).model;
  }
}

chrome.runtime.onInstalled.addListener(async () => {
  await buildMenus(await freshModel());
});

// The catalogue changed (a panel or popup saved a model with another stamp): menus anew.
chrome.storage.onChanged.addListener((changes, area) => {
  if (area !== 'local' || !changes.model) return;
  const before = changes.model.oldValue;
  const after = changes.model.newValue;
  if (!before || !after || before.catalogue !== after.catalogue) buildMenus(after);
});

chrome.contextMenus.onClicked.addListener(async (info, tab) => {
  if (!String(info.menuItemId).startsWith('engine:')) return;
  const engine = Number(String(info.menuItemId).slice(7));
  await searchWith(info.selectionText || '', engine, tab, 'newForegroundTab');
});

// ---- The address bar keyword ----------------------------------------------------------------

chrome.omnibox.onInputChanged.addListener((text) => {
  chrome.omnibox.setDefaultSuggestion({ description: msg('omniboxDescription', [escapeXml(text)]) });
});

chrome.omnibox.onInputEntered.addListener(async (text, disposition) => {
  const [tab] = await chrome.tabs.query({ active: true, lastFocusedWindow: true });
  await searchWith(text, 0, tab, disposition);
});

function escapeXml(text) {
  return text.replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);
}

// A search of `text` with an engine (0: the default one, in its encoding) from the address bar
// or the context menu; the window's chosen engine stays as it was.
async function searchWith(text, engine, tab, disposition) {
  let answer;
  try {
    answer = await bridge().request({
      type: 'search', text, engine, private: !!(tab && tab.incognito), url: shownAddress(tab && tab.url), state: {},
    });
  } catch (e) {
    return null;
  }
  const newTab = disposition === 'newForegroundTab' || disposition === 'newBackgroundTab';
  return perform(answer.actions, { tabId: tab ? tab.id : null, windowId: tab ? tab.windowId : undefined, newTab });
}

// ---- Keyboard shortcuts -------------------------------------------------------------------

chrome.commands.onCommand.addListener(async (command, tab) => {
  if (command === 'focus-search') {
    if (tab) await chrome.sidePanel.open({ windowId: tab.windowId }).catch(() => {});
    setTimeout(() => chrome.runtime.sendMessage({ focusSearch: true }).catch(() => {}), 300);
    return;
  }
  if (!tab) return;
  await pageCommand(command, tab);
});

// Highlight and find next with the search box's text, as its buttons would.
async function pageCommand(command, tab) {
  const text = await getSession('text', '');
  let words;
  try {
    words = await bridge().request({ type: 'words', text });
  } catch (e) {
    return null;
  }
  if (command === 'highlight') return toggleHighlight(tab.id, text, words.words || []);
  if (command === 'find-next') return findNext(tab.id, words.first || '');
  return null;
}

// Extension pages may ask for a shortcut's page command on a tab (the same as the key).
chrome.runtime.onMessage.addListener((message, sender, reply) => {
  if (!message || message.type !== 'page-command') return false;
  pageCommand(message.command, { id: message.tabId }).then(reply, (e) => reply({ error: String(e) }));
  return true;
});

// For the tests and the benchmarks: the same entry points the browser calls.
self.norvex = { searchWith, pageCommand, buildMenus, perform, loadState, saveState, bridge };
