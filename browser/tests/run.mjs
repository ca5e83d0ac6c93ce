// The browser tests: Debian's chromium, headless, with a fresh profile, the extension loaded
// unpacked and the bridge registered into the profile for the sample installation.
//
//   node browser/tests/run.mjs BUILD_DIR
//
// BUILD_DIR is the native build (bin/norvex-bridge, bin/norvex-host, bin/page_matches). Every
// host name resolves to a local HTTP server, so that navigations are compared as the browser
// requested them on the wire. The last line is "browser tests: N passed, M failed".
import fs from 'node:fs';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import * as L from './lib.mjs';

const build = path.resolve(process.argv[2] || path.join(L.ROOT, 'build/native'));
const bin = (name) => path.join(build, 'bin', name);
const only = process.env.BROWSER_TESTS_ONLY ? new RegExp(process.env.BROWSER_TESTS_ONLY) : null;

let passed = 0;
let failed = 0;
function check(name, ok, detail) {
  if (ok) {
    ++passed;
    console.log(`ok   ${name}`);
  } else {
    ++failed;
    console.log(`FAIL ${name}${detail ? '\n     ' + String(detail).split('\n').join('\n     ') : ''}`);
  }
}

// One browser with the extension and (unless `bridge` is false) the bridge.
async function session(server, { bridge = true } = {}) {
  const profile = L.tempDir('profile');
  const userData = L.tempDir('user');
  const install = L.testInstallation(server.port);
  if (bridge) L.registerBridge(build, profile, install);
  const extension = L.extensionCopy();
  const { browser, workerTarget } = await L.launch({ extension, profile, port: server.port, userData });
  const content = await browser.newPage();
  await content.goto(`http://start.test/`);
  const panel = await browser.newPage();
  await panel.goto(L.extensionUrl('sidepanel.html'));
  const tabId = await L.tabIdOf(browser, content, panel);
  await panel.goto(L.extensionUrl(`sidepanel.html?tab=${tabId}`));
  await panel.waitForFunction(() => document.documentElement.dataset.bridge, { timeout: 15000 });
  await panel.evaluate(() => window.__norvexToolbar.idle());
  const close = async () => {
    await browser.close();
    for (const dir of [profile, userData, extension, install]) fs.rmSync(dir, { recursive: true, force: true });
  };
  return { browser, workerTarget, content, panel, tabId, profile, userData, close };
}

async function idle(panel) {
  await panel.evaluate(() => window.__norvexToolbar.idle());
}

// ---- Page tools against the C++ page model -------------------------------------------------

const PAGE_CASES = [
  { page: 'browser/tests/pages/rules.html', text: 'market tokyo new york', steps: 6 },
  { page: 'browser/tests/pages/rules.html', text: 'café aero straße αθηνα москва ёлка', steps: 3 },
  { page: 'browser/tests/pages/rules.html', text: 'ＴＯＫＹＯ とうきょう lodz oeuvre ǆ', steps: 3 },
  { page: 'browser/tests/pages/rules.html', text: 'aa ana, New\tYork mar', steps: 5 },
  { page: 'browser/tests/pages/joins.html', text: 'aa market', steps: 9 },
  { page: 'browser/tests/pages/joins.html', text: 'mar\t,zz', steps: 4 },
  { page: 'browser/tests/pages/joins.html', text: 'ｶﾞ ｷﾞ ﾊﾟ ｳﾞ ﾜﾞ', steps: 6 },
  { page: 'browser/tests/pages/joins.html', text: 'ｶ aﾞ ﾞ ﾊ', steps: 6 },
  { page: 'browser/tests/pages/joins.html', text: 'ガギグ,ヴ', steps: 3 },
  { page: 'browser/tests/pages/joins.html', text: 'ﾞ', steps: 3 },
  { page: 'browser/tests/pages/iframes.html', text: '東京 天気 market', steps: 7 },
  { page: 'browser/tests/pages/frameset.html', text: 'market', steps: 8 },
  { page: 'tools/sessions/pages/frames/index.html', text: 'fish', steps: 6 },
  { page: 'tools/sessions/pages/frames-one/index.html', text: 'word', steps: 4 },
  { page: 'tools/sessions/pages/frames-same/index.html', text: 'heron', steps: 5 },
  { page: 'tools/sessions/pages/iframes.html', text: 'fish', steps: 4 },
  { page: 'tools/sessions/pages/article.html', text: 'the market', steps: 4 },
  { page: 'tools/sessions/pages/japanese.html', text: '東京　天気 tokyo', steps: 4 },
  { page: 'tools/sessions/pages/edges.html', text: 'norvex, a', steps: 4 },
];

