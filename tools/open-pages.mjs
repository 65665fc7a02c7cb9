// Opens the stub's pages in Debian's Chromium (headless) once the stub has written
// its page address, keeps them open until the stub ends, and saves a screenshot.
// Usage: node tools/open-pages.mjs <address file> <screenshot.png> [seconds]
import { existsSync, readFileSync } from 'node:fs';
import { chromium } from 'playwright-core';

const [addressFile, screenshot, seconds = '120'] = process.argv.slice(2);
const deadline = Date.now() + Number(seconds) * 1000;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

let address = '';
while (!address && Date.now() < deadline) {
  if (existsSync(addressFile)) address = readFileSync(addressFile, 'utf8').trim();
  if (!address) await sleep(100);
}
if (!address) {
  console.error('open-pages: the stub never announced its pages');
  process.exit(1);
}
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
try {
  const page = await browser.newPage({ viewport: { width: 800, height: 600 } });
  page.on('console', (m) => console.log(`page: ${m.text()}`));
  await page.goto(address);
  console.log(`open-pages: showing ${address}`);
  await page.screenshot({ path: screenshot }).catch(() => {});
  // The pages close themselves through window.external.closeWindow().
  await page.waitForFunction(() => document.documentElement.getAttribute('data-installer-closed') === 'true', null,
                             { timeout: Math.max(1000, deadline - Date.now()) }).catch(() => {});
  console.log('open-pages: the stub closed its pages');
} finally {
  await browser.close();
}
