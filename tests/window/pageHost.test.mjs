// The pages in a real browser: Debian's Chromium (through playwright-core) drives
// the x86_64 stub running under Wine and Xvfb with a test page package, and the
// stub with one extra long method (PageHostProbe) for worker callbacks.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import net from 'node:net';
import path from 'node:path';
import { existsSync, readdirSync, rmSync } from 'node:fs';
import { buildDir, sourceDir, scratchDir, packedCopy, startProgram, launchBrowser, withTimeout } from './stubHarness.mjs';

const pages = path.join(sourceDir, 'tests', 'window', 'pages');
let chromium;

before(async () => { chromium = await launchBrowser(); });
after(async () => { await chromium?.close(); });

async function openRun(program) {
  const scratch = scratchDir();
  const exe = packedCopy(program, pages, scratch);
  const run = await startProgram(exe, { scratch });
  const page = await chromium.browser.newPage();
  await page.goto(run.address);
  return { scratch, run, page };
}

// Ends a run the way the pages do, and by force only when that does not work.
async function finish({ scratch, run, page }) {
  await page.evaluate(() => { window.external.closeWindow(); }).catch(() => {});
  await page.close().catch(() => {});
  const ended = await withTimeout(run.exited, 20000, 'the program to end').then(() => true, () => false);
  if (!ended) {
    run.kill();
    await withTimeout(run.exited, 10000, 'the program to be ended').catch(() => {});
  }
  rmSync(scratch, { recursive: true, force: true });
}

// Sends a raw request and resolves with the status line, or 'no answer' after `ms`.
function rawRequest(port, requestText, ms = 3000) {
  return new Promise((resolve) => {
    const socket = net.connect(port, '127.0.0.1');
    let data = '';
    const timer = setTimeout(() => { socket.destroy(); resolve('no answer'); }, ms);
    socket.on('connect', () => socket.write(requestText));
    socket.on('data', (d) => { data += d; if (data.includes('\r\n')) { clearTimeout(timer); socket.destroy(); resolve(data.split('\r\n')[0]); } });
    socket.on('error', () => { clearTimeout(timer); resolve('error'); });
  });
}

test('arguments and results keep their types', async () => {
  const session = await openRun(path.join(buildDir, 'TarvikSetup.exe'));
  try {
    const result = await session.page.evaluate(() => window.cases.types());
    assert.deepEqual(result, {
      text: 'caf\u00e9 & "quotes"', missing: '', intValue: 5, intType: 'number', realValue: 2.5, boolValue: true,
      nullValue: null, undefinedIsUndefined: true, bigValue: 3000000000, silent: false, english: 1, lastError: 0,
    });
  } finally { await finish(session); }
});

test('failing calls throw with the HRESULT as number', async () => {
  const session = await openRun(path.join(buildDir, 'TarvikSetup.exe'));
  try {
    const result = await session.page.evaluate(() => window.cases.errors());
    assert.equal(result.typeMismatch.error, -2147352571);  // DISP_E_TYPEMISMATCH
    assert.equal(result.realForText.error, -2147352571);
    assert.equal(result.badCount.error, -2147352562);      // DISP_E_BADPARAMCOUNT
    assert.equal(result.deleted.error, -2147352570);       // DISP_E_UNKNOWNNAME
    assert.equal(result.unknown.error, -2147352570);
    assert.equal(typeof result.statusRange.error, 'number');
  } finally { await finish(session); }
});

test('functions stored on window.external are called back through the host', async () => {
  const session = await openRun(path.join(buildDir, 'TarvikSetup.exe'));
  try {
    await session.page.evaluate(() => window.external.setProperty('pageKey', 'v'));
    const result = await session.page.evaluate(() => window.cases.storedFunctions());
    assert.deepEqual(result, { sum: 5, viaHost: 'v!' });
  } finally { await finish(session); }
});

test('requests without the token or for another host are refused', async () => {
  const session = await openRun(path.join(buildDir, 'TarvikSetup.exe'));
  try {
    const url = new URL(session.run.address);
    const port = Number(url.port);
    const noToken = await rawRequest(port, `GET /Load.html HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\nConnection: close\r\n\r\n`);
    assert.match(noToken, /^HTTP\/1\.1 403/);
    const wrongToken = await rawRequest(port, `GET /0123/Load.html HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\nConnection: close\r\n\r\n`);
    assert.match(wrongToken, /^HTTP\/1\.1 403/);
    const outside = await rawRequest(port, `GET ${url.pathname.replace('Load.html', '..%2f..%2fwin.ini')} HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\nConnection: close\r\n\r\n`);
    assert.match(outside, /^HTTP\/1\.1 404/);
    // A foreign Host header never gets the pages: refused, or (Wine's HTTP server)
    // not even handed to the host.
    const foreign = await rawRequest(port, `GET ${url.pathname} HTTP/1.1\r\nHost: evil.example\r\nConnection: close\r\n\r\n`);
    assert.ok(foreign === 'no answer' || /^HTTP\/1\.1 (403|400)/.test(foreign), foreign);
  } finally { await finish(session); }
});

test('closeWindow ends the run and the epilogue runs', async () => {
  const session = await openRun(path.join(buildDir, 'TarvikSetup.exe'));
  try {
    await session.page.evaluate(() => { window.external.closeWindow(); });
    await session.page.waitForFunction(() => document.documentElement.getAttribute('data-installer-closed') === 'true',
                                       null, { timeout: 20000 });
    const code = await withTimeout(session.run.exited, 30000, 'the stub to end');
    assert.equal(code, 0);
    // Only the kept log copy stays in the run's temporary folder.
    assert.deepEqual(readdirSync(session.run.tempDir), ['TRVK_log']);
    assert.equal(readdirSync(path.join(session.run.tempDir, 'TRVK_log')).length, 1);
  } finally { await finish(session); }
});

test('a long method calls back many times while the page keeps calling the host', async () => {
  const probe = path.join(buildDir, 'tests', 'window', 'PageHostProbe.exe');
  assert.ok(existsSync(probe), probe);
  const session = await openRun(probe);
  try {
    const count = 40;
    await session.page.evaluate((n) => window.cases.callbacks(n), count);
    await session.page.waitForFunction(() => window.callbackLog.done, null, { timeout: 60000 });
    const log = await session.page.evaluate(() => window.callbackLog);
    const expected = Array.from({ length: count }, (_, i) => [10, count, i + 1]).concat([[0, count, count]]);
    assert.deepEqual(log.calls, expected);
    assert.ok(log.seenInCallback.every((v) => v === 'ok'));
    assert.ok(log.hostCallsBetween > 0);
  } finally { await finish(session); }
});