function pageUrl(file) {
  return file.startsWith('browser/tests/pages/')
    ? 'http://pages.test/pages/' + file.slice('browser/tests/pages/'.length)
    : 'http://pages.test/session-pages/' + file.slice('tools/sessions/pages/'.length);
}

async function frameMarkups(page) {
  const out = [];
  for (const frame of page.frames()) {
    try {
      out.push(await frame.evaluate(() => document.documentElement ? document.documentElement.outerHTML : ''));
    } catch (e) {
      out.push('(detached)');
    }
  }
  return out;
}

async function testPageTools(s) {
  for (const c of PAGE_CASES) {
    if (!fs.existsSync(path.join(L.ROOT, c.page))) continue;
    const expected = JSON.parse(execFileSync(bin('page_matches'), [path.join(L.ROOT, c.page), c.text, String(c.steps)], { encoding: 'utf8' }));
    await s.content.goto(pageUrl(c.page), { waitUntil: 'load' });
    const before = await frameMarkups(s.content);
    const got = await s.panel.evaluate(async (tabId, text, words, steps) => {
      const m = await import('./lib/pagetools.js');
      await chrome.storage.session.set({ lastHighlightText: '' });
      const highlight = await m.toggleHighlight(tabId, text, words);
      const matches = (await m.runInFrames(tabId, { op: 'matches' })).filter((f) => f.matches);
      const find = [];
      for (let i = 0; i < steps; ++i) {
        const f = await m.findNext(tabId, words[0] || '');
        find.push(f ? { index: f.index, start: f.start, end: f.end } : null);
      }
      return { highlight, matches, find };
    }, s.tabId, c.text, expected.words, c.steps);
    const after = await frameMarkups(s.content);
    const name = `${path.basename(path.dirname(c.page))}/${path.basename(c.page)} "${c.text}"`;
    // The same documents, each with the same occurrences of each word.
    const want = expected.documents.map((d) => ({ index: d.index, matches: d.matches }));
    const have = got.matches.map((f) => ({ index: f.index, matches: f.matches })).sort((a, b) => a.index - b.index);
    check(`highlight matches as the page model: ${name}`, JSON.stringify(have) === JSON.stringify(want),
      `page model: ${JSON.stringify(want)}\nextension:  ${JSON.stringify(have)}`);
    // What the model's own highlighting wraps, word by word (words of one colour together).
    // (Words six and on share the first words' colours: the first five counts hold them all.)
    const spans = expected.spans.map((d) => d.counts.slice(0, 5).reduce((a, b) => a + b, 0)).reduce((a, b) => a + b, 0);
    // (A match across elements is wrapped piece by piece, one element per text node it covers.)
    const counted = expected.documents.map((d) => d.pieces.reduce((a, b) => a + b, 0)).reduce((a, b) => a + b, 0);
    check(`the model's highlighting wraps what it matches: ${name}`, spans === counted, `${spans} spans, ${counted} pieces matched`);
    // A step that finds nothing leaves the selection where it was, which is what the model's
    // steps show.
    for (let i = 1; i < got.find.length; ++i) if (got.find[i] === null) got.find[i] = got.find[i - 1];
    check(`find next steps as the page model: ${name}`, JSON.stringify(got.find) === JSON.stringify(expected.find),
      `page model: ${JSON.stringify(expected.find)}\nextension:  ${JSON.stringify(got.find)}`);
    check(`markup unchanged by highlight and find: ${name}`, JSON.stringify(before) === JSON.stringify(after));
  }

  // Content the page adds later is highlighted too; removing ends it; the markup stays.
  await s.content.goto(pageUrl('browser/tests/pages/rules.html'), { waitUntil: 'load' });
  const counts = async () => s.panel.evaluate(async (tabId) => {
    const m = await import('./lib/pagetools.js');
    const frames = await m.runInFrames(tabId, { op: 'counts' });
    return frames.filter((f) => f.index === -1).map((f) => f.counts)[0];
  }, s.tabId);
  await s.panel.evaluate(async (tabId) => {
    const m = await import('./lib/pagetools.js');
    await chrome.storage.session.set({ lastHighlightText: '' });
    await m.toggleHighlight(tabId, 'zebra', ['zebra']);
  }, s.tabId);
  const first = await counts();
  await s.content.evaluate(() => {
    const p = document.createElement('p');
    p.textContent = 'A zebra and another ZEBRA arrived later.';
    document.body.append(p);
  });
  await L.sleep(400);
  const registered = await s.content.evaluate(() => {
    // The highlight registry is the isolated world's; the page sees its painting only.
    return document.body.lastElementChild.outerHTML;
  });
  const later = await counts();
  check('content added later is highlighted', first && first[0] === 0 && later && later[0] === 2 &&
    registered === '<p>A zebra and another ZEBRA arrived later.</p>', `${first} then ${later}: ${registered}`);
  const removed = await s.panel.evaluate(async (tabId) => {
    const m = await import('./lib/pagetools.js');
    return m.toggleHighlight(tabId, 'zebra', ['zebra']);
  }, s.tabId);
  check('the same text again removes the highlights', removed && removed.removed === true);
}

