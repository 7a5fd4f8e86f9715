// The page's picture reader (shell/web/site/pictures.js) against hostile bytes: it reads
// the files a player chooses and the ones the browser keeps for the next visit. libFuzzer
// can't run JavaScript, so this is a small fuzzer of the same kind: inputs are mutated as
// libFuzzer mutates them, and kept when they reach blocks of pictures.js, UTIF, pako or
// WMFJS that no kept input reached as often (V8's own block coverage, counted in libFuzzer's
// buckets).
//   node web_pictures_fuzz.mjs replay DIR...                  every input once
//   node web_pictures_fuzz.mjs run SECONDS RUNS FINDINGS NEW DIR...
//   node web_pictures_fuzz.mjs merge OUT DIR...               the fewest inputs that reach as much
// Needs shell/web/node_modules (npm ci there, as tools/build-web.sh does). A run writes
// each input to FINDINGS/web_pictures-running before trying it, so an input that hangs or
// takes the process down is there when the run ends; a broken promise is kept beside it.
//
// What the reader promises, for any bytes: the probe gives nothing or a size within the
// surfaces' limits; a TIFF decodes to nothing or to the probe's size with four bytes a pixel;
// a metafile to nothing or to a drawing of the probe's size, SVG documents within the
// ceilings the page's thread can read; and nothing throws past the reader. (The other
// formats are the browser's to decode; a metafile's drawing is the browser's to draw.)
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import inspector from 'node:inspector';
import path from 'node:path';
import vm from 'node:vm';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const web = path.join(root, 'shell/web');
const MAX_LEN = 16384;
const MAX_SIDE = 16384;
const MAX_PIXELS = 64 * 1024 * 1024;
// What the page's thread may be handed of a drawing (pictures.js's ceilings): all the parts,
// definitions repeated, and the elements of one part: 250 shapes, or one shape with what it
// needs, with the copies of the <svg>s they stand in (256 deep at most) and the part's own.
const MAX_DRAWING_TEXT = 2 * 8 * 1024 * 1024;
const MAX_PART_ELEMENTS = 2000 + 256 + 2;

// The scripts as the page loads them, each under its own name for the coverage.
const scripts = [
  ['pako_inflate.min.js', path.join(web, 'node_modules/pako/dist/pako_inflate.min.js')],
  ['UTIF.js', path.join(web, 'node_modules/utif2/UTIF.js')],
  ['WMFJS.bundle.min.js', path.join(web, 'node_modules/rtf.js/dist/WMFJS.bundle.min.js')],
  ['pictures.js', path.join(web, 'site/pictures.js')],
];
// UTIF talks on the console about what it can't read; only the fuzzer's own lines are shown.
const say = (line) => process.stdout.write(`${line}\n`);
const complain = (line) => process.stderr.write(`${line}\n`);
console.log = console.warn = console.info = console.error = () => {};
globalThis.self = globalThis;
for (const [name, file] of scripts) {
  if (!fs.existsSync(file)) {
    complain(`${file} is missing: run "PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci" in shell/web`);
    process.exit(2);
  }
  vm.runInThisContext(fs.readFileSync(file, 'utf8'), { filename: name });
}
const { probe, decode } = globalThis.BrindlewickPictures;
// The browser's own decoder is not here; the formats it reads only go through the probe.
globalThis.createImageBitmap = () => Promise.reject(new Error('no browser decoder here'));

class Finding extends Error {}
function promise(ok, what) {
  if (!ok) throw new Finding(`broken promise: ${what}`);
}

function isTiff(b) {
  return b.length >= 4 && ((b[0] === 0x49 && b[1] === 0x49 && b[2] === 42 && b[3] === 0) ||
    (b[0] === 0x4d && b[1] === 0x4d && b[2] === 0 && b[3] === 42));
}

function isMetafile(b) {
  const le16 = (i) => b[i] | (b[i + 1] << 8);
  if (b.length >= 22 && le16(0) === 0xCDD7 && le16(2) === 0x9AC6) return true;
  return b.length >= 18 && (le16(0) === 1 || le16(0) === 2) && le16(2) === 9;
}

