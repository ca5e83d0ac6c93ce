// The toolbar as the side panel and the popup draw it: the search box with its history
// drop-down, the agent buttons in catalogue order with their images and captions, menu and
// split buttons with their menus, and the settings button. It is drawn at once from the last
// model cached, then refreshed from the bridge; everything a button does is the bridge's answer.
import { bridge } from '../lib/bridge.js';
import { perform, wantsNewTab } from '../lib/actions.js';
import { pageLanguage } from '../lib/pagetools.js';
import { shownAddress } from '../lib/address.js';
import { cachedModel, saveModel, saveImages, loadState, saveState, setSession } from '../lib/store.js';

const scriptStart = performance.now();
const msg = (name, subs) => chrome.i18n.getMessage(name, subs) || name;
export const times = { scriptStart, drawn: null, painted: null, firstAnswer: null, refreshed: null };
window.__norvexTimes = times;

const $ = (id) => document.getElementById(id);

// The toolbar's elements, the same in the side panel and the popup (whose pages hold only the
// element #norvex that they go into).
const MARKUP = `
  <p id="missing" hidden></p>
  <div id="toolbar">
    <div class="search-row">
      <div id="search-box" class="search-box">
        <input id="q" type="text" maxlength="259" autocomplete="off" spellcheck="false">
        <button id="history-button" type="button" class="drop" tabindex="-1">\u25BE</button>
      </div>
      <span id="search-agent"></span>
      <span class="spacer"></span>
      <span id="settings"></span>
    </div>
    <div id="history" class="history" hidden>
      <ul id="history-list" role="listbox"></ul>
      <button id="delete-history" type="button"></button>
    </div>
    <div id="agents" class="agents"></div>
    <div id="counts" class="counts" hidden></div>
    <p id="status" class="status" hidden></p>
    <div id="about" class="about" hidden></div>
  </div>
  <div id="menu" class="menu" role="menu" hidden></div>`;

export class Toolbar {
  constructor({ mode }) {
    this.mode = mode; // 'panel' or 'popup'
    this.model = null;
    this.images = {};
    this.buttons = new Map(); // agent id -> {caption, command}
    this.tab = null;
    this.menu = null;
    this.history = { open: false, entries: [], selected: -1, whole: false, request: 0 };
    this.work = new Set(); // what is still running (the tests wait for it)
    this.root = $('norvex');
    this.root.innerHTML = MARKUP;
    this.input = $('q');
    this.status = $('status');
  }

  // Keeps `promise` among the running work until it settles.
  track(promise) {
    this.work.add(promise);
    promise.finally(() => this.work.delete(promise)).catch(() => {});
    return promise;
  }

  async idle() {
    while (this.work.size) await Promise.allSettled([...this.work]);
  }

  // ---- Start ----------------------------------------------------------------------------------

  async start() {
    this.bindSearchBox();
    this.bindMenuKeys();
    // ?tab=ID: the toolbar works on that tab (the tests and the pictures open the panel as a
    // page of its own, whose window's active tab is the panel itself).
    const tabParam = new URLSearchParams(location.search).get('tab');
    this.fixedTab = tabParam ? Number(tabParam) : null;
    const cached = await cachedModel();
    const text = await chrome.storage.session.get('text');
    if (text.text && !this.input.value) this.input.value = text.text;
    if (cached.model) {
      this.images = cached.images;
      this.model = cached.model;
      this.draw();
    }
    times.drawn = performance.now();
    requestAnimationFrame(() => { times.painted = performance.now(); });
    document.documentElement.dataset.drawn = cached.model ? 'cache' : 'empty';
    await this.refreshTab();
    this.watchTabs();
    await this.track(this.refresh());
  }

  async refreshTab() {
    try {
      if (this.fixedTab !== null) {
        this.tab = await chrome.tabs.get(this.fixedTab);
      } else {
        const win = await chrome.windows.getCurrent();
        const [tab] = await chrome.tabs.query({ active: true, windowId: win.id });
        this.tab = tab || null;
      }
    } catch (e) {
      this.tab = null;
    }
    // Whether the page tools may read the tab's page, known before a click needs it (asking
    // then must not wait for anything, or the click is no longer the person's gesture).
    this.pageAllowed = false;
    if (this.tab && /^https?:/.test(this.tab.url || '')) {
      this.pageAllowed = await chrome.permissions.contains({ origins: [originPattern(this.tab.url)] }).catch(() => false);
    }
    return this.tab;
  }

