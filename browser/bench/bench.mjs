// The extension's speed, in Debian's chromium (headless) with the bridge on the sample
// installation; median of five runs, with the machine's load printed:
//
//   node browser/bench/bench.mjs BUILD_DIR
//
// - the side panel's toolbar drawn from the cached model: from the panel script's start to the
//   toolbar on screen (goal 100 ms); the bridge's first answer on its own line;
// - on page_bench's 2 MB page, the word "market" highlighted from the panel's side: the part in
//   view (goal 100 ms) and the whole page (goal 500 ms), measured in the page.
import fs from 'node:fs';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import * as L from '../tests/lib.mjs';

const build = path.resolve(process.argv[2] || path.join(L.ROOT, 'build/native'));
const RUNS = 5;
const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];
const fmt = (v) => `median ${median(v).toFixed(1)} ms (runs: ${v.map((x) => x.toFixed(1)).join(', ')})`;

console.log(`browser bench: load average ${L.loadAverage()} (${process.env.CHROMIUM || 'chromium'}, ${RUNS} runs)`);
const pageDir = L.tempDir('bench-page');
const pageFile = path.join(pageDir, 'market.html');
execFileSync(path.join(build, 'bin/page_bench'), ['--write', pageFile]);

const server = await L.startServer();
const profile = L.tempDir('profile');
const userData = L.tempDir('user');
const extension = L.extensionCopy();
L.registerBridge(build, profile, L.testInstallation(server.port));
const { browser } = await L.launch({ extension, profile, port: server.port, userData });
try {
  const content = await browser.newPage();
  await content.goto('http://start.test/');
  const panel = await browser.newPage();
  await panel.goto(L.extensionUrl('sidepanel.html'));
  const tabId = await L.tabIdOf(browser, content, panel);
  // The first opening fills the cache.
  await panel.goto(L.extensionUrl(`sidepanel.html?tab=${tabId}`));
  await panel.waitForFunction(() => document.documentElement.dataset.drawn === 'bridge', { timeout: 20000 });

  const drawn = [];
  const answered = [];
  for (let run = 0; run < RUNS; ++run) {
    await panel.goto(L.extensionUrl(`sidepanel.html?tab=${tabId}&run=${run}`));
    await panel.waitForFunction(() => document.documentElement.dataset.drawn === 'bridge', { timeout: 20000 });
    const t = await panel.evaluate(() => window.__norvexTimes);
    // Drawn: the toolbar from the cache, until the frame that shows it.
    drawn.push((t.painted || t.drawn) - t.scriptStart);
    answered.push(t.firstAnswer - t.scriptStart);
  }
  const buttons = await panel.evaluate(() => document.querySelectorAll('.agent').length);
  console.log(`browser bench: toolbar drawn from the cached model (${buttons} buttons): ${fmt(drawn)} (goal 100 ms)`);
  console.log(`browser bench: the bridge's first answer (model): ${fmt(answered)}`);

  // The 2 MB page, answered by the test browser itself.
  const html = fs.readFileSync(pageFile);
  await content.goto('http://start.test/');
  const visible = [];
  const whole = [];
  let total = 0;
  for (let run = 0; run < RUNS; ++run) {
    await content.setRequestInterception(true);
    const handler = (req) => req.respond({ status: 200, contentType: 'text/html; charset=utf-8', body: html });
    content.on('request', handler);
    await content.goto('http://bench.test/market.html', { waitUntil: 'load' });
    content.off('request', handler);
    await content.setRequestInterception(false);
    await content.bringToFront();
    const result = await panel.evaluate(async (tabId) => {
      const m = await import('./lib/pagetools.js');
      await chrome.storage.session.set({ lastHighlightText: '' });
      return m.toggleHighlight(tabId, 'market', ['market'], { visibleFirst: true });
    }, tabId);
    const top = result.frames.find((f) => f.index === -1);
    visible.push(top.visibleMs);
    whole.push(top.wholeMs);
    if (process.env.BENCH_COSTS) console.log(JSON.stringify(top.costs), top.visibleMs, top.wholeMs);
    total = result.counts[0];
  }
  console.log(`browser bench: page of ${html.length} bytes, ${total} occurrences of "market"`);
  console.log(`browser bench: the part in view highlighted: ${fmt(visible)} (goal 100 ms)`);
  console.log(`browser bench: the whole page highlighted: ${fmt(whole)} (goal 500 ms)`);
} finally {
  await browser.close();
  await server.close();
  for (const dir of [profile, userData, extension, pageDir]) fs.rmSync(dir, { recursive: true, force: true });
}