// A part the page reads: one <svg> document, whose elements (each "<" not closing one, in a
// drawing whose text is escaped) are no more than a part holds, shapes and their <svg>s
// and definitions together.
function checkPart(part) {
  promise(typeof part === 'string' && part.startsWith('<svg ') && part.endsWith('</svg>'), 'a part is one <svg> document');
  let elements = 0;
  for (let i = part.indexOf('<'); i >= 0; i = part.indexOf('<', i + 1)) if (part[i + 1] !== '/') ++elements;
  return elements;
}

async function tryInput(b) {
  const size = probe(b);
  if (size !== null) {
    const { width, height } = size;
    promise(Number.isInteger(width) && Number.isInteger(height) && width > 0 && height > 0, 'a whole size');
    promise(width <= MAX_SIDE && height <= MAX_SIDE && width * height <= MAX_PIXELS, 'a size within the limits');
  }
  const metafile = isMetafile(b);
  if (!isTiff(b) && !metafile) return;
  const picture = await decode(b, '', 0, 0);
  promise(typeof globalThis.document === 'undefined', 'the drawing\'s document is put away');
  if (picture === null) return;
  promise(size !== null, 'a picture decoded only where the probe found one');
  promise(picture.width === size.width && picture.height === size.height,
    `the decoded size ${picture.width} x ${picture.height} is the probe's ${size.width} x ${size.height}`);
  if (!metafile) {
    promise(picture.rgba.length === picture.width * picture.height * 4, 'four bytes a pixel');
    return;
  }
  promise(Array.isArray(picture.parts), 'a metafile gives a drawing');
  let text = 0;
  let most = 0;
  for (const part of picture.parts) {
    text += part.length;
    most = Math.max(most, checkPart(part));
  }
  promise(text <= MAX_DRAWING_TEXT, `a drawing of ${text} bytes is within the ceiling`);
  promise(most <= MAX_PART_ELEMENTS, `a part of ${most} elements`);
}

// ---- Coverage ----

const session = new inspector.Session();
session.connect();
function post(method, params) {
  let out;
  let failure;
  session.post(method, params, (error, result) => {
    failure = error;
    out = result;
  });
  if (failure) throw failure;
  return out;
}
post('Profiler.enable');
post('Profiler.startPreciseCoverage', { callCount: true, detailed: true });
const watched = new Set(scripts.map(([name]) => name));

// libFuzzer's buckets of a count: 1, 2, 3, 4-7, 8-15, 16-31, 32-127, 128 and more.
function bucket(count) {
  if (count < 4) return count;
  if (count < 8) return 4;
  if (count < 16) return 5;
  if (count < 32) return 6;
  if (count < 128) return 7;
  return 8;
}

// What the last input reached, as "script:start:end:bucket" features; the counts start
// again from nothing after each take.
function features() {
  const out = new Set();
  for (const script of post('Profiler.takePreciseCoverage').result) {
    if (!watched.has(script.url)) continue;
    for (const fn of script.functions) {
      for (const range of fn.ranges) {
        if (range.count > 0) out.add(`${script.url}:${range.startOffset}:${range.endOffset}:${bucket(range.count)}`);
      }
    }
  }
  return out;
}

// ---- Inputs ----

function readInputs(dirs) {
  const inputs = [];
  for (const dir of dirs) {
    if (!fs.existsSync(dir)) continue;
    for (const name of fs.readdirSync(dir).sort()) {
      const file = path.join(dir, name);
      if (fs.statSync(file).isFile()) inputs.push({ name, file, bytes: new Uint8Array(fs.readFileSync(file)) });
    }
  }
  return inputs;
}

