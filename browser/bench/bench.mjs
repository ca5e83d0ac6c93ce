// The extension's speed, in Debian's chromium (headless) with the bridge on the sample
// installation; median of five runs, with the machine's load printed:
//
//   node browser/bench/bench.mjs BUILD_DIR
//
// - the side panel's toolbar drawn from the cached model: from the panel script's start to the
//   toolbar on screen (goal 100 ms); the bridge's first answer on its own line;
// - on page_bench's 2 MB page, the word "market" highlighted from the panel's side: the part in
//   view (goal 100 ms) and the whole page (goal 500 ms), measured in the page from the start of
//   its highlighting to the frame that shows it; and the whole command as the panel sees it, the
//   page tools injected into the freshly loaded page (the highlight colours' style sheet makes
//   the browser work out the style of every element again), with the CPU time that the page's
//   main thread spent on it (which the machine's load does not stretch).
//   BENCH_COSTS=1 prints each run's parts.
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
  const command = [];
  const commandVisible = [];
  const cpu = [];
  let total = 0;
  for (let run = 0; run < RUNS; ++run) {
    await content.setRequestInterception(true);
    const handler = (req) => req.respond({ status: 200, contentType: 'text/html; charset=utf-8', body: html });
    content.on('request', handler);
    await content.goto('http://bench.test/market.html', { waitUntil: 'load' });
    content.off('request', handler);
    await content.setRequestInterception(false);
    await content.bringToFront();
    // The page's main thread, in CPU time.
    const cdp = await content.createCDPSession();
    await cdp.send('Performance.enable', { timeDomain: 'threadTicks' });
    const metrics = async () => Object.fromEntries((await cdp.send('Performance.getMetrics')).metrics.map((m) => [m.name, m.value]));
    const before = await metrics();
    const result = await panel.evaluate(async (tabId) => {
      const m = await import('./lib/pagetools.js');
      await chrome.storage.session.set({ lastHighlightText: '' });
      const t = performance.now();
      const answer = await m.toggleHighlight(tabId, 'market', ['market'], { visibleFirst: true });
      return { ...answer, commandMs: performance.now() - t, commandAt: performance.timeOrigin + t };
    }, tabId);
    const after = await metrics();
    const spent = (name) => (after[name] - before[name]) * 1000;
    cpu.push(spent('TaskDuration'));
    await cdp.detach();
    const top = result.frames.find((f) => f.index === -1);
    visible.push(top.visibleMs);
    whole.push(top.wholeMs);
    command.push(result.commandMs);
    commandVisible.push(top.visibleAt - result.commandAt);
    if (process.env.BENCH_COSTS) {
      const parts = Object.entries(top.costs).map(([k, v]) => `${k} ${v.toFixed(1)}`).join(', ');
      console.log(`browser bench: run ${run + 1}: ${parts}; in view ${top.visibleMs.toFixed(1)}, whole ${top.wholeMs.toFixed(1)}, ` +
        `command ${result.commandMs.toFixed(1)} ms (in view after ${commandVisible[run].toFixed(1)}); page's main thread ${cpu[run].toFixed(1)} ms CPU ` +
        `(script ${spent('ScriptDuration').toFixed(1)}, style ${spent('RecalcStyleDuration').toFixed(1)}, layout ${spent('LayoutDuration').toFixed(1)})`);
    }
    total = result.counts[0];
  }
  console.log(`browser bench: page of ${html.length} bytes, ${total} occurrences of "market"`);
  console.log(`browser bench: the part in view highlighted: ${fmt(visible)} (goal 100 ms)`);
  console.log(`browser bench: the whole page highlighted: ${fmt(whole)} (goal 500 ms)`);
  console.log(`browser bench: from the panel's command, page tools injected: the part in view shown after ${fmt(commandVisible)}`);
  console.log(`browser bench: from the panel's command, page tools injected: the whole command ${fmt(command)}`);
  console.log(`browser bench: of it, the page's main thread: ${fmt(cpu)} of CPU time`);
} finally {
  await browser.close();
  await server.close();
  for (const dir of [profile, userData, extension, pageDir]) fs.rmSync(dir, { recursive: true, force: true });
}