  watchTabs() {
    if (this.mode !== 'panel') return;
    chrome.tabs.onActivated.addListener(async () => {
      if (this.fixedTab !== null) return;
      await this.refreshTab();
      await this.refreshState();
    });
    chrome.tabs.onUpdated.addListener(async (tabId, change) => {
      if (!this.tab || tabId !== this.tab.id) return;
      if (change.url) this.tab.url = change.url;
      if (change.status === 'complete') {
        await this.track((async () => {
          await this.refreshTab();
          await this.updateLanguage();
        })());
      }
    });
  }

  async state() {
    if (!this.tab) return {};
    return loadState(this.tab.windowId, this.tab.id);
  }

  // The model from the bridge; images that the cache lacks are asked for.
  async refresh() {
    let answer;
    try {
      answer = await bridge().request({ type: 'model', text: this.input.value, state: await this.state() });
    } catch (e) {
      this.showMissing(e);
      return;
    }
    if (times.firstAnswer === null) times.firstAnswer = performance.now();
    this.hideMissing();
    const wanted = (answer.images || []).filter((k) => !this.images[k]);
    if (wanted.length) {
      try {
        const got = await bridge().request({ type: 'images', keys: wanted });
        for (const image of got.imageList || []) {
          this.images[image.key] = { png1x: image.png1x, png2x: image.png2x, width: image.width, height: image.height };
        }
        await saveImages(this.images);
      } catch (e) { /* draw without them */ }
    }
    // The model changes no state (what it answers is the state it was sent, checked against the
    // catalogue); a command answered meanwhile must keep the state it wrote.
    this.model = answer;
    await saveModel(answer);
    this.draw();
    times.refreshed = performance.now();
    document.documentElement.dataset.drawn = 'bridge';
    await this.updateLanguage();
  }

  async refreshState() {
    if (!this.model) return;
    try {
      const answer = await bridge().request({ type: 'model', text: this.input.value, state: await this.state() });
      this.model = answer;
      this.draw();
    } catch (e) { /* keep what is drawn */ }
  }

  // The page language item of the tab's page, when the page may be read.
  async updateLanguage() {
    if (this.mode !== 'panel' || !this.tab || !this.model || !/^https?:/.test(this.tab.url || '')) return;
    const hasWebtrans = this.model.agents.some((a) => a.role === 'webtrans');
    if (!hasWebtrans) return;
    // As the toolbar: only a page at another address than the last one of the tab.
    const seen = 'languageUrl:' + this.tab.id;
    const last = (await chrome.storage.session.get(seen))[seen];
    if (last === this.tab.url) return;
    await chrome.storage.session.set({ [seen]: this.tab.url });
    try {
      const allowed = await chrome.permissions.contains({ origins: [originPattern(this.tab.url)] });
      if (!allowed) return;
      const page = await pageLanguage(this.tab.id);
      if (!page) return;
      const answer = await bridge().request({ type: 'language', charset: page.charset, lang: page.lang, state: await this.state() });
      await saveState(this.tab.windowId, this.tab.id, answer.state);
      this.applyButtons(answer.buttons);
    } catch (e) { /* the button keeps its item */ }
  }

  // ---- The missing bridge ---------------------------------------------------------------------

  showMissing(error) {
    const reason = ['missing', 'old', 'new', 'failed'].includes(error.reason) ? error.reason : 'failed';
    const box = $('missing');
    box.textContent = '';
    const marker = '@@LINK@@';
    const [before, after] = msg('missing_' + reason, [marker]).split(marker);
    const link = document.createElement('a');
    link.href = msg('installerUrl');
    link.target = '_blank';
    link.textContent = msg('installLink');
    box.append(before || '', link, after || '');
    box.dataset.reason = reason;
    box.hidden = false;
    $('toolbar').hidden = true;
    document.documentElement.dataset.bridge = reason;
  }

  hideMissing() {
    $('missing').hidden = true;
    $('toolbar').hidden = false;
    document.documentElement.dataset.bridge = 'ok';
  }

  // ---- Drawing ------------------------------------------------------------------------------

  image(key, fallbackKey) {
    const k = key || fallbackKey;
    const img = k && this.images[k];
    if (!img) return null;
    const el = document.createElement('img');
    el.src = 'data:image/png;base64,' + img.png1x;
    if (img.png2x) el.srcset = `data:image/png;base64,${img.png2x} 2x`;
    el.width = img.width || 16;
    el.height = img.height || 16;
    el.alt = '';
    return el;
  }