// ---- Recorded sessions against norvex-host ----------------------------------------------------

const SESSIONS = process.env.BROWSER_SESSIONS ? process.env.BROWSER_SESSIONS.split(',') : ['search_engines', 'keys_and_history', 'search_box_text', 'language_items', 'page_language'];

// The navigations and windows of norvex-host on the session, as addresses.
function hostNavigations(file) {
  const profile = L.tempDir('host');
  let out;
  try {
    out = execFileSync(bin('norvex-host'), ['--install', 'sample/install', '--profile', profile, '--width', '1300'],
      { cwd: L.ROOT, input: fs.readFileSync(file), encoding: 'utf8', stdio: ['pipe', 'pipe', 'pipe'] });
  } catch (e) {
    out = e.stdout || '';
  }
  fs.rmSync(profile, { recursive: true, force: true });
  return out.split('\n').filter((l) => /^(navigate|open-window) /.test(l)).map((l) => l.split(' ')[1]);
}

// How the browser puts an address on the wire: the Host header and the request target.
function onTheWire(url) {
  const u = new URL(url);
  return `${u.host} ${u.pathname}${u.search}`;
}

const KEYS = {
  Enter: 'Enter', Escape: 'Escape', Up: 'ArrowUp', Down: 'ArrowDown', F4: 'F4', Backspace: 'Backspace',
  Delete: 'Delete', Home: 'Home', End: 'End', Left: 'ArrowLeft', Right: 'ArrowRight',
};

async function playSession(s, server, file) {
  const requests = [];
  const skip = new Set(['layout', 'dropdown', 'width', 'grip', 'selection', 'save', 'wait', 'screenshot',
    'check', 'ok', 'cancel', 'quit']);
  for (const raw of fs.readFileSync(file, 'utf8').split('\n')) {
    const line = raw.replace(/\r$/, '');
    if (!line.trim() || line.startsWith('#')) continue;
    const [command, ...rest] = line.split(' ');
    const arg = rest.join(' ');
    const mark = server.log.length;
    let own = false; // the command's own navigation (not the toolbar's)
    if (skip.has(command)) continue;
    if (command === 'type') {
      await s.panel.focus('#q');
      await s.panel.evaluate(() => document.getElementById('q').select());
      if (arg === '') await s.panel.keyboard.press('Backspace');
      else await s.panel.keyboard.type(arg);
    } else if (command === 'key') {
      await s.panel.focus('#q');
      await s.panel.keyboard.press(KEYS[arg] || arg);
    } else if (command === 'press') {
      const clicked = await s.panel.evaluate((id) => {
        const group = document.querySelector(`.agent[data-command="${id}"]`) || document.querySelector(`.agent[data-id="${id}"]`);
        if (!group) return false;
        group.querySelector('.face').click();
        return true;
      }, arg);
      if (!clicked) console.log(`     (no button ${arg})`);
    } else if (command === 'menu') {
      const [id, item] = rest;
      await s.panel.evaluate((id) => {
        const group = document.querySelector(`.agent[data-id="${id}"]`);
        if (!group) return;
        (group.querySelector('.split-arrow') || group.querySelector('.face')).click();
      }, id);
      await s.panel.evaluate((item) => {
        const row = document.querySelector(`#menu .item[data-id="${item}"]`);
        if (row) row.click();
      }, item);
    } else if (command === 'page') {
      const [url, charset, lang] = rest;
      server.setPage(url, charset, lang);
      own = true;
      await s.content.goto(url, { waitUntil: 'load' });
    } else if (command === 'load') {
      own = true;
      const url = rest[1] || pageUrl(rest[0]);
      await s.content.goto(url, { waitUntil: 'load' });
    } else if (command === 'refresh') {
      await s.panel.evaluate(() => window.__norvexToolbar.refresh());
    } else {
      console.log(`     (session command not played: ${line})`);
      continue;
    }
    await L.sleep(150);
    await idle(s.panel);
    await L.sleep(250);
    if (process.env.BROWSER_SESSION_TRACE) console.log('     ' + line + ' -> ' + JSON.stringify(await s.panel.evaluate(() => chrome.storage.session.get(null))));
    if (!own) {
      for (const r of server.log.slice(mark)) {
        if (r.target !== '/favicon.ico' && r.host !== 'start.test') requests.push(`${r.host} ${r.target}`);
      }
    }
  }
  return requests;
}

