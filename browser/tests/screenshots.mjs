// The README's pictures of the extension, from the sample installation in headless chromium:
//
//   node browser/tests/screenshots.mjs BUILD_DIR OUTPUT_DIR
//
// extension-panel.png: the side panel's toolbar with the search agent's menu open, beside a page
// whose search words are highlighted (both in one picture: the page at the left, the panel at
// the right, as the browser shows them). extension-panel-dark.png: the panel in the dark theme with the history drop-down.
import fs from 'node:fs';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import * as L from './lib.mjs';

const build = path.resolve(process.argv[2] || path.join(L.ROOT, 'build/native'));
const out = path.resolve(process.argv[3] || path.join(L.ROOT, 'docs/images'));
fs.mkdirSync(out, { recursive: true });

const server = await L.startServer();
const profile = L.tempDir('profile');
const userData = L.tempDir('user');
const extension = L.extensionCopy();
L.registerBridge(build, profile, L.testInstallation(server.port));
const { browser } = await L.launch({ extension, profile, port: server.port, userData, env: { LANGUAGE: 'ja' } });
const written = [];
try {
  const content = await browser.newPage();
  await content.setViewport({ width: 760, height: 560 });
  await content.goto('http://pages.test/pages/iframes.html', { waitUntil: 'load' });
  const panel = await browser.newPage();
  await panel.setViewport({ width: 380, height: 560 });
  await panel.goto(L.extensionUrl('sidepanel.html'));
  const tabId = await L.tabIdOf(browser, content, panel);
  await content.evaluate(() => { document.title = 'Iframes'; });
  await panel.goto(L.extensionUrl(`sidepanel.html?tab=${tabId}`));
  await panel.waitForFunction(() => document.documentElement.dataset.bridge === 'ok', { timeout: 15000 });
  await panel.evaluate(() => window.__norvexToolbar.idle());

  // A few searches for the history, then the words highlighted from the panel's button.
  for (const text of ['東京 天気', 'tokyo market', '大阪']) {
    await panel.focus('#q');
    await panel.evaluate(() => document.getElementById('q').select());
    await panel.keyboard.type(text);
    await panel.keyboard.press('Escape');
    await panel.evaluate(() => window.__norvexToolbar.idle());
    await panel.keyboard.press('Enter');
    await panel.evaluate(() => window.__norvexToolbar.idle());
  }
  await content.goto('http://pages.test/pages/iframes.html', { waitUntil: 'load' });
  await panel.focus('#q');
  await panel.evaluate(() => document.getElementById('q').select());
  await panel.keyboard.type('東京 天気 market');
  await panel.keyboard.press('Escape');
  await panel.evaluate(() => window.__norvexToolbar.idle());
  await panel.evaluate(() => document.querySelector('.agent[data-role="highlight"] .face').click());
  await panel.evaluate(() => window.__norvexToolbar.idle());
  await L.sleep(300);

  // The panel with the search agent's menu open.
  await panel.bringToFront();
  await panel.evaluate(() => {
    const search = document.querySelector('.agent[data-role="search"]');
    (search.querySelector('.split-arrow') || search.querySelector('.face')).click();
  });
  await L.sleep(200);
  const panelShot = await panel.screenshot({ encoding: 'binary' });
  const pageShot = await content.screenshot({ encoding: 'binary' });
  const panelAlone = path.join(L.tempDir('shots'), 'panel.png');
  const pageAlone = path.join(path.dirname(panelAlone), 'page.png');
  fs.writeFileSync(panelAlone, panelShot);
  fs.writeFileSync(pageAlone, pageShot);
  // The page and the panel side by side, with a dividing line, as in the browser's window.
  const both = path.join(out, 'extension-panel.png');
  execFileSync('/usr/bin/convert', [pageAlone, '-size', '1x560', 'xc:#9aa0a6', panelAlone, '+append', both]);
  written.push(both);

  // The dark theme, with the history drop-down open.
  await panel.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: 'dark' }]);
  await panel.evaluate(() => window.__norvexToolbar.closeMenu());
  await panel.focus('#q');
  await panel.keyboard.press('F4');
  await panel.evaluate(() => window.__norvexToolbar.idle());
  await L.sleep(150);
  const dark = path.join(out, 'extension-panel-dark.png');
  await panel.screenshot({ path: dark, clip: { x: 0, y: 0, width: 380, height: 330 } });
  written.push(dark);
} finally {
  await browser.close();
  await server.close();
  for (const dir of [profile, userData, extension]) fs.rmSync(dir, { recursive: true, force: true });
}
for (const file of written) console.log(`screenshot ${path.relative(process.cwd(), file)}`);