  draw() {
    const model = this.model;
    if (!model) return;
    this.buttons.clear();
    for (const b of model.buttons || []) this.buttons.set(b.id, b);
    const searchSlot = $('search-agent');
    const settingsSlot = $('settings');
    const agentsRow = $('agents');
    searchSlot.textContent = '';
    settingsSlot.textContent = '';
    agentsRow.textContent = '';
    $('search-box').hidden = !model.searchBox;
    for (const agent of model.agents) {
      if (this.mode === 'popup' && agent.role !== 'search') continue;
      const el = this.agentButton(agent);
      if (agent.role === 'search') searchSlot.append(el);
      else if (agent.place === 'end' || agent.role === 'settings') settingsSlot.append(el);
      else agentsRow.append(el);
    }
    this.updateEnabled();
  }

  agentButton(agent) {
    const group = document.createElement('span');
    group.className = 'agent kind-' + agent.kind;
    group.dataset.id = agent.id;
    group.dataset.command = (this.buttons.get(agent.id) || {}).command || agent.id;
    if (agent.role) group.dataset.role = agent.role;
    const face = document.createElement('button');
    face.className = 'face';
    face.type = 'button';
    face.title = agent.tooltip || agent.caption || agent.name || '';
    const image = this.image(agent.image);
    if (image) face.append(image);
    const caption = document.createElement('span');
    caption.className = 'caption';
    const update = this.buttons.get(agent.id);
    caption.textContent = update ? update.caption : agent.caption;
    if (caption.textContent) face.append(caption);
    group.append(face);
    if (agent.kind === 'menu') {
      face.setAttribute('aria-haspopup', 'menu');
      const arrow = document.createElement('span');
      arrow.className = 'arrow';
      arrow.textContent = '▾';
      face.append(arrow);
      face.addEventListener('click', () => this.openMenu(agent, group));
    } else {
      face.addEventListener('click', (e) => this.track(this.press(agent, e)));
      face.addEventListener('auxclick', (e) => { if (e.button === 1) this.track(this.press(agent, e)); });
      if (agent.kind === 'split') {
        const arrow = document.createElement('button');
        arrow.type = 'button';
        arrow.className = 'split-arrow';
        arrow.setAttribute('aria-haspopup', 'menu');
        arrow.title = face.title;
        arrow.textContent = '▾';
        arrow.addEventListener('click', () => this.openMenu(agent, group));
        group.append(arrow);
      }
    }
    return group;
  }

  applyButtons(buttons) {
    for (const b of buttons || []) {
      this.buttons.set(b.id, b);
      const group = this.root.querySelector(`.agent[data-id="${b.id}"]`);
      if (!group) continue;
      group.dataset.command = b.command;
      const el = group.querySelector('.caption');
      if (el) el.textContent = b.caption;
    }
  }

  updateEnabled() {
    if (!this.model) return;
    const hasText = this.input.value.length > 0;
    for (const agent of this.model.agents) {
      const el = this.root.querySelector(`.agent[data-id="${agent.id}"]`);
      if (!el) continue;
      const enabled = agent.needsText ? hasText : agent.enabled !== false;
      el.classList.toggle('disabled', !enabled);
      el.querySelectorAll('button').forEach((b) => { b.disabled = !enabled; });
      const face = el.querySelector('.face');
      const img = face.querySelector('img');
      if (img && agent.offImage && agent.offImage !== agent.image) {
        const other = this.image(enabled ? agent.image : agent.offImage);
        if (other) img.replaceWith(other);
      }
    }
  }

  // ---- Commands -------------------------------------------------------------------------------

  // Page tools from the side panel need the page's origin, asked for while the click is still
  // the person's gesture (before anything is awaited).
  askForPage(agentOrItemRole) {
    if (this.mode !== 'panel' || !this.tab || !/^https?:/.test(this.tab.url || '')) return null;
    if (agentOrItemRole !== 'highlight' && agentOrItemRole !== 'searchinpage') return null;
    if (this.pageAllowed) return null;
    return chrome.permissions.request({ origins: [originPattern(this.tab.url)] }).catch(() => false);
  }

  async press(agent, event) {
    const update = this.buttons.get(agent.id);
    const id = update ? update.command : agent.id;
    const asked = this.askForPage(agent.role);
    if (asked) await asked;
    await this.run({ type: 'command', id }, event);
  }