async function testSessions(server) {
  for (const name of SESSIONS) {
    const file = name.includes('/') ? name : path.join(L.ROOT, 'tools/sessions', name + '.in');
    const want = hostNavigations(file).map(onTheWire);
    const s = await session(server);
    let have;
    try {
      await s.content.bringToFront();
      have = await playSession(s, server, file);
    } finally {
      await s.close();
    }
    check(`session ${name}: the same navigations as norvex-host, on the wire`,
      JSON.stringify(have) === JSON.stringify(want),
      `norvex-host: ${JSON.stringify(want, null, 1)}\nextension:   ${JSON.stringify(have, null, 1)}`);
  }
}

// ---- History, private windows, the worker --------------------------------------------------

async function testHistoryAndWorker(s, server) {
  const history = () => s.panel.evaluate(async () => {
    const { bridge } = await import('./lib/bridge.js');
    return (await bridge().request({ type: 'history' })).entries;
  });
  const worker = await s.workerTarget.worker();
  const tab = await s.panel.evaluate(async (id) => chrome.tabs.get(id), s.tabId);
  await worker.evaluate((t) => self.norvex.searchWith('private words', 0, { ...t, incognito: true }, 'currentTab'), tab);
  await worker.evaluate((t) => self.norvex.searchWith('public words', 0, t, 'currentTab'), tab);
  const entries = await history();
  check('a private window\'s search leaves the history alone',
    entries.includes('public words') && !entries.includes('private words'), JSON.stringify(entries));
  const requested = server.log.filter((r) => r.target.includes('private+words')).length;
  check('a private window\'s search still searches', requested === 1, `${requested} requests`);
  const daily = server.log.filter((r) => r.target.startsWith('/log/daily')).length;
  check('the daily usage report went once, to the installation\'s address', daily === 1, `${daily} reports`);

  // Enter while an IME composes is the IME's (it ends the composition); afterwards it searches.
  await s.panel.bringToFront();
  await s.panel.focus('#q');
  await s.panel.evaluate(() => { const q = document.getElementById('q'); q.value = 'かな'; q.dispatchEvent(new Event('input')); });
  await idle(s.panel);
  const before = server.log.length;
  await s.panel.evaluate(() => {
    const q = document.getElementById('q');
    q.dispatchEvent(new KeyboardEvent('keydown', { key: 'Enter', isComposing: true, bubbles: true }));
    q.dispatchEvent(new KeyboardEvent('keydown', { key: 'Enter', keyCode: 229, bubbles: true }));
  });
  await idle(s.panel);
  await L.sleep(300);
  const kana = (r) => r.target.includes('%E3%81%8B%E3%81%AA');
  const duringComposition = server.log.slice(before).filter(kana).length;
  await s.panel.keyboard.press('Enter');
  await idle(s.panel);
  await L.sleep(300);
  const searched = server.log.slice(before).filter(kana).length;
  check('Enter during an IME composition is left to the IME', duringComposition === 0 && searched === 1,
    `${duringComposition} requests while composing, ${searched} after`);

  // The context menu is made from the catalogue's engines; its entries search the selection.
  const menuWorker = await s.workerTarget.worker();
  const menus = await menuWorker.evaluate(async () => {
    const model = (await chrome.storage.local.get('model')).model;
    await self.norvex.buildMenus(model);
    await self.norvex.buildMenus(model);
    return model.engines.map((e) => e.id);
  });
  check('the context menu is made from the engines (twice at once without a clash)', menus.length === 4, JSON.stringify(menus));

  // The popup's quick search: the search box and the search agent only; Enter searches the tab.
  const popup = await s.browser.newPage();
  await popup.goto(L.extensionUrl(`popup.html?tab=${s.tabId}`));
  await popup.waitForFunction(() => document.documentElement.dataset.drawn === 'bridge', { timeout: 15000 });
  const popupAgents = await popup.evaluate(() => [...document.querySelectorAll('.agent')].map((a) => a.dataset.role));
  const mark = server.log.length;
  await popup.focus('#q');
  await popup.keyboard.type('ポップアップ');
  await popup.evaluate(() => window.__norvexToolbar.idle());
  const closed = new Promise((resolve) => popup.once('close', resolve));
  // The popup closes on Enter's key-down, so the key-up may find no page to go to.
  await popup.keyboard.press('Enter').catch((e) => { if (!popup.isClosed() && !/Target closed/.test(e.message)) throw e; });
  await Promise.race([closed, L.sleep(5000)]);
  await L.sleep(300);
  const popupSearch = server.log.slice(mark).filter((r) => r.target.includes('%E3%83%9D%E3%83%83%E3%83%97')).length;
  check('the popup searches the tab with the default engine and closes', JSON.stringify(popupAgents) === '["search"]' &&
    popupSearch === 1 && popup.isClosed(), `${JSON.stringify(popupAgents)}, ${popupSearch} requests, closed ${popup.isClosed()}`);
  if (!popup.isClosed()) await popup.close();

  // The worker stopped (its target closed, as the browser stops an idle worker), then woken by
  // a message from the panel: it answers and works on the page, and it searches.
  await s.content.goto(pageUrl('browser/tests/pages/rules.html'), { waitUntil: 'load' });
  const cdp = await s.browser.target().createCDPSession();
  const workers = async () => (await cdp.send('Target.getTargets')).targetInfos
    .filter((t) => t.type === 'service_worker' && t.url.includes(L.EXTENSION_ID));
  // A mark in the running worker: a worker without it is a new one.
  await (await s.workerTarget.worker()).evaluate(() => { self.beforeStop = true; });
  for (const w of await workers()) await cdp.send('Target.closeTarget', { targetId: w.targetId });
  for (let i = 0; i < 100 && (await workers()).length; ++i) await L.sleep(100);
  await s.panel.evaluate(() => chrome.storage.session.set({ text: 'market', lastHighlightText: '' }));
  const reply = s.panel.evaluate((tabId) => chrome.runtime.sendMessage({ type: 'page-command', command: 'highlight', tabId }), s.tabId);
  let woke = null;
  for (let i = 0; i < 100 && !woke; ++i) {
    woke = (await workers())[0];
    if (!woke) await L.sleep(100);
  }
  let session = null;
  if (woke) {
    const { sessionId } = await cdp.send('Target.attachToTarget', { targetId: woke.targetId, flatten: true });
    session = cdp.connection().session(sessionId);
    await session.send('Runtime.runIfWaitingForDebugger');
  }
  const answer = await Promise.race([reply, L.sleep(15000).then(() => null)]);
  let restarted = false;
  if (session) {
    const { result } = await session.send('Runtime.evaluate', { expression: 'self.beforeStop === undefined', returnByValue: true });
    restarted = result.value === true;
  }
  check('the worker stopped and started again highlights the page', restarted && answer && answer.counts && answer.counts[0] === 16,
    `a new worker ${restarted}, answer ${JSON.stringify(answer && { words: answer.words, counts: answer.counts, error: answer.error })}`);
  if (session) {
    const { result } = await session.send('Runtime.evaluate', {
      expression: `chrome.tabs.get(${s.tabId}).then((t) => self.norvex.searchWith('after restart', 0, t, 'currentTab'))`,
      awaitPromise: true, returnByValue: true,
    });
    const results = result.value;
    check('the restarted worker searches', Array.isArray(results) && results.some((r) => r.navigate && r.navigate.includes('after+restart')), JSON.stringify(result));
  } else {
    check('the restarted worker searches', false, 'no worker after the message');
  }
}

