// The system's Chromium, headless, in a fresh profile; and the scaled waits
// of the tests (TENDRIL_TEST_TIME_SCALE).
import { chromium } from 'playwright-core';

export const scale = Number(process.env.TENDRIL_TEST_TIME_SCALE || 1);
export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms * scale));

// Polls `check` every 50 ms until it is true, for up to `ms` (scaled).
export async function until(what, check, ms = 5000) {
  const end = Date.now() + ms * scale;
  while (Date.now() < end) {
    if (await check())
      return;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  if (!(await check()))
    throw new Error(`timed out waiting for: ${what}`);
}

export async function launchBrowser(profile, options = {}) {
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    chromiumSandbox: false,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    ...options,
  });
  context.setDefaultTimeout(10000 * scale);
  return context;
}