  async choose(item, agent, event) {
    this.closeMenu();
    const asked = this.askForPage(agent && agent.role === 'settings' ? null : item.role);
    if (asked) await asked;
    await this.run({ type: 'command', id: item.id }, event);
  }

  async search(event) {
    this.closeHistory();
    const state = await this.state();
    await this.run({ type: 'search', engine: state.engine || 0 }, event);
  }

  async run(request, event) {
    const tab = (await this.refreshTab()) || {};
    const state = await this.state();
    let answer;
    try {
      answer = await bridge().request({
        ...request, text: this.input.value, url: shownAddress(tab.url), private: !!tab.incognito, state,
      });
    } catch (e) {
      if (e.reason === 'error') this.say(e.message);
      else this.showMissing(e);
      return null;
    }
    if (tab.id !== undefined) await saveState(tab.windowId, tab.id, answer.state);
    this.applyButtons(answer.buttons);
    let results = [];
    try {
      results = await perform(answer.actions, {
        tabId: tab.id, windowId: tab.windowId, newTab: wantsNewTab(event), visibleFirst: true,
      });
    } catch (e) {
      this.say(String(e.message || e));
    }
    this.show(results);
    if (this.mode === 'popup' && results.some((r) => r.navigate || r.window)) window.close();
    return { answer, results };
  }

  show(results) {
    for (const r of results) {
      if (r.about) this.showAbout(r.about);
      if (r.highlight) this.showCounts(r.highlight);
      if (r.find === null) this.say(msg('notFound'));
    }
  }

  say(text) {
    this.status.textContent = text || '';
    this.status.hidden = !text;
  }

  showCounts(h) {
    const box = $('counts');
    box.textContent = '';
    box.hidden = !!h.removed;
    if (h.removed) return;
    h.words.forEach((word, j) => {
      const chip = document.createElement('span');
      chip.className = 'count c' + (j % 5);
      chip.textContent = `${word} ${h.counts[j]}`;
      box.append(chip);
    });
  }

  showAbout(lines) {
    const box = $('about');
    box.textContent = '';
    for (const line of lines) {
      const p = document.createElement('p');
      p.textContent = line;
      box.append(p);
    }
    const ok = document.createElement('button');
    ok.type = 'button';
    ok.textContent = msg('ok');
    ok.addEventListener('click', () => { box.hidden = true; });
    box.append(ok);
    box.hidden = false;
    ok.focus();
  }

  // ---- Menus ----------------------------------------------------------------------------------

  openMenu(agent, anchor) {
    this.closeHistory();
    if (this.menu && this.menu.agent === agent.id) {
      this.closeMenu();
      return;
    }
    const menu = $('menu');
    menu.textContent = '';
    const items = agent.menu || [];
    items.forEach((item) => {
      const row = document.createElement('button');
      row.type = 'button';
      row.className = 'item';
      row.setAttribute('role', 'menuitem');
      row.dataset.id = item.id;
      row.disabled = !!item.grayed;
      const img = this.image(item.image);
      const slot = document.createElement('span');
      slot.className = 'icon';
      if (img) slot.append(img);
      const caption = document.createElement('span');
      caption.textContent = item.caption;
      row.append(slot, caption);
      row.addEventListener('click', (e) => this.track(this.choose(item, agent, e)));
      menu.append(row);
    });
    const r = anchor.getBoundingClientRect();
    menu.style.left = Math.max(0, Math.min(r.left, window.innerWidth - 220)) + 'px';
    menu.style.top = r.bottom + 'px';
    menu.hidden = false;
    this.menu = { agent: agent.id, anchor };
    anchor.classList.add('open');
    const first = menu.querySelector('.item:not(:disabled)');
    if (first) first.focus();
  }

  closeMenu() {
    if (!this.menu) return;
    this.menu.anchor.classList.remove('open');
    $('menu').hidden = true;
    this.menu = null;
  }

  bindMenuKeys() {
    const menu = $('menu');
    menu.addEventListener('keydown', (e) => {
      const items = [...menu.querySelectorAll('.item:not(:disabled)')];
      const i = items.indexOf(document.activeElement);
      if (e.key === 'ArrowDown') items[(i + 1) % items.length]?.focus();
      else if (e.key === 'ArrowUp') items[(i - 1 + items.length) % items.length]?.focus();
      else if (e.key === 'Escape') this.closeMenu();
      else return;
      e.preventDefault();
    });
    document.addEventListener('mousedown', (e) => {
      if (this.menu && !menu.contains(e.target) && !this.menu.anchor.contains(e.target)) this.closeMenu();
      const drop = $('history');
      if (this.history.open && !drop.contains(e.target) && !$('search-box').contains(e.target)) this.closeHistory();
    });
  }