// ---- The options page ---------------------------------------------------------------------

// The options dialog's rows, written through the bridge to UserConfig.ini as OK writes them; the
// about texts and the daily report's disclosure beside them.
async function testOptions(s) {
  const page = await s.browser.newPage();
  await page.goto(L.extensionUrl('options.html'));
  await page.waitForFunction(() => document.documentElement.dataset.ready, { timeout: 15000 });
  const shown = await page.evaluate(() => ({
    rows: [...document.querySelectorAll('#rows input')].map((b) => [b.dataset.id, b.checked]),
    about: [...document.querySelectorAll('#about-lines p')].map((p) => p.textContent),
    report: document.getElementById('report-text').textContent,
  }));
  if (process.env.BROWSER_TESTS_PICTURES) await page.screenshot({ path: path.join(process.env.BROWSER_TESTS_PICTURES, 'options.png'), fullPage: true });
  check('the options page lists the agents a person may hide, ticked',
    shown.rows.length > 3 && shown.rows.every(([, on]) => on) && shown.rows.some(([id]) => id === 'news'), JSON.stringify(shown.rows));
  check('the options page shows the about texts and the daily report', shown.about.length === 3 &&
    shown.about[2].includes(String(new Date().getFullYear())) && shown.report.length > 10, JSON.stringify(shown));
  await page.evaluate(() => {
    document.querySelector('#rows input[data-id="news"]').click();
    document.getElementById('ok').click();
  });
  await page.waitForFunction(() => !document.getElementById('saved').hidden, { timeout: 10000 });
  const file = path.join(s.userData, 'Norvex', 'UserConfig.ini');
  const ini = fs.existsSync(file) ? fs.readFileSync(file).toString('utf8').replace(/\0/g, '') : '';
  check('OK writes every row to UserConfig.ini, the unticked one as 0',
    /news\s*=\s*0/.test(ini) && /weather\s*=\s*1/.test(ini), ini);
  // The panel rebuilds without the hidden agent.
  await s.panel.evaluate(() => window.__norvexToolbar.refresh());
  const agents = await s.panel.evaluate(() => [...document.querySelectorAll('.agent .caption')].map((c) => c.textContent));
  check('the toolbar rebuilt without the agent unticked', !agents.includes('ニュース') && agents.includes('天気'), JSON.stringify(agents));
  await page.close();
}