// libFuzzer's dictionary files: name="bytes" with \xNN and \\ \" escapes.
function readDictionary(file) {
  const words = [];
  for (const line of fs.readFileSync(file, 'latin1').split('\n')) {
    const m = line.match(/^\s*[A-Za-z0-9_]*\s*=?\s*"(.*)"\s*$/);
    if (!m) continue;
    const bytes = [];
    for (let i = 0; i < m[1].length; ++i) {
      const c = m[1][i];
      if (c === '\\' && m[1][i + 1] === 'x') {
        bytes.push(parseInt(m[1].slice(i + 2, i + 4), 16));
        i += 3;
      } else if (c === '\\') {
        bytes.push(m[1].charCodeAt(++i));
      } else {
        bytes.push(c.charCodeAt(0));
      }
    }
    words.push(Uint8Array.from(bytes));
  }
  return words;
}

// A small fast generator, seeded, so a run can be repeated.
let seed = (Date.now() ^ process.pid) >>> 0 || 1;
function random(n) {
  seed ^= seed << 13;
  seed >>>= 0;
  seed ^= seed >>> 17;
  seed ^= seed << 5;
  seed >>>= 0;
  return n > 0 ? seed % n : 0;
}

const INTERESTING = [0, 1, 2, 7, 8, 15, 16, 0x7f, 0x80, 0xff, 0x100, 0x7fff, 0x8000, 0xffff, 0x10000,
  0x7fffffff, 0x80000000, 0xffffffff, 16384, 16385, 65536 * 1024];

function mutate(input, corpus, words) {
  let b = Array.from(input);
  const rounds = 1 + random(5);
  for (let r = 0; r < rounds; ++r) {
    const at = random(b.length + 1);
    switch (random(10)) {
      case 0: if (b.length) b[random(b.length)] ^= 1 << random(8); break;
      case 1: if (b.length) b[random(b.length)] = random(256); break;
      case 2: b.splice(at, 0, ...Array.from({ length: 1 + random(8) }, () => random(256))); break;
      case 3: b.splice(at, 1 + random(Math.max(1, b.length >> 3))); break;
      case 4: {  // a piece of the input copied elsewhere in it
        const from = random(b.length), n = 1 + random(Math.min(64, b.length - from));
        b.splice(at, 0, ...b.slice(from, from + n));
        break;
      }
      case 5: case 6: {  // a telling number, 2 or 4 bytes, either byte order
        const v = INTERESTING[random(INTERESTING.length)];
        const n = random(2) ? 2 : 4;
        const big = random(2) === 1;
        for (let i = 0; i < n && at + i < b.length; ++i) b[at + i] = (v >>> (8 * (big ? n - 1 - i : i))) & 0xff;
        break;
      }
      case 7: if (words.length) { const w = words[random(words.length)]; b.splice(at, random(2) ? 0 : w.length, ...w); } break;
      case 8: {  // the start of this input with the rest of another
        const other = corpus[random(corpus.length)].bytes;
        const cut = random(other.length + 1);
        b = b.slice(0, at).concat(Array.from(other.subarray(cut)));
        break;
      }
      default: if (b.length) b.length = random(b.length) + 1; break;
    }
  }
  if (b.length > MAX_LEN) b.length = MAX_LEN;
  return Uint8Array.from(b);
}

// ---- Modes ----

async function replay(dirs) {
  const inputs = readInputs(dirs);
  let failed = 0;
  for (const input of inputs) {
    try {
      await tryInput(input.bytes);
    } catch (e) {
      ++failed;
      complain(`${input.file}: ${e instanceof Finding ? e.message : e.stack}`);
    }
  }
  say(`${inputs.length} inputs replayed, ${failed} failed`);
  return failed === 0 ? 0 : 1;
}

// node can't stop its own thread in a hang: a second process watches the input file, which
// is written before each input, and ends the run when one input has taken longer than
// libFuzzer's -timeout gives (30 s), as libFuzzer would.
function watch(running) {
  const code = `
    const fs = require('fs');
    const [file, parent] = [process.argv[1], Number(process.argv[2])];
    setInterval(() => {
      try { process.kill(parent, 0); } catch (e) { process.exit(0); }
      let age = 0;
      try { age = Date.now() - fs.statSync(file).mtimeMs; } catch (e) { return; }
      if (age > 30000) {
        console.log('ERROR: an input took more than 30 s: ' + file);
        process.kill(parent, 'SIGKILL');
        process.exit(0);
      }
    }, 2000);`;
  const child = spawn(process.execPath, ['-e', code, running, String(process.pid)], { stdio: ['ignore', 'inherit', 'inherit'] });
  child.unref();
  return child;
}

