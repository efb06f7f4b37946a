// The web remote over loopback against the running program (started by
// bench/web_bench.sh): prints its figures and fails when a target is missed.
// env: WEB_PORT, PIN, WORK, PAGE_DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import { launchBrowser, until } from '../tests/web/browser.mjs';

const { WEB_PORT: port, PIN: pin, WORK: work, PAGE_DIR: pageDir } = process.env;
const url = `http://127.0.0.1:${port}/`;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const results = [];
const report = (name, values, unit, target) => {
  const value = median(values);
  const ok = value < target;
  results.push(ok);
  const goal = target === Infinity ? 'no target' : `target < ${target} ${unit}: ${ok ? 'met' : 'MISSED'}`;
  console.log(`${name}: median ${value.toFixed(1)} ${unit} (min ${Math.min(...values).toFixed(1)}, max ${Math.max(...values).toFixed(1)}, ${values.length} runs), ${goal}`);
};

const context = await launchBrowser(`${work}/chromium`, { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true });
const page = context.pages()[0] || await context.newPage();
const cdp = await context.newCDPSession(page);
await cdp.send('Network.enable');
await cdp.send('Network.setCacheDisabled', { cacheDisabled: true });

// Load to interactive: the page's script has run and its controls answer
// (DOMContentLoaded done, the deferred script included); no cache.
const loads = [];
let weight = 0;
for (let run = 0; run < 15; ++run) {
  await page.goto(url, { waitUntil: 'load' });
  const timing = await page.evaluate(() => {
    const nav = performance.getEntriesByType('navigation')[0];
    const bytes = [nav, ...performance.getEntriesByType('resource')].reduce((sum, entry) => sum + entry.decodedBodySize, 0);
    return { interactive: nav.domContentLoadedEventEnd - nav.startTime, bytes };
  });
  loads.push(timing.interactive);
  weight = timing.bytes;
}
const files = fs.readdirSync(pageDir).reduce((sum, name) => sum + fs.statSync(`${pageDir}/${name}`).size, 0);
report('page load to interactive', loads, 'ms', 150);
console.log(`page weight: ${weight} bytes loaded, ${files} bytes in web/page, target < 204800: ${files < 204800 && weight < 204800 ? 'met' : 'MISSED'}`);
results.push(files < 204800 && weight < 204800);
await cdp.send('Network.setCacheDisabled', { cacheDisabled: false });

await page.getByLabel('PIN', { exact: true }).fill(pin);
await page.getByRole('button', { name: 'Pair', exact: true }).click();
await until('paired', async () => (await page.locator('#status').textContent()).startsWith('Paired'));

// A tap to the desktop starting the application (its first line notes the time).
const launches = () => { try { return fs.readFileSync(`${work}/launches`, 'utf8').trim().split('\n').filter(Boolean).map((ns) => Number(BigInt(ns) / 1000n) / 1000); } catch { return []; } };
await page.evaluate(() => {
  const now = () => performance.timeOrigin + performance.now();
  document.addEventListener('pointerdown', () => { window.tapAt = now(); }, true);
  const send = WebSocket.prototype.send;
  WebSocket.prototype.send = function (data) {
    if (String(data).startsWith('{"focusApp"'))
      window.sentAt = now();
    return send.call(this, data);
  };
});
const taps = [];
const sends = [];
const stamp = page.getByRole('button', { name: 'Stamp', exact: true });
for (let run = 0; run < 10; ++run) {
  const before = launches().length;
  await stamp.tap();
  await until('launched', () => launches().length > before);
  const { tapAt, sentAt } = await page.evaluate(() => ({ tapAt: window.tapAt, sentAt: window.sentAt }));
  taps.push(launches()[before] - tapAt);
  sends.push(sentAt - tapAt);
  await page.getByRole('button', { name: 'More for Stamp' }).click();
  await page.getByRole('menuitem', { name: 'Quit', exact: true }).click();
  await until('quit', async () => (await stamp.locator('xpath=..').getAttribute('data-running')) === 'false');
}
report('tap to launch', taps, 'ms', 30);
report('  of which the page, tap to the command sent', sends, 'ms', Infinity);

