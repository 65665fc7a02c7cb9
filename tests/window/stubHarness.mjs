// Runs the x86_64 stub (or another Windows program of the build) under wine64 with
// a page package of the test's own, and attaches Debian's Chromium to the page
// address the stub announces. Every process started here is ended by its pid.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, existsSync, copyFileSync, rmSync, readdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

export const buildDir = process.env.STUB_BUILD_DIR;
export const sourceDir = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..', '..');
const wine = '/usr/lib/wine/wine64';

export function wineEnv(extra = {}) {
  return {
    ...process.env,
    WINEPREFIX: path.join(buildDir, 'wineprefix'),
    WINEDEBUG: '-all',
    WINEDLLOVERRIDES: 'mscoree,mshtml=',
    ...extra,
  };
}

export function windowsPath(unixPath) {
  return 'Z:' + path.resolve(unixPath).replaceAll('/', '\\');
}

// A copy of a built Windows program with `pagesDir` appended as its page package.
export function packedCopy(program, pagesDir, scratch) {
  const copy = path.join(scratch, path.basename(program));
  copyFileSync(program, copy);
  execFileSync('python3', [path.join(sourceDir, 'tools', 'pack_ui_package.py'), pagesDir, copy]);
  return copy;
}

export function scratchDir() {
  return mkdtempSync(path.join(tmpdir(), 'stub-window-'));
}

async function waitFor(predicate, ms, what) {
  const deadline = Date.now() + ms;
  for (;;) {
    const value = predicate();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

// Starts `program` under Wine; resolves once it has written its page address.
export async function startProgram(program, { args = [], env = {}, scratch }) {
  const addressFile = path.join(scratch, 'address.txt');
  const tempDir = path.join(scratch, 'temp');
  execFileSync('mkdir', ['-p', tempDir]);
  const launcher = path.join(buildDir, 'tests', 'window', 'RunWithTemp.exe');
  const child = spawn(wine, [launcher, windowsPath(tempDir), windowsPath(program), ...args], {
    env: wineEnv({ TARVIK_PAGE_ADDRESS_FILE: windowsPath(addressFile), ...env }),
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let output = '';
  child.stdout.on('data', (d) => { output += d; });
  child.stderr.on('data', (d) => { output += d; });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  let exitCode = null;
  exited.then((code) => { exitCode = code; });
  const address = await waitFor(
    () => (existsSync(addressFile) && readFileSync(addressFile, 'utf8').trim()) || (exitCode !== null ? 'exited' : ''),
    60000, 'the page address');
  if (address === 'exited') throw new Error(`program ended (${exitCode}) before serving pages: ${output}`);
  return {
    child, address, tempDir, exited,
    output: () => output,
    kill() { if (exitCode === null) child.kill('SIGKILL'); },
  };
}

// Playwright gives the browser a fresh profile folder of its own.
export async function launchBrowser() {
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  return { browser, close: () => browser.close() };
}

export function withTimeout(promise, ms, what) {
  return Promise.race([promise, new Promise((_, reject) => setTimeout(() => reject(new Error(`timed out: ${what}`)), ms))]);
}

export function listTree(dir) {
  return existsSync(dir) ? readdirSync(dir, { recursive: true }) : [];
}