async function run(seconds, runs, findings, out, dirs) {
  fs.mkdirSync(findings, { recursive: true });
  fs.mkdirSync(out, { recursive: true });
  const running = path.join(findings, 'web_pictures-running');
  const watchdog = watch(running);
  const words = [];
  for (const name of ['pixbuf', 'orientation', 'metafile']) words.push(...readDictionary(path.join(root, `tests/fuzz/${name}.dict`)));
  const seen = new Set();
  const corpus = [];
  const keep = () => {
    let added = 0;
    for (const f of features()) {
      if (!seen.has(f)) {
        seen.add(f);
        ++added;
      }
    }
    return added;
  };
  features();
  for (const input of readInputs(dirs)) {
    fs.writeFileSync(running, input.bytes);
    await tryInput(input.bytes);
    keep();
    corpus.push(input);
  }
  if (corpus.length === 0) corpus.push({ bytes: new Uint8Array([0]) });
  say(`#${corpus.length} INITED ft: ${seen.size} corp: ${corpus.length}`);
  const end = Date.now() + seconds * 1000;
  let executed = corpus.length;
  let next = Date.now() + 10000;
  while (executed < runs && Date.now() < end) {
    const bytes = mutate(corpus[random(corpus.length)].bytes, corpus, words);
    fs.writeFileSync(running, bytes);
    try {
      await tryInput(bytes);
    } catch (e) {
      const name = path.join(findings, `web_pictures-${Date.now()}`);
      fs.writeFileSync(name, bytes);
      say(`${e instanceof Finding ? e.message : e.stack}\nTest unit written to ${name}`);
      watchdog.kill();
      return 1;
    }
    ++executed;
    if (keep() > 0) {
      corpus.push({ bytes });
      fs.writeFileSync(path.join(out, `input-${executed}`), bytes);
    }
    if (Date.now() >= next) {
      next += 10000;
      say(`#${executed} ft: ${seen.size} corp: ${corpus.length}`);
    }
  }
  watchdog.kill();
  fs.rmSync(running, { force: true });
  say(`#${executed} DONE ft: ${seen.size} corp: ${corpus.length}`);
  say(`stat::number_of_executed_units: ${executed}`);
  return 0;
}

// Smallest first, each kept only if it reaches a feature the ones before did not.
async function merge(out, dirs) {
  const inputs = readInputs(dirs).sort((a, b) => a.bytes.length - b.bytes.length || (a.name < b.name ? -1 : 1));
  fs.mkdirSync(out, { recursive: true });
  const seen = new Set();
  let kept = 0;
  features();
  for (const input of inputs) {
    try {
      await tryInput(input.bytes);
    } catch (e) {
      // A finding stays whatever it reaches; it is fixed before a merge, so it passes here.
    }
    let added = 0;
    for (const f of features()) {
      if (!seen.has(f)) {
        seen.add(f);
        ++added;
      }
    }
    if (added > 0 || input.name.startsWith('finding-')) {
      fs.copyFileSync(input.file, path.join(out, input.name));
      ++kept;
    }
  }
  say(`MERGE: ${kept} of ${inputs.length} inputs kept, ft: ${seen.size}`);
  return 0;
}

const [mode, ...rest] = process.argv.slice(2);
let status = 2;
if (mode === 'replay') status = await replay(rest);
else if (mode === 'run') status = await run(Number(rest[0]), Number(rest[1]), rest[2], rest[3], rest.slice(4));
else if (mode === 'merge') status = await merge(rest[0], rest.slice(1));
else complain('usage: web_pictures_fuzz.mjs replay DIR... | run SECONDS RUNS FINDINGS NEW DIR... | merge OUT DIR...');
process.exit(status);