// A 4K image on the desktop's clipboard, then asked for: from the tap on
// Get Clipboard to its message in the page, and to the image decoded there.
// Put there by another program (as a screenshot tool does), and sent from
// the page (the desktop then holds only the decoded image and encodes it).
const png = await page.evaluate(async () => {
  const canvas = new OffscreenCanvas(3840, 2160);
  const g = canvas.getContext('2d');
  // Something like a screenshot: flat panels, shapes and text.
  g.fillStyle = '#1e1a17';
  g.fillRect(0, 0, 3840, 2160);
  for (let i = 0; i < 400; ++i) {
    g.fillStyle = `hsl(${(i * 37) % 360} 60% ${30 + (i % 5) * 10}%)`;
    g.fillRect((i * 211) % 3700, (i * 97) % 2080, 140, 80);
  }
  g.font = '28px sans-serif';
  g.fillStyle = '#f0e6dc';
  for (let line = 0; line < 60; ++line)
    g.fillText(`Line ${line}: the quick brown fox jumps over the lazy dog, 0123456789`, 40 + (line % 3) * 1200, 40 + line * 35);
  const bytes = new Uint8Array(await (await canvas.convertToBlob({ type: 'image/png' })).arrayBuffer());
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text);
});
const pngBytes = Buffer.from(png, 'base64');

async function clipboardImage(label, target) {
  const arrivals = [];
  const shown = [];
  for (let run = 0; run < 6; ++run) {
    const taken = await page.evaluate(() => new Promise((resolve) => {
      const image = document.getElementById('clip-image');
      image.removeAttribute('src');
      let arrived = 0;
      const socket = state.socket; // the page's link (a global of its script)
      const onMessage = (event) => {
        if (event.data.startsWith('{"clipboardImagePayload"'))
          arrived = performance.now();
        else if (event.data.startsWith('{"clipboardPayload"'))
          resolve({ width: 0 }); // text came: no image on the clipboard
      };
      setTimeout(() => resolve({ width: -1 }), 10000);
      socket.addEventListener('message', onMessage);
      const start = performance.now();
      image.onload = async () => {
        await image.decode();
        socket.removeEventListener('message', onMessage);
        resolve({ arrived: arrived - start, shown: performance.now() - start, width: image.naturalWidth, bytes: image.src.length * 3 / 4 });
      };
      document.getElementById('get-clipboard').click();
    }));
    if (taken.width !== 3840)
      throw new Error(taken.width > 0 ? `the clipboard image is ${taken.width} pixels wide`
        : taken.width === 0 ? 'the desktop answered with text' : 'no answer in 10 s');
    if (run === 0)
      continue; // a first round for the caches
    arrivals.push(taken.arrived);
    shown.push(taken.shown);
  }
  console.log(`4K clipboard image (${pngBytes.length} bytes of PNG) ${label}:`);
  report('  Get Clipboard to its message in the page', arrivals, 'ms', target);
  report('  Get Clipboard to the image decoded in the page', shown, 'ms', Infinity);
}

fs.writeFileSync(`${work}/4k.png`, pngBytes);
execFileSync('xclip', ['-selection', 'clipboard', '-t', 'image/png', '-i', `${work}/4k.png`], { stdio: 'ignore' });
await clipboardImage('held by another program', 150);

const chooser = page.waitForEvent('filechooser');
await page.getByRole('button', { name: 'Send Image' }).click();
await (await chooser).setFiles(`${work}/4k.png`);
await until('image sent', async () => (await page.locator('#clip-message').textContent()).startsWith('Image sent'), 20000);
await clipboardImage('sent from the page, held by the desktop (not a target)', Infinity);

await context.close();
process.exit(results.every(Boolean) ? 0 : 1);
