// The web remote's page in the system's Chromium against the running desktop
// program (started by tests/e2e/web_e2e.sh). One browser run, step by step;
// controls are found by their accessible names.
// env: WEB_PORT, PIN, WORK (the run's folder), SCREENSHOT (optional PNG path)
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import { launchBrowser, sleep, until } from './browser.mjs';

const { WEB_PORT: port, PIN: pin, WORK: work, SCREENSHOT: screenshot } = process.env;
const apps = `${work}/home/Applications`;
// A LAN address where there is one: plain http:// there is not a secure
// context, so the page's clipboard fallbacks are what runs.
const lan = Object.values(os.networkInterfaces()).flat().find((a) => a.family === 'IPv4' && !a.internal);
const host = `${lan ? lan.address : '127.0.0.1'}:${port}`;

const run = (program, ...args) => {
  try {
    return execFileSync(program, args, { encoding: 'latin1', stdio: ['ignore', 'pipe', 'ignore'], timeout: 5000 });
  } catch {
    return '';
  }
};
const running = (bundle) => run('pgrep', '-f', `${apps}/${bundle}.app/Contents/MacOS/run`) !== '';
const fileText = (name) => { try { return fs.readFileSync(`${work}/${name}`, 'utf8'); } catch { return ''; } };
const clipboard = (type) => run('xclip', '-o', '-selection', 'clipboard', ...(type ? ['-t', type] : []));
const windowState = () => {
  // The client window (its class is the application's ID), not GTK's leader.
  const id = /(0x[0-9a-f]+) "com\.example\.window": \("com\.example\.window"/.exec(run('xwininfo', '-root', '-tree'));
  return id ? run('xprop', '-id', id[1], 'WM_STATE') : '';
};
const locks = () => (fileText('services.log').match(/ Lock$/gm) || []).length;

const context = await launchBrowser(`${work}/chromium`, { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true });
const page = context.pages()[0] || await context.newPage();
const tile = (name) => page.getByRole('button', { name, exact: true });
const marks = (name) => tile(name).locator('xpath=..').evaluate((li) => `${li.dataset.running} ${li.dataset.frontmost}`);
const menu = async (app, action) => {
  await page.getByRole('button', { name: `More for ${app}` }).click();
  await page.getByRole('menuitem', { name: action, exact: true }).click();
};

// A fresh tab's WebSocket to HOST, from a page of ORIGIN: what came, and how it ended.
async function rawLink(origin, send) {
  const other = await context.newPage();
  await other.route(`${origin}/`, (route) => route.fulfill({ body: '<!DOCTYPE html><title>other</title>', contentType: 'text/html' }));
  await other.goto(`${origin}/`);
  const result = await other.evaluate(([url, send]) => new Promise((resolve) => {
    const socket = new WebSocket(url);
    const received = [];
    socket.onmessage = (event) => {
      received.push(event.data);
      if (received.length === 1)
        send.forEach((message) => socket.send(message));
      if (event.data.startsWith('{"pong"'))
        resolve({ received, code: 0 });
    };
    socket.onclose = (event) => resolve({ received, code: event.code });
  }), [`ws://${host}/link`, send]);
  await other.close();
  return result;
}

const steps = [
  ['the page pairs with the PIN', async () => {
    await page.goto(`http://${host}/`);
    await page.getByLabel('PIN', { exact: true }).fill(pin);
    await page.getByRole('button', { name: 'Pair', exact: true }).click();
    await until('paired', async () => (await page.locator('#status').textContent()).startsWith('Paired'));
  }],
  ['the grid shows the selected applications with their icons', async () => {
    for (const name of ['Window', 'Sleeper']) {
      const icon = await tile(name).locator('img').evaluate((img) => img.complete && img.naturalWidth);
      if (!icon)
        throw new Error(`${name} has no icon`);
    }
    const tiles = await page.locator('#apps > li').count();
    if (tiles !== fs.readdirSync(apps).length)
      throw new Error(`${tiles} tiles`);
  }],
  ['a tap launches Window; its running and frontmost marks light', async () => {
    await tile('Window').tap();
    // A GTK program takes its time to start on a busy machine.
    await until('Window running', () => running('Window') && fileText('window.log').includes('shown'), 15000);
    await until('marks lit', async () => (await marks('Window')) === 'true true');
    if (screenshot)
      await page.screenshot({ path: screenshot });
  }],
  ['Minimise reaches it', async () => {
    await menu('Window', 'Minimise');
    await until('window iconic', () => windowState().includes('Iconic'));
  }],
  ['Hide reaches it (after a tap brings it back)', async () => {
    await tile('Window').tap();
    await until('window normal', () => windowState().includes('Normal'));
    await menu('Window', 'Hide');
    await until('window iconic', () => windowState().includes('Iconic'));
  }],
  ['Quit reaches it; its running mark goes out', async () => {
    await menu('Window', 'Quit');
    await until('Window ended', () => !running('Window') && fileText('window.log').includes('TERM'));
    await until('marks out', async () => (await marks('Window')) === 'false false');
  }],
  ['Lock Screen reaches the desktop service', async () => {
    const before = locks();
    await page.getByRole('button', { name: 'Lock Screen', exact: true }).click();
    await until('locked', () => locks() > before);
  }],
  ['clipboard text from the desktop shows and copies', async () => {
    execFileSync('xclip', ['-i', '-selection', 'clipboard'], { input: 'from the desktop', stdio: ['pipe', 'ignore', 'ignore'] });
    await page.getByRole('button', { name: 'Get Clipboard' }).click();
    await until('text shown', async () => (await page.getByLabel('Desktop Clipboard').inputValue()) === 'from the desktop');
    await page.getByRole('button', { name: 'Copy', exact: true }).click();
    await until('copied', async () => (await page.locator('#clip-message').textContent()) === 'Copied.');
  }],
  ['clipboard text from the page reaches the desktop', async () => {
    await page.getByLabel('Text', { exact: true }).fill('from the phone');
    await page.getByRole('button', { name: 'Send Text' }).click();
    await until('desktop clipboard', () => clipboard() === 'from the phone');
  }],
  ['an uploaded image arrives on the desktop clipboard', async () => {
    const chooser = page.waitForEvent('filechooser');
    await page.getByRole('button', { name: 'Send Image' }).click();
    await (await chooser).setFiles('/usr/share/icons/hicolor/48x48/apps/chromium.png');
    await until('image on the clipboard', () => {
      const png = Buffer.from(clipboard('image/png'), 'latin1');
      return png.length > 24 && png.readUInt32BE(16) === 48 && png.readUInt32BE(20) === 48;
    });
  }],
  ['a command sent before pairing does nothing', async () => {
    await page.close(); // one phone at a time: the paired page would take the link back
    const before = locks();
    const { received } = await rawLink(`http://${host}`, ['{"launchApp":{"bundleID":"com.example.sleeper"}}', '{"lockScreen":{}}', '{"ping":{}}']);
    if (!received[0].startsWith('{"macHello":{"pin":""'))
      throw new Error(`greeting ${received[0]}`);
    await sleep(1000);
    if (running('Sleeper') || locks() !== before)
      throw new Error('a command was carried out before pairing');
  }],
  ['a WebSocket from a foreign origin is refused', async () => {
    // Refused in the handshake: the browser reports an abnormal closure.
    const { received, code } = await rawLink('http://foreign.example', ['{"ping":{}}']);
    if (received.length || (code !== 1006 && code !== 1008))
      throw new Error(`closed with ${code} after ${received.length} messages`);
    await until('refusal logged', () => fileText('desktop.log').includes('Refused a link from') && fileText('desktop.log').includes('origin http://foreign.example'));
  }],
  ['five wrong PINs close the link and bring back the PIN entry', async () => {
    const other = await context.newPage();
    const closed = new Promise((resolve) => other.on('websocket', (ws) => ws.on('close', resolve)));
    await other.goto(`http://${host}/`);
    const wrong = String((Number(pin) + 1) % 10000).padStart(4, '0');
    for (let attempt = 1; attempt <= 5; ++attempt) {
      await other.getByLabel('PIN', { exact: true }).fill(wrong);
      await other.getByRole('button', { name: 'Pair', exact: true }).click();
      if (attempt < 5)
        await until(`rejection ${attempt}`, async () => (await other.getByLabel('PIN', { exact: true }).inputValue()) === '', 20000);
    }
    await Promise.race([closed, sleep(20000).then(() => { throw new Error('the link stayed open'); })]);
    // The page is told why, and asks for the new PIN.
    await other.getByText('Too many wrong PINs').waitFor();
    await other.getByLabel('PIN', { exact: true }).waitFor();
    await other.close();
  }],
];

let failed = 0;
for (const [name, step] of steps) {
  try {
    await step();
    console.log(`PASS: ${name}`);
  } catch (error) {
    console.log(`FAIL: ${name}: ${error.message.split('\n')[0]}`);
    failed = 1;
    break; // the next steps build on this one
  }
}
await context.close();
process.exit(failed);
