// The options page: the options dialog's rows (the agents a person may hide, with their images
// and ticks), written to the same UserConfig.ini keys through the bridge; the about texts; and
// what the daily usage report sends.
import { bridge } from './lib/bridge.js';
import { cachedModel, saveImages } from './lib/store.js';

const msg = (name, subs) => chrome.i18n.getMessage(name, subs) || name;
const $ = (id) => document.getElementById(id);

for (const el of document.querySelectorAll('[data-i18n]')) el.textContent = msg(el.dataset.i18n);

function showMissing(error) {
  const reason = ['missing', 'old', 'new'].includes(error.reason) ? error.reason : 'failed';
  const marker = '@@LINK@@';
  const [before, after] = msg('missing_' + reason, [marker]).split(marker);
  const link = document.createElement('a');
  link.href = msg('installerUrl');
  link.textContent = msg('installLink');
  $('missing').append(before || '', link, after || '');
  $('missing').hidden = false;
  for (const id of ['options', 'report', 'about']) $(id).hidden = true;
}

async function images(keys) {
  const { images: cache } = await cachedModel();
  const wanted = keys.filter((k) => k && !cache[k]);
  if (wanted.length) {
    try {
      const got = await bridge().request({ type: 'images', keys: wanted });
      for (const i of got.imageList || []) cache[i.key] = { png1x: i.png1x, png2x: i.png2x, width: i.width, height: i.height };
      await saveImages(cache);
    } catch (e) { /* rows without images */ }
  }
  return cache;
}

async function loadRows() {
  const answer = await bridge().request({ type: 'options' });
  const cache = await images(answer.rows.map((r) => r.image));
  $('label').textContent = answer.label || '';
  const list = $('rows');
  list.textContent = '';
  if (!answer.rows.length) {
    const li = document.createElement('li');
    li.textContent = msg('optionsNoRows');
    list.append(li);
  }
  for (const row of answer.rows) {
    const li = document.createElement('li');
    const label = document.createElement('label');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = !!row.shown;
    box.dataset.id = row.id;
    label.append(box);
    const img = row.image && cache[row.image];
    const slot = document.createElement('span');
    slot.className = 'icon';
    if (img) {
      const el = document.createElement('img');
      el.src = 'data:image/png;base64,' + img.png1x;
      if (img.png2x) el.srcset = `data:image/png;base64,${img.png2x} 2x`;
      el.alt = '';
      slot.append(el);
    }
    label.append(slot, document.createTextNode(row.caption));
    li.append(label);
    list.append(li);
  }
  const report = answer.dailyReport || {};
  // The last report's time as AgentLog.ini has it; a number of seconds is shown as a date.
  if (/^\d{9,}$/.test(String(report.last || ''))) report.last = new Date(Number(report.last) * 1000).toLocaleString();
  $('report-text').textContent = report.configured
    ? msg('dailyReportOn', [report.last || msg('never')])
    : msg('dailyReportOff');
}

async function loadAbout() {
  const answer = await bridge().request({ type: 'about' });
  const box = $('about-lines');
  box.textContent = '';
  for (const line of answer.lines || []) {
    const p = document.createElement('p');
    p.textContent = line;
    box.append(p);
  }
}

$('ok').addEventListener('click', async () => {
  const rows = [...document.querySelectorAll('#rows input[type=checkbox]')]
    .map((box) => ({ id: box.dataset.id, shown: box.checked }));
  try {
    await bridge().request({ type: 'options-write', rows });
  } catch (e) {
    showMissing(e);
    return;
  }
  $('saved').hidden = false;
  // Every open toolbar rebuilds from the files, as after the dialog's OK.
  chrome.runtime.sendMessage({ refresh: true }).catch(() => {});
  setTimeout(() => { $('saved').hidden = true; }, 2000);
});

$('cancel').addEventListener('click', () => loadRows().catch(showMissing));

(async () => {
  try {
    await loadRows();
    await loadAbout();
    document.documentElement.dataset.ready = '1';
  } catch (e) {
    showMissing(e);
    document.documentElement.dataset.ready = 'missing';
  }
})();