// ---- Without the bridge -------------------------------------------------------------------

async function testMissingBridge(s) {
  const state = await s.panel.evaluate(() => ({
    bridge: document.documentElement.dataset.bridge,
    text: document.getElementById('missing').textContent,
    link: document.querySelector('#missing a') && document.querySelector('#missing a').href,
    toolbarHidden: document.getElementById('toolbar').hidden,
  }));
  const sentences = state.text.split(/[.。](?=\s|$)/).filter((x) => x.trim()).length;
  check('without the bridge the panel says so in one sentence with the installer\'s link',
    state.bridge === 'missing' && sentences === 1 && /^https:/.test(state.link || '') && state.toolbarHidden,
    JSON.stringify(state));
  const popup = await s.browser.newPage();
  await popup.goto(L.extensionUrl('popup.html'));
  await popup.waitForFunction(() => document.documentElement.dataset.bridge, { timeout: 15000 });
  const popupState = await popup.evaluate(() => document.documentElement.dataset.bridge);
  check('without the bridge the popup says so too', popupState === 'missing', popupState);
  await popup.close();
}

// ---- Main -----------------------------------------------------------------------------------

const started = Date.now();
const server = await L.startServer();
try {
  for (const need of ['norvex-bridge', 'norvex-host', 'page_matches']) {
    if (!fs.existsSync(bin(need)) && !(only && only.test('missing'))) throw new Error(`${bin(need)} is missing: build it first`);
  }
  if (!fs.existsSync(path.join(L.ROOT, 'extension/generated/fold_table.js'))) {
    throw new Error('extension/generated/fold_table.js is missing: build the fold_table target');
  }
  if (!only || only.test('missing')) {
    const s = await session(server, { bridge: false });
    try { await testMissingBridge(s); } finally { await s.close(); }
  }
  if (!only || only.test('pagetools') || only.test('history') || only.test('options')) {
    const s = await session(server);
    try {
      check('the bridge answers the panel', await s.panel.evaluate(() => document.documentElement.dataset.bridge) === 'ok');
      if (!only || only.test('pagetools')) await testPageTools(s);
      if (!only || only.test('history')) await testHistoryAndWorker(s, server);
      if (!only || only.test('options')) await testOptions(s);
    } finally {
      await s.close();
    }
  }
  if (!only || only.test('sessions')) await testSessions(server);
} catch (e) {
  check('the browser tests ran', false, e.stack || String(e));
} finally {
  await server.close();
}
console.log(`(${((Date.now() - started) / 1000).toFixed(1)} s)`);
console.log(`browser tests: ${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
