// The page tools of a tab: the content script (generated/fold_table.js, content/pagetools.js
// and the highlight colours) injected on demand into every frame, then asked to highlight, to
// remove the highlights or to find the next occurrence. The rules of which documents take part
// are the toolbar's: the top document and its first-level frames are highlighted; find searches
// the top document, or, on a page without a body (a frameset), its frames one after the other.
import { getSession, setSession } from './store.js';

const FILES = ['generated/fold_table.js', 'content/pagetools.js'];

async function inject(tabId) {
  const present = await chrome.scripting.executeScript({
    target: { tabId, allFrames: true },
    func: () => !!window.__norvexPageTools,
  });
  const missing = present.filter((r) => !r.result).map((r) => r.frameId);
  if (!missing.length) return;
  await chrome.scripting.insertCSS({ target: { tabId, frameIds: missing }, files: ['generated/highlight.css'] });
  await chrome.scripting.executeScript({ target: { tabId, frameIds: missing }, files: FILES });
}

async function runIn(tabId, frameIds, op) {
  const target = frameIds ? { tabId, frameIds } : { tabId, allFrames: true };
  const results = await chrome.scripting.executeScript({
    target,
    func: (o) => (window.__norvexPageTools ? window.__norvexPageTools.run(o) : null),
    args: [op],
  });
  return results.filter((r) => r.result).map((r) => ({ frameId: r.frameId, ...r.result }));
}

// Runs `op` in every frame after injecting the page tools where they are missing.
export async function runInFrames(tabId, op) {
  await inject(tabId);
  return runIn(tabId, null, op);
}

// The highlight command: the words of `text` (split by the bridge, with their colours) are
// highlighted unless the text is empty or the same as last time, which removes the highlights.
// Answers {words, counts} (counts summed over the documents) or {removed: true}.
export async function toggleHighlight(tabId, text, words, options = {}) {
  const last = await getSession('lastHighlightText', '');
  if (text && text !== last) {
    await setSession('lastHighlightText', text);
    const frames = await runInFrames(tabId, { op: 'highlight', words, visibleFirst: !!options.visibleFirst });
    const counts = words.map(() => 0);
    for (const f of frames) if (f.counts) f.counts.forEach((n, j) => { counts[j] += n; });
    return { words, counts, frames };
  }
  await setSession('lastHighlightText', '');
  await runInFrames(tabId, { op: 'unhighlight' });
  return { removed: true };
}

// Find next of `word` (the first search word). Answers the match's place or null.
export async function findNext(tabId, word) {
  if (!word) return null;
  await inject(tabId);
  const [top] = await runIn(tabId, [0], { op: 'find', word });
  if (!top) return null;
  if (top.hasBody) return top.found;
  // A frameset: the frame of the last match first, then the others in order, skipping those at
  // the last match frame's address.
  const key = 'frames:' + tabId;
  const memory = await getSession(key, { last: null, lastDocument: '', lastSelection: '' });
  const frames = (await runIn(tabId, null, { op: 'info' })).filter((f) => f.level === 1)
    .sort((a, b) => a.index - b.index);
  const findIn = async (frame) => {
    const fresh = frame.token !== memory.lastDocument;
    memory.lastDocument = frame.token;
    const lastHere = frame.token === memory.lastSelection;
    const [answer] = await runIn(tabId, [frame.frameId], { op: 'findInFrame', word, fresh, lastHere });
    if (answer && answer.found) memory.lastSelection = frame.token;
    return answer ? answer.found : null;
  };
  let found = null;
  const last = memory.last && frames.find((f) => f.token === memory.last.token);
  if (last) found = await findIn(last);
  if (!found) {
    const lastUrl = memory.last ? memory.last.url : '';
    for (const frame of frames) {
      if (frame.url === lastUrl) continue;
      found = await findIn(frame);
      if (found) {
        memory.last = { token: frame.token, url: frame.url };
        break;
      }
    }
  }
  await setSession(key, memory);
  return found;
}

// The top document's charset and language, for the page language item.
export async function pageLanguage(tabId) {
  await inject(tabId);
  const [top] = await runIn(tabId, [0], { op: 'info' });
  return top ? { charset: top.charset, lang: top.lang } : null;
}