  // ---- The search box -----------------------------------------------------------------------

  bindSearchBox() {
    const input = this.input;
    input.placeholder = msg('searchPlaceholder');
    input.addEventListener('input', () => {
      chrome.storage.session.set({ text: input.value });
      this.updateEnabled();
      if (this.history.arrow) return;
      this.track(this.filterHistory());
    });
    input.addEventListener('keydown', (e) => this.key(e));
    $('history-button').title = msg('historyButton');
    $('history-button').addEventListener('click', () => {
      input.focus();
      this.track(this.toggleHistory());
    });
    $('delete-history').textContent = msg('deleteHistory');
    $('delete-history').addEventListener('click', async () => {
      try {
        await bridge().request({ type: 'history-delete' });
      } catch (e) { /* shown at the next request */ }
      this.closeHistory();
    });
  }

  // Keys as the toolbar's search box takes them; keys of an IME composition stay the IME's.
  key(e) {
    if (e.isComposing || e.keyCode === 229) return;
    const h = this.history;
    switch (e.key) {
      case 'Enter':
        e.preventDefault();
        if (h.open && h.selected >= 0) this.chooseEntry(h.selected);
        this.track(this.search(e));
        break;
      case 'Escape':
        if (h.open) {
          e.preventDefault();
          this.closeHistory();
        }
        break;
      case 'ArrowUp':
      case 'ArrowDown':
        e.preventDefault();
        if (e.altKey) {
          this.track(this.toggleHistory());
        } else if (h.open) {
          const target = h.selected + (e.key === 'ArrowUp' ? -1 : 1);
          if (target >= 0 && target < h.entries.length) this.chooseEntry(target);
        }
        break;
      case 'F4':
        e.preventDefault();
        this.track(this.toggleHistory());
        break;
      default:
        break;
    }
  }

  async entries(prefix) {
    if (this.tab && this.tab.incognito) return [];
    const ticket = ++this.history.request;
    try {
      const answer = await bridge().request(prefix ? { type: 'history', prefix } : { type: 'history' });
      return ticket === this.history.request ? answer.entries || [] : null;
    } catch (e) {
      return [];
    }
  }

  async filterHistory() {
    const text = this.input.value;
    if (!text) {
      this.closeHistory();
      return;
    }
    const list = await this.entries(text);
    if (list === null || this.input.value !== text) return;
    this.closeHistory();
    if (list.length) this.openHistory(list, false);
  }

  async toggleHistory() {
    const h = this.history;
    if (h.open && h.whole) {
      this.closeHistory();
      return;
    }
    if (h.open) {
      h.whole = true;
      return;
    }
    const list = await this.entries('');
    if (list && list.length) this.openHistory(list, true);
  }

  openHistory(entries, whole) {
    this.closeMenu();
    const h = this.history;
    h.entries = entries;
    h.whole = whole;
    h.open = true;
    h.selected = entries.indexOf(this.input.value);
    const list = $('history-list');
    list.textContent = '';
    entries.forEach((text, i) => {
      const li = document.createElement('li');
      li.textContent = text;
      li.setAttribute('role', 'option');
      li.addEventListener('mousemove', () => this.selectEntry(i));
      li.addEventListener('click', (e) => {
        this.chooseEntry(i);
        this.track(this.search(e));
      });
      list.append(li);
    });
    this.selectEntry(h.selected);
    $('history').hidden = false;
  }

  selectEntry(i) {
    this.history.selected = i;
    [...$('history-list').children].forEach((li, j) => li.setAttribute('aria-selected', String(i === j)));
  }

  chooseEntry(i) {
    const text = this.history.entries[i];
    if (text === undefined) return;
    this.selectEntry(i);
    this.history.arrow = true;
    this.input.value = text;
    this.input.dispatchEvent(new Event('input'));
    this.history.arrow = false;
    this.input.select();
  }

  closeHistory() {
    const h = this.history;
    h.open = false;
    h.selected = -1;
    $('history').hidden = true;
  }
}

export function originPattern(url) {
  const u = new URL(url);
  return `${u.protocol}//${u.hostname}/*`;
}
