// What the extension remembers: the last model and its images (chrome.storage.local, so that
// the panel and popup draw at once), and the toolbar's state per window and tab, the search
// box's text and the last highlighted text (chrome.storage.session: for this browser session).
const local = chrome.storage.local;
const session = chrome.storage.session;

export async function cachedModel() {
  const { model, images } = await local.get(['model', 'images']);
  return { model: model || null, images: images || {} };
}

export async function saveModel(model) {
  await local.set({ model });
}

export async function saveImages(images) {
  await local.set({ images });
}

// The state sent back to the bridge: engine, translation and dictionary per window, the Web
// Page Translation item per tab.
export async function loadState(windowId, tabId) {
  const keys = ['state:' + windowId, 'webtrans:' + tabId];
  const got = await session.get(keys);
  const state = { ...(got[keys[0]] || {}) };
  if (got[keys[1]] !== undefined) state.webtrans = got[keys[1]];
  return state;
}

export async function saveState(windowId, tabId, state) {
  if (!state) return;
  const { webtrans, ...rest } = state;
  const values = { ['state:' + windowId]: rest };
  if (tabId !== undefined && tabId !== null && webtrans !== undefined) values['webtrans:' + tabId] = webtrans;
  await session.set(values);
}

export async function getSession(key, fallback) {
  const got = await session.get(key);
  return got[key] === undefined ? fallback : got[key];
}

export async function setSession(key, value) {
  await session.set({ [key]: value });
}
