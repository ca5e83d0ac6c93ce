// What the browser tests, the pictures and the benchmarks share: a local HTTP server that every
// host name resolves to, a copy of the extension for the test browser, the bridge registered
// into a fresh profile, and Debian's chromium started headless with both.
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

export const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
// The extension's id follows from the key in its manifest, as the browser derives it: the first
// 16 bytes of the key's SHA-256, each half-byte written as a letter from 'a' to 'p'.
export const EXTENSION_ID = (() => {
  const manifest = JSON.parse(fs.readFileSync(path.join(ROOT, 'extension', 'manifest.json'), 'utf8'));
  const digest = crypto.createHash('sha256').update(Buffer.from(manifest.key, 'base64')).digest('hex');
  return [...digest.slice(0, 32)].map((d) => String.fromCharCode(97 + parseInt(d, 16))).join('');
})();

export function tempDir(name) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `norvex-${name}-`));
}

// The server: pages from browser/tests/pages (/pages/...) and tools/sessions/pages
// (/session-pages/...); any other address gets a small page, in the character set and language
// set for it beforehand (setPage), else UTF-8 without a language. Every request is logged with
// its Host header and its target as they came over the wire.
export async function startServer() {
  const log = [];
  const pages = new Map();
  const types = { '.html': 'text/html', '.css': 'text/css', '.js': 'text/javascript', '.png': 'image/png' };
  const server = http.createServer((req, res) => {
    log.push({ host: req.headers.host, target: req.url, time: Date.now() });
    const url = new URL(req.url, 'http://' + req.headers.host);
    const roots = [['/pages/', path.join(ROOT, 'browser/tests/pages')],
      ['/session-pages/', path.join(ROOT, 'tools/sessions/pages')]];
    for (const [prefix, dir] of roots) {
      if (url.pathname.startsWith(prefix)) {
        const file = path.join(dir, decodeURIComponent(url.pathname.slice(prefix.length)));
        if (file.startsWith(dir) && fs.existsSync(file) && fs.statSync(file).isFile()) {
          res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
          res.end(fs.readFileSync(file));
          return;
        }
      }
    }
    if (url.pathname === '/favicon.ico') {
      res.writeHead(404);
      res.end();
      return;
    }
    const key = req.headers.host + req.url;
    const page = pages.get(key) || pages.get(req.headers.host + url.pathname) || {};
    const charset = page.charset || 'utf-8';
    const body = `<!DOCTYPE html><html${page.lang ? ` lang="${page.lang}"` : ''}><head>` +
      `<meta charset="${charset}"><title>${req.headers.host}</title></head>` +
      `<body><p>${req.headers.host} page</p></body></html>`;
    res.writeHead(200, { 'Content-Type': `text/html; charset=${charset}` });
    res.end(Buffer.from(body, 'latin1'));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    port: server.address().port,
    log,
    setPage(url, charset, lang) {
      const u = new URL(url);
      pages.set(u.host + u.pathname + u.search, { charset, lang });
    },
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

// A copy of the extension for the test browser: the same files and key (so the same id, which
// the bridge allows), plus host permissions for every address, which a person grants at run
// time from the side panel and which a headless browser cannot be asked for.
export function extensionCopy({ hostPermissions = true } = {}) {
  const dir = tempDir('extension');
  fs.cpSync(path.join(ROOT, 'extension'), dir, { recursive: true });
  if (hostPermissions) {
    const file = path.join(dir, 'manifest.json');
    const manifest = JSON.parse(fs.readFileSync(file, 'utf8'));
    manifest.host_permissions = ['<all_urls>'];
    fs.writeFileSync(file, JSON.stringify(manifest, null, 1));
  }
  return dir;
}

// A copy of the sample installation whose usage reports go to the test server (the bridge sends
// the daily report after its first answer), so that nothing leaves the machine.
export function testInstallation(port) {
  const dir = tempDir('install');
  fs.cpSync(path.join(ROOT, 'sample/install'), dir, { recursive: true });
  const base = `http://127.0.0.1:${port}/log`;
  fs.writeFileSync(path.join(dir, 'LogUrls.ini'),
    `[Agent_Urls]\r\ninstall=${base}/install\r\nuninstall=${base}/uninstall\r\ndaily=${base}/daily\r\n`);
  return dir;
}

// Registers the bridge of `build` for an installation (by default the sample) into a fresh
// browser profile.
export function registerBridge(build, profile, install = path.join(ROOT, 'sample/install')) {
  const bridge = path.join(build, 'bin/norvex-bridge');
  execFileSync(bridge, ['--register', '--profile', profile, '--install', install], { stdio: 'pipe' });
}

export async function launch({ extension, profile, port, userData, headless = true, extraArgs = [], env = {} }) {
  const args = [
    '--no-sandbox', '--disable-gpu', '--no-first-run', '--no-default-browser-check',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--disable-features=Translate,MediaRouter,OptimizationHints',
    `--user-data-dir=${profile}`,
    `--load-extension=${extension}`, `--disable-extensions-except=${extension}`,
    '--lang=ja', '--window-size=1280,900',
    ...extraArgs,
  ];
  if (port) args.push(`--host-resolver-rules=MAP * 127.0.0.1:${port}`);
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: headless ? true : false,
    pipe: true,
    ignoreDefaultArgs: ['--disable-extensions', '--enable-automation'],
    args,
    env: { ...process.env, XDG_DATA_HOME: userData, LANG: 'ja_JP.UTF-8', ...env },
  });
  const worker = await browser.waitForTarget(
    (t) => t.type() === 'service_worker' && t.url().startsWith(`chrome-extension://${EXTENSION_ID}/`),
    { timeout: 20000 });
  return { browser, workerTarget: worker };
}

export function extensionUrl(file) {
  return `chrome-extension://${EXTENSION_ID}/${file}`;
}

// The id of the tab that shows `page` (a puppeteer page), as the extension knows it.
export async function tabIdOf(browser, page, panel) {
  const marker = 'norvex-tab-' + Math.random().toString(36).slice(2);
  await page.evaluate((m) => { window.name = m; document.title = m; }, marker);
  const id = await panel.evaluate(async (m) => {
    const tabs = await chrome.tabs.query({});
    const t = tabs.find((x) => x.title === m);
    return t ? t.id : null;
  }, marker);
  return id;
}

export function loadAverage() {
  return os.loadavg().map((n) => n.toFixed(2)).join(' ');
}

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
