// The page's picture reader in headless Chromium, through its worker as the game uses it:
// every format against ImageMagick's own decode, photos stood upright, sizes from the header
// agreeing with the pixels, pictures fitted to a box, hostile files refused without harm to
// the tab, and reads that are replaced or run past their deadline.
//   node --test tests/web/pictures.test.mjs      (from the repository's root)
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import zlib from 'node:zlib';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';
import { le16, le32, be16, be32, crc32, metafile } from './picture_files.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const web = path.join(root, 'shell/web');
const { chromium } = (() => {
  try {
    return createRequire(path.join(web, 'package.json'))('playwright-core');
  } catch (e) {
    throw new Error('playwright-core is missing: run "PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci" in shell/web');
  }
})();
const pictures = path.join(root, 'tests/data/pictures');
const site = 'http://pictures.test/';

let browser;
let page;
let dir;

// The page's picture reader (site/picture_reader.js, which starts site/picture_worker.js),
// with the decoders it loads, as vendor.txt places them.
function scripts() {
  const files = {};
  for (const line of fs.readFileSync(path.join(web, 'vendor.txt'), 'utf8').split('\n')) {
    const [from, to] = line.replace(/#.*/, '').trim().split(/\s+/);
    if (from && to.endsWith('.js')) files[to] = path.join(web, from);
  }
  for (const name of ['picture_reader.js', 'picture_worker.js', 'pictures.js']) files[name] = path.join(web, 'site', name);
  return files;
}

before(async () => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'brindlewick-web-pictures-'));
  browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--no-first-run'],
  });
  const context = await browser.newContext();
  const files = scripts();
  const html = '<!doctype html><title>pictures</title><script type="module">' +
    'import { readPicture } from "./picture_reader.js"; globalThis.readPicture = readPicture;</script>';
  await context.route(`${site}**`, (route) => {
    const name = new URL(route.request().url()).pathname.slice(1);
    if (name === '') return route.fulfill({ contentType: 'text/html', body: html });
    if (files[name]) return route.fulfill({ contentType: 'text/javascript', body: fs.readFileSync(files[name]) });
    return route.fulfill({ status: 404, body: '' });
  });
  page = await context.newPage();
  page.errors = [];
  page.on('pageerror', (e) => page.errors.push(String(e)));
  page.on('console', (m) => { if (m.type() === 'error') page.errors.push(m.text()); });
  await page.goto(site);
  await page.waitForFunction(() => globalThis.readPicture);
});

after(async () => {
  await browser?.close();
  if (dir) fs.rmSync(dir, { recursive: true, force: true });
});

// ---- Talking to the page ----

// What the page's reader finds in the bytes: the size from the header, and the pixels no
// larger than the box (0: no limit), as the worker gives them to the page.
async function readInPage(bytes, maxWidth = 0, maxHeight = 0) {
  const out = await page.evaluate(async ([b64, w, h]) => {
    const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const { size, picture } = await readPicture(bytes, w, h);
    if (picture === null) return { size, picture };
    if (!(picture.rgba instanceof Uint8ClampedArray)) return 'rgba is no Uint8ClampedArray';
    let text = '';
    for (let i = 0; i < picture.rgba.length; i += 0x8000) text += String.fromCharCode.apply(null, picture.rgba.subarray(i, i + 0x8000));
    return { size, picture: { width: picture.width, height: picture.height, opaque: picture.opaque, rgba: btoa(text) } };
  }, [Buffer.from(bytes).toString('base64'), maxWidth, maxHeight]);
  assert.equal(typeof out, 'object', out);
  if (out.picture) out.picture.rgba = Buffer.from(out.picture.rgba, 'base64');
  return out;
}

async function probe(bytes) { return (await readInPage(bytes)).size; }
async function decode(bytes, maxWidth = 0, maxHeight = 0) { return (await readInPage(bytes, maxWidth, maxHeight)).picture; }

// ---- ImageMagick's word ----

function magick(file, ...options) {
  const size = execFileSync('convert', [`${file}[0]`, ...options, '-format', '%w %h', 'info:']).toString().split(' ').map(Number);
  const rgba = execFileSync('convert', [`${file}[0]`, ...options, '-depth', '8', 'rgba:-'], { maxBuffer: 1 << 28 });
  return { width: size[0], height: size[1], rgba };
}

// A picture made by ImageMagick; the name may carry its writer's prefix (PNG8:name.png).
function make(name, ...args) {
  const [prefix, base] = name.includes(':') ? name.split(':') : ['', name];
  const file = path.join(dir, base);
  execFileSync('convert', [...args, prefix ? `${prefix}:${file}` : file]);
  return file;
}

function write(name, bytes) {
  const file = path.join(dir, name);
  fs.writeFileSync(file, bytes);
  return file;
}

const read = (file) => fs.readFileSync(file);

// The largest difference of any channel, where a channel counts: colour only where the
// pixel is not wholly transparent.
function largestDifference(a, b) {
  assert.equal(a.length, b.length, 'pixel count');
  let most = 0;
  for (let i = 0; i < a.length; i += 4) {
    most = Math.max(most, Math.abs(a[i + 3] - b[i + 3]));
    if (b[i + 3] === 0) continue;
    for (let c = 0; c < 3; ++c) most = Math.max(most, Math.abs(a[i + c] - b[i + c]));
  }
  return most;
}

// A canvas keeps its pixels premultiplied, so a half-transparent colour comes back within
// the rounding of its alpha; opaque and wholly transparent pixels come back exact.
function assertSameAsMagick(got, want, label, tolerance = 0) {
  assert.ok(got, `${label}: decoded`);
  assert.deepEqual([got.width, got.height], [want.width, want.height], `${label}: size`);
  for (let i = 0; i < want.rgba.length; i += 4) {
    const a = want.rgba[i + 3];
    const allowed = Math.max(tolerance, a === 255 || a === 0 ? 0 : Math.ceil(255 / a));
    const channels = a === 0 ? [3] : [0, 1, 2, 3];
    for (const c of channels) {
      const d = Math.abs(got.rgba[i + c] - want.rgba[i + c]);
      if (d > allowed) {
        const p = i / 4;
        assert.fail(`${label}: pixel (${p % want.width}, ${Math.floor(p / want.width)}) channel ${c}: ${got.rgba[i + c]} != ${want.rgba[i + c]}`);
      }
    }
  }
  let allOpaque = true;
  for (let i = 3; i < want.rgba.length; i += 4) allOpaque &&= want.rgba[i] === 255;
  assert.equal(got.opaque, allOpaque, `${label}: opaque`);
}

function pixel(picture, x, y) {
  const i = (y * picture.width + x) * 4;
  return [...picture.rgba.subarray(i, i + 4)];
}

// ---- Hand-made files ----

// An Exif block holding only an orientation tag, put in front of the rest of the JPEG.
function withOrientation(jpeg, orientation) {
  const body = [...Buffer.from('Exif\0\0MM'), 0, 42, ...be32(8), ...be16(1), ...be16(0x0112), ...be16(3), ...be32(1),
    ...be16(orientation), 0, 0, ...be32(0)];
  return Buffer.concat([jpeg.subarray(0, 2), Buffer.from([0xFF, 0xE1, ...be16(body.length + 2), ...body]), jpeg.subarray(2)]);
}

// The same Exif block as a PNG chunk, before the pixels or after them.
function withPngOrientation(png, orientation, beforePixels) {
  const body = Buffer.from([...Buffer.from('MM'), 0, 42, ...be32(8), ...be16(1), ...be16(0x0112), ...be16(3), ...be32(1),
    ...be16(orientation), 0, 0, ...be32(0)]);
  const typed = Buffer.concat([Buffer.from('eXIf'), body]);
  const chunk = Buffer.concat([Buffer.from(be32(body.length)), typed, Buffer.from(be32(crc32(typed)))]);
  const at = beforePixels ? 33 : png.length - 12;  // after IHDR, or before IEND
  return Buffer.concat([png.subarray(0, at), chunk, png.subarray(at)]);
}

// A GIF of one colour whose logical screen is w x h and whose first frame is fw x fh at (x, y).
function gifWithFrame(w, h, x, y, fw, fh) {
  const codes = [];
  for (let i = 0; i < fw * fh; ++i) codes.push(4, 0);  // a clear code before each pixel keeps codes 3 bits
  codes.push(5);
  const data = [];
  let bits = 0;
  let count = 0;
  for (const c of codes) {
    bits |= c << count;
    count += 3;
    while (count >= 8) { data.push(bits & 0xFF); bits >>= 8; count -= 8; }
  }
  if (count) data.push(bits & 0xFF);
  const blocks = [];
  for (let i = 0; i < data.length; i += 255) blocks.push(Math.min(255, data.length - i), ...data.slice(i, i + 255));
  return Buffer.from([...Buffer.from('GIF89a'), ...le16(w), ...le16(h), 0x80, 0, 0, 255, 0, 0, 0, 0, 255,
    0x2C, ...le16(x), ...le16(y), ...le16(fw), ...le16(fh), 0, 2, ...blocks, 0, 0x3B]);
}

// A StretchDIB record drawing a bitmap of 24-bit pixels (rows bottom-up) over the box given.
function stretchDib(width, height, rows, [x, y, w, h]) {
  const bits = rows.flatMap((row) => {
    const bytes = row.flatMap(([r, g, b]) => [b, g, r]);
    while (bytes.length % 4) bytes.push(0);
    return bytes;
  });
  const dib = [...le32(40), ...le32(width), ...le32(height), ...le16(1), ...le16(24), ...new Array(24).fill(0), ...bits];
  const words = Array.from({ length: dib.length / 2 }, (_, i) => dib[2 * i] | (dib[2 * i + 1] << 8));
  // SRCCOPY, colours in the bitmap, the source's and the destination's boxes.
  return [0x0F43, [0x0020, 0x00CC, 0, height, width, 0, 0, h, w, y, x, ...words]];
}

// A baseline TIFF of one strip, little-endian, 8-bit RGB, with the entries given.
function tiff(width, height, entries, pixels) {
  const count = entries.length;
  const ifdAt = 8;
  const dataAt = ifdAt + 2 + count * 12 + 4;
  const out = [...Buffer.from('II'), ...le16(42), ...le32(ifdAt), ...le16(count)];
  for (const [tag, type, n, value] of entries.sort((a, b) => a[0] - b[0])) {
    out.push(...le16(tag), ...le16(type), ...le32(n), ...(type === 3 && n === 1 ? [...le16(value), 0, 0] : le32(value === 'DATA' ? dataAt : value)));
  }
  out.push(...le32(0), ...pixels);
  return Buffer.from(out);
}

function tiffRgb(width, height, pixels, { compression = 1, next = 0, stripAt = 'DATA', stripBytes = pixels.length, subIfd = 0 } = {}) {
  const entries = [
    [256, 4, 1, width], [257, 4, 1, height], [258, 3, 1, 8], [259, 3, 1, compression], [262, 3, 1, 2],
    [273, 4, 1, stripAt], [277, 3, 1, 3], [278, 4, 1, height], [279, 4, 1, stripBytes],
  ];
  if (subIfd) entries.push([330, 4, 1, subIfd]);
  const file = tiff(width, height, entries, pixels);
  if (next) file.writeUInt32LE(next, 8 + 2 + entries.length * 12);
  return file;
}

// Codes of nine bits, first bit first, as TIFF's LZW packs them.
function lzw(codes) {
  const out = [];
  let held = 0, bits = 0;
  for (const code of codes) {
    held = (held << 9) | code;
    bits += 9;
    while (bits >= 8) {
      out.push((held >>> (bits - 8)) & 0xff);
      bits -= 8;
    }
    held &= (1 << bits) - 1;
  }
  if (bits) out.push((held << (8 - bits)) & 0xff);
  return out;
}

// ---- The tests ----

describe('lossless formats give ImageMagick\'s pixels', () => {
  test('the sample quadrants and the half-transparent PNG', async () => {
    for (const name of ['quadrants.bmp', 'quadrants.gif', 'quadrants.png', 'quadrants.tif', 'half-alpha.png']) {
      const file = path.join(pictures, name);
      assertSameAsMagick(await decode(read(file)), magick(file), name);
    }
    // The GIF's second, black frame never shows.
    const gif = await decode(read(path.join(pictures, 'quadrants.gif')));
    assert.deepEqual(pixel(gif, 0, 0), [255, 0, 0, 255]);
    assert.deepEqual(pixel(gif, 11, 7), [255, 255, 0, 255]);
  });

  test('PNG and BMP of several kinds', async () => {
    const base = ['-size', '37x23', 'gradient:orange-navy', '-size', '37x23', 'plasma:fractal', '-seed', '7', '-append', '-resize', '37x23!', '-depth', '8'];
    const alpha = [...base, '(', '-size', '37x23', 'gradient:white-black', ')', '-alpha', 'off', '-compose', 'copy_opacity', '-composite'];
    const files = [
      make('rgb.png', ...base),
      make('rgba.png', ...alpha),
      make('PNG8:palette.png', ...base, '-colors', '16'),
      make('gray16.png', ...base, '-colorspace', 'gray', '-depth', '16'),
      make('BMP3:rgb24.bmp', ...base),
      make('rgba32.bmp', ...alpha),
      make('indexed.bmp', ...base, '-colors', '200', '-type', 'palette'),
    ];
    for (const file of files) assertSameAsMagick(await decode(read(file)), magick(file), path.basename(file), file.includes('gray16') ? 1 : 0);
  });

  test('GIF: the first frame of an animation, and transparency', async () => {
    const animation = make('animation.gif', '-size', '20x10', 'xc:green', '-size', '20x10', 'xc:black', '-size', '20x10', 'xc:white', '-loop', '0');
    const got = await decode(read(animation));
    assertSameAsMagick(got, magick(animation), 'animation.gif');
    assert.deepEqual(pixel(got, 5, 5), [0, 128, 0, 255]);
    const holes = make('holes.gif', '-size', '16x8', 'xc:none', '-fill', 'red', '-draw', 'rectangle 0,0 7,7');
    const transparent = await decode(read(holes));
    assertSameAsMagick(transparent, magick(holes), 'holes.gif');
    assert.equal(transparent.opaque, false);
  });

  test('TIFF of every compression UTIF reads', async () => {
    const base = ['-size', '33x21', 'plasma:fractal', '-seed', '3', '-depth', '8'];
    const kinds = [
      ['none.tif', '-compress', 'none'], ['strips.tif', '-compress', 'none', '-define', 'tiff:rows-per-strip=4'], ['lzw.tif', '-compress', 'lzw'], ['zip.tif', '-compress', 'zip'],
      ['packbits.tif', '-compress', 'rle'], ['gray.tif', '-colorspace', 'gray', '-compress', 'lzw'],
      ['palette.tif', '-colors', '12', '-type', 'palette'], ['bilevel.tif', '-monochrome', '-compress', 'group4'],
      ['rgba.tif', '(', '-size', '33x21', 'gradient:white-black', ')', '-alpha', 'off', '-compose', 'copy_opacity', '-composite', '-compress', 'lzw'],
      ['big-endian.tif', '-endian', 'MSB', '-compress', 'zip'],
      ['tiled.tif', '-define', 'tiff:tile-geometry=16x16', '-compress', 'lzw'],
      ['fax.tif', '-monochrome', '-compress', 'fax'],
    ];
    for (const [name, ...options] of kinds) {
      const file = make(name, ...base, ...options);
      // A palette's entries are 16-bit: UTIF keeps the high byte where ImageMagick rounds.
      assertSameAsMagick(await decode(read(file)), magick(file), name, name === 'palette.tif' ? 1 : 0);
    }
    // JPEG inside a TIFF: two JPEG decoders round differently.
    const jpeg = make('jpeg.tif', ...base, '-compress', 'jpeg', '-quality', '95');
    const got = await decode(read(jpeg));
    const want = magick(jpeg);
    assert.deepEqual([got.width, got.height], [want.width, want.height]);
    assert.ok(largestDifference(got.rgba, want.rgba) <= 8, `jpeg.tif: ${largestDifference(got.rgba, want.rgba)}`);
  });
});

describe('JPEG photos', () => {
  test('pixels within the rounding browsers and ImageMagick differ by', async () => {
    const photo = make('photo.jpg', '-size', '64x40', 'plasma:fractal', '-seed', '5', '-quality', '92');
    for (const file of [path.join(pictures, 'quadrants.jpg'), photo]) {
      const got = await decode(read(file));
      const want = magick(file);
      assert.deepEqual([got.width, got.height], [want.width, want.height]);
      assert.ok(largestDifference(got.rgba, want.rgba) <= 6, `${file}: ${largestDifference(got.rgba, want.rgba)}`);
      assert.equal(got.opaque, true);
    }
  });

  test('every orientation tag stands the picture upright, in the probe as in the pixels', async () => {
    const jpeg = read(make('tall.jpg', '-size', '24x16', 'plasma:fractal', '-seed', '9', '-quality', '95'));
    for (let orientation = 1; orientation <= 8; ++orientation) {
      const file = write(`oriented-${orientation}.jpg`, withOrientation(jpeg, orientation));
      const want = magick(file, '-auto-orient');
      const got = await decode(read(file));
      assert.deepEqual([got.width, got.height], [want.width, want.height], `orientation ${orientation}`);
      assert.deepEqual(await probe(read(file)), { width: want.width, height: want.height }, `orientation ${orientation}`);
      assert.ok(largestDifference(got.rgba, want.rgba) <= 8, `orientation ${orientation}: ${largestDifference(got.rgba, want.rgba)}`);
    }
    // 6: turned a quarter clockwise; the stored bottom-left quadrant is now at the top left.
    const quadrants = read(path.join(pictures, 'quadrants.jpg'));
    const turned = await decode(withOrientation(quadrants, 6));
    assert.deepEqual([turned.width, turned.height], [8, 12]);
    const near = (got, want) => got.slice(0, 3).every((v, i) => Math.abs(v - want[i]) <= 40);
    assert.ok(near(pixel(turned, 1, 1), [0, 0, 255]), String(pixel(turned, 1, 1)));
    assert.ok(near(pixel(turned, 6, 1), [255, 0, 0]), String(pixel(turned, 6, 1)));
    assert.ok(near(pixel(turned, 1, 10), [255, 255, 0]), String(pixel(turned, 1, 10)));
  });
});

describe('metafiles', () => {
  test('drawn at the size their header states, onto white', async () => {
    const placeable = await decode(metafile(true));
    assert.deepEqual([placeable.width, placeable.height, placeable.opaque], [192, 96, true]);  // 2 x 1 inches at 96 dpi
    assert.deepEqual(pixel(placeable, 40, 40), [255, 0, 0, 255]);
    assert.deepEqual(pixel(placeable, 150, 40), [0, 0, 255, 255]);
    const plain = await decode(metafile(false, 120, 60));
    assert.deepEqual([plain.width, plain.height], [120, 60]);
    assert.deepEqual(pixel(plain, 10, 10), [255, 0, 0, 255]);
    assert.deepEqual(pixel(plain, 100, 10), [0, 0, 255, 255]);
    // A box at 1000 units an inch: 2.88 x 1.44 inches, 276 x 138 pixels.
    const other = await decode(metafile(true, 2880, 1440, 1000));
    assert.deepEqual([other.width, other.height], [276, 138]);
    assert.deepEqual(pixel(other, 270, 130), [0, 0, 255, 255]);
    // A bitmap in the drawing, stretched over its right half.
    const red = [255, 0, 0], green = [0, 255, 0], blue = [0, 0, 255], white = [255, 255, 255];
    const bitmap = await decode(metafile(false, 100, 100, 0, [stretchDib(2, 2, [[blue, white], [red, green]], [50, 0, 50, 100])]));
    assert.deepEqual(pixel(bitmap, 60, 10), [255, 0, 0, 255]);
    assert.deepEqual(pixel(bitmap, 90, 10), [0, 255, 0, 255]);
    assert.deepEqual(pixel(bitmap, 60, 90), [0, 0, 255, 255]);
    assert.deepEqual(pixel(bitmap, 90, 90), [255, 255, 255, 255]);
    assert.deepEqual(pixel(bitmap, 10, 10), [255, 0, 0, 255]);
    // What the drawing leaves uncovered is white.
    const ellipse = await decode(metafile(false, 100, 100, 0, [[0x0418, [60, 60, 40, 40]]]));
    assert.deepEqual(pixel(ellipse, 2, 2), [255, 0, 0, 255]);
    assert.deepEqual(pixel(ellipse, 50, 50), [0, 0, 255, 255]);
  });
});

describe('metafiles of many shapes', () => {
  // A brush of the colour, selected, a rectangle in it, and the brush let go again.
  const filled = (colour, [left, top, right, bottom]) => [
    [0x02FC, [0, colour[0] | (colour[1] << 8), colour[2], 0]], [0x012D, [2]], [0x041B, [bottom, right, top, left]], [0x01F0, [2]],
  ];

  test('are drawn whole however many parts the page reads them in, clipping and all', async () => {
    // 40 x 20 cells of 30 pixels, each its own colour: the page reads them in several parts.
    const cells = [];
    const colour = (x, y) => [x * 6, y * 12, 128];
    for (let y = 0; y < 20; ++y) {
      for (let x = 0; x < 40; ++x) cells.push(...filled(colour(x, y), [x * 30, y * 30, x * 30 + 30, y * 30 + 30]));
    }
    const grid = await decode(metafile(false, 1200, 600, 0, cells));
    assert.deepEqual([grid.width, grid.height], [1200, 600]);
    for (let y = 0; y < 20; ++y) {
      for (let x = 0; x < 40; ++x) assert.deepEqual(pixel(grid, x * 30 + 15, y * 30 + 15), [...colour(x, y), 255], `cell ${x}, ${y}`);
    }
    // Clipped to a box, then 600 green rectangles over everything: only the box turns green,
    // in every part.
    const green = [];
    for (let i = 0; i < 600; ++i) green.push(...filled([0, 255, 0], [0, 0, 1200, 600]));
    // (WMFJS takes a new clipping from the next change of window or viewport on.)
    const clipped = await decode(metafile(false, 1200, 600, 0, [[0x0416, [400, 900, 200, 300]], [0x020B, [0, 0]], ...green]));
    assert.deepEqual(pixel(clipped, 600, 300), [0, 255, 0, 255]);
    assert.deepEqual(pixel(clipped, 100, 300), [255, 0, 0, 255]);
    assert.deepEqual(pixel(clipped, 1100, 500), [0, 0, 255, 255]);
    assert.deepEqual(pixel(clipped, 700, 100), [0, 0, 255, 255]);
  });

  test('a drawing past the page\'s ceiling is refused, the file still known as a picture', async () => {
    const rectangles = Array.from({ length: 20001 }, (_, i) => [0x041B, [i % 100 + 10, i % 100 + 10, i % 100, i % 100]]);
    const crowded = await readInPage(metafile(false, 200, 200, 0, rectangles));
    assert.deepEqual(crowded.size, { width: 200, height: 200 });
    assert.equal(crowded.picture, null);
    // A bitmap whose bytes as text are more than the page reads at once, and one just within.
    const black = [0, 0, 0];
    const bitmap = (side) => metafile(false, 100, 100, 0, [stretchDib(side, side, Array.from({ length: side }, () => Array(side).fill(black)), [0, 0, 100, 100])]);
    const large = await readInPage(bitmap(1200));
    assert.deepEqual([large.size, large.picture], [{ width: 100, height: 100 }, null]);
    assert.deepEqual(pixel(await decode(bitmap(1000)), 50, 50), [0, 0, 0, 255]);
  });
});

describe('reading', () => {
  // A group 4 fax of a checkerboard: a change of colour at every pixel, seconds of UTIF's time.
  const slowFax = () => read(make('checkerboard.tif', '-size', '2048x2048', 'pattern:gray50', '-compress', 'group4'));

  test('a read that a second one replaces answers nothing, and the second is read', async () => {
    const answers = await page.evaluate(async ([slow, png]) => {
      const bytes = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      const first = readPicture(bytes(slow), 0, 0);
      const second = readPicture(bytes(png), 0, 0);
      const [a, b] = await Promise.all([first, second]);
      return [a, b && b.picture && [b.picture.width, b.picture.height]];
    }, [slowFax().toString('base64'), read(path.join(pictures, 'quadrants.png')).toString('base64')]);
    assert.deepEqual(answers, [null, [12, 8]]);
  });

  test('a read past its deadline keeps the size, gives no pixels, and the next read is served afresh', async () => {
    await page.evaluate(() => { globalThis.BrindlewickPictureDeadline = 500; });
    try {
      const late = await readInPage(slowFax());
      assert.deepEqual([late.size, late.picture], [{ width: 2048, height: 2048 }, null]);
    } finally {
      await page.evaluate(() => { delete globalThis.BrindlewickPictureDeadline; });
    }
    assert.deepEqual(pixel(await decode(read(path.join(pictures, 'quadrants.png'))), 11, 7), [255, 255, 0, 255]);
    assert.deepEqual(page.errors, []);
  });
});

describe('the size probe', () => {
  test('agrees with the decoded size for every format', async () => {
    const files = ['quadrants.bmp', 'quadrants.gif', 'quadrants.png', 'quadrants.tif', 'quadrants.jpg', 'half-alpha.png']
      .map((n) => read(path.join(pictures, n)));
    files.push(withOrientation(read(path.join(pictures, 'quadrants.jpg')), 8), metafile(true), metafile(false, 120, 60));
    files.push(read(make('topdown.bmp', '-size', '9x5', 'xc:teal', '-define', 'bmp:top-down=true')));
    for (const bytes of files) {
      const size = await probe(bytes);
      const picture = await decode(bytes);
      assert.ok(size && picture);
      assert.deepEqual(size, { width: picture.width, height: picture.height });
    }
    // What the browser does beyond the desktop, the probe follows: a PNG turned by an Exif
    // chunk before its pixels (not after), a GIF widened to hold a first frame that leaves
    // its logical screen.
    const png = read(path.join(pictures, 'quadrants.png'));
    const cases = [
      [withPngOrientation(png, 6, true), 8, 12], [withPngOrientation(png, 6, false), 12, 8],
      [gifWithFrame(4, 4, 0, 0, 8, 6), 8, 6], [gifWithFrame(4, 4, 3, 3, 5, 5), 8, 8], [gifWithFrame(10, 10, 1, 1, 2, 2), 10, 10],
    ];
    for (const [bytes, width, height] of cases) {
      const picture = await decode(bytes);
      assert.deepEqual([picture.width, picture.height], [width, height]);
      assert.deepEqual(await probe(bytes), { width, height });
    }
    const turned = await decode(withPngOrientation(png, 6, true));
    assert.deepEqual(pixel(turned, 0, 0), [0, 0, 255, 255]);
  });

  test('the format comes from the contents; Targa is left to the program', async () => {
    const png = read(path.join(pictures, 'quadrants.png'));
    const { size, picture } = await readInPage(png);
    assert.deepEqual([size, picture.width], [{ width: 12, height: 8 }, 12]);
    const targa = read(make('picture.tga', '-size', '12x8', 'xc:red'));
    assert.equal(await probe(targa), null);
    assert.equal(await decode(targa), null);
  });
});

describe('pictures larger than the box', () => {
  test('come out at the largest size of their shape that fits', async () => {
    const png = read(path.join(pictures, 'quadrants.png'));
    const half = await decode(png, 6, 100);
    assert.deepEqual([half.width, half.height, half.opaque], [6, 4, true]);
    assert.deepEqual(pixel(half, 0, 0), [255, 0, 0, 255]);
    assert.deepEqual(pixel(half, 5, 3), [255, 255, 0, 255]);
    const sizes = async (bytes, w, h) => { const p = await decode(bytes, w, h); return [p.width, p.height]; };
    assert.deepEqual(await sizes(png, 0, 4), [6, 4]);  // no limit across
    assert.deepEqual(await sizes(png, 100, 0), [12, 8]);  // fits already
    assert.deepEqual(await sizes(png, 5, 5), [5, 3]);  // the short side rounded down
    assert.deepEqual(await sizes(png, 12, 8), [12, 8]);
    const strip = read(make('strip.png', '-size', '1000x2', 'xc:gray'));
    assert.deepEqual(await sizes(strip, 10, 10), [10, 1]);  // never less than a pixel
  });

  test('every kind of picture, a photo turned first, a metafile drawn small', async () => {
    const turned = withOrientation(read(make('wide.jpg', '-size', '200x100', 'xc:blue', '-quality', '95')), 6);
    const photo = await decode(turned, 50, 50);
    assert.deepEqual([photo.width, photo.height], [25, 50]);
    // Turned, then made smaller: the quadrants stand where the upright picture has them.
    const quadrants = await decode(withOrientation(read(path.join(pictures, 'quadrants.jpg')), 6), 4, 100);
    assert.deepEqual([quadrants.width, quadrants.height], [4, 6]);
    const near = (got, want) => got.slice(0, 3).every((v, i) => Math.abs(v - want[i]) <= 60);
    for (const [x, y, colour] of [[0, 0, [0, 0, 255]], [3, 0, [255, 0, 0]], [0, 5, [255, 255, 0]], [3, 5, [0, 255, 0]]]) {
      assert.ok(near(pixel(quadrants, x, y), colour), `(${x}, ${y}): ${pixel(quadrants, x, y)}`);
    }
    const tif = await decode(read(path.join(pictures, 'quadrants.tif')), 6, 6);
    assert.deepEqual([tif.width, tif.height], [6, 4]);
    assert.deepEqual(pixel(tif, 0, 0), [255, 0, 0, 255]);
    assert.deepEqual(pixel(tif, 5, 3), [255, 255, 0, 255]);
    const drawing = await decode(metafile(true), 96, 96);
    assert.deepEqual([drawing.width, drawing.height], [96, 48]);
    assert.deepEqual(pixel(drawing, 20, 20), [255, 0, 0, 255]);
    assert.deepEqual(pixel(drawing, 75, 20), [0, 0, 255, 255]);
    for (const [name, bytes] of [['gif', read(path.join(pictures, 'quadrants.gif'))], ['bmp', read(path.join(pictures, 'quadrants.bmp'))]]) {
      const small = await decode(bytes, 3, 3);
      assert.deepEqual([small.width, small.height], [3, 2], name);
    }
  });
});

describe('hostile and damaged files', () => {
  // Headers that state more than any picture the game shows.
  function bombs() {
    const png = Buffer.concat([read(path.join(pictures, 'quadrants.png'))]);
    png.writeUInt32BE(100000, 16);
    png.writeUInt32BE(100000, 20);
    const gif = Buffer.from([...Buffer.from('GIF89a'), ...le16(60000), ...le16(60000), 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
      0x2C, 0, 0, 0, 0, ...le16(60000), ...le16(60000), 0, 2, 2, 0x4C, 0x01, 0, 0x3B]);
    // A small screen whose first frame reaches far outside it.
    const gifFrame = Buffer.from([...Buffer.from('GIF89a'), ...le16(10), ...le16(10), 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
      0x2C, ...le16(65000), ...le16(65000), ...le16(2), ...le16(2), 0, 2, 2, 0x4C, 0x01, 0, 0x3B]);
    const bmp = Buffer.from([...Buffer.from('BM'), ...le32(54), ...le32(0), ...le32(54), ...le32(40), ...le32(40000), ...le32(40000),
      ...le16(1), ...le16(24), ...new Array(24).fill(0)]);
    const bmpLowest = Buffer.from(bmp);
    bmpLowest.writeUInt32LE(16, 18);
    bmpLowest.writeUInt32LE(0x80000000, 22);
    const jpeg = Buffer.from(read(path.join(pictures, 'quadrants.jpg')));
    const sof = jpeg.indexOf(Buffer.from([0xFF, 0xC0]));
    jpeg.writeUInt16BE(65000, sof + 5);
    jpeg.writeUInt16BE(65000, sof + 7);
    const tif = tiffRgb(100000, 100000, [0, 0, 0]);
    const tall = tiffRgb(16, 20000, [0, 0, 0]);
    const wmf = metafile(true, 32000, 32000, 1);  // 3 million pixels a side at 1 unit an inch
    // 16 x 16 pixels, 768 bytes, whose one Deflate strip swells to 64 MiB.
    const zeros = zlib.deflateSync(Buffer.alloc(64 << 20), { level: 9 });
    const deflateBomb = tiffRgb(16, 16, [...zeros], { compression: 8 });
    // A metafile whose bitmap claims 60000 x 60000 pixels.
    const [fn, params] = stretchDib(2, 2, [[[0, 0, 0], [0, 0, 0]], [[0, 0, 0], [0, 0, 0]]], [0, 0, 100, 100]);
    params[13] = 60000 & 0xFFFF;  // the bitmap header's width and height
    params[15] = 60000 & 0xFFFF;
    const wmfBitmap = metafile(false, 100, 100, 0, [[fn, params]]);
    return { png, gif, gifFrame, bmp, bmpLowest, jpeg, tif, tall, wmf, deflateBomb, wmfBitmap };
  }

  test('a header stating too large a picture is refused by the probe and the decoder', async () => {
    for (const [name, bytes] of Object.entries(bombs())) {
      if (name !== 'deflateBomb' && name !== 'wmfBitmap') assert.equal(await probe(bytes), null, name);
      assert.equal(await decode(bytes), null, name);
    }
    // Just inside the limits, the probe still answers: 16384 a side, 64 Mi pixels in all.
    const png = Buffer.from(read(path.join(pictures, 'quadrants.png')));
    png.writeUInt32BE(16384, 16);
    png.writeUInt32BE(4096, 20);
    assert.deepEqual(await probe(png), { width: 16384, height: 4096 });
    png.writeUInt32BE(16385, 16);
    png.writeUInt32BE(1, 20);
    assert.equal(await probe(png), null);
  });

  test('cut, foreign, looping and empty files give null and the page lives on', async () => {
    const cut = (file, keep) => { const b = read(file); return b.subarray(0, Math.floor(b.length * keep)); };
    const big = (name, ...o) => make(name, '-size', '64x48', 'plasma:fractal', '-seed', '1', ...o);
    const rgb = Array.from({ length: 4 * 4 * 3 }, (_, i) => i * 5);
    const loop = tiffRgb(4, 4, rgb, { next: 8 });  // the next directory is itself
    const nested = tiffRgb(4, 4, rgb, { subIfd: 8 });  // and its own sub-directory
    // A code past the next one (300), then codes that make 259 stand for 300 and 300 for 259:
    // an LZW decoder that follows chains without looking would go round them for ever.
    const circle = lzw([300, 259, ...Array(39).fill(65), 259, 65, 259, 257]);
    // A JPEG piece whose frame samples its components 0 times across: a decoder that
    // believes it has endless blocks to decode.
    const unsampled = Buffer.from(read(big('j.tif', '-compress', 'jpeg')));
    const frame = unsampled.indexOf(Buffer.from([0xFF, 0xC0]));
    for (let c = 0; c < unsampled[frame + 9]; ++c) unsampled[frame + 11 + c * 3] = 0x01;
    // Fax pieces of noise, 16 KB: codes that never end and lines past the width.
    const noise = Array.from({ length: 16384 }, (_, i) => (i * 2654435761) >>> 24);
    const fax = (compression) => tiff(1728, 2000, [[256, 4, 1, 1728], [257, 4, 1, 2000], [258, 3, 1, 1],
      [259, 3, 1, compression], [262, 3, 1, 0], [273, 4, 1, 'DATA'], [277, 3, 1, 1], [278, 4, 1, 2000],
      [279, 4, 1, noise.length]], noise);
    const hostile = {
      'cut png': cut(big('c.png'), 0.5),
      'cut jpeg': cut(big('c.jpg'), 0.5),
      'cut gif': cut(big('c.gif'), 0.5),
      'cut bmp': cut(big('c.bmp'), 0.5),
      'cut tiff': cut(big('c.tif', '-compress', 'none'), 0.7),
      'cut lzw tiff': cut(big('l.tif', '-compress', 'lzw'), 0.6),
      'cut metafile': metafile(true).subarray(0, metafile(true).length - 10),
      'png header only': read(path.join(pictures, 'quadrants.png')).subarray(0, 33),
      'jpeg header only': read(path.join(pictures, 'quadrants.jpg')).subarray(0, 20),
      'strip past the end': tiffRgb(4, 4, rgb, { stripAt: 100000 }),
      'strip shorter than its rows': tiffRgb(4, 4, rgb.slice(0, 20), { stripBytes: 20 }),
      'unknown compression': tiffRgb(4, 4, rgb, { compression: 50000 }),
      'lzw codes in a circle': tiffRgb(4, 4, circle, { compression: 5, stripBytes: circle.length }),
      // The strip's rows given as text: no number, so no check of the strip may be skipped.
      'rows per strip as text': tiff(4, 4, [[256, 4, 1, 4], [257, 4, 1, 4], [258, 3, 1, 8], [259, 3, 1, 5],
        [262, 3, 1, 2], [273, 4, 1, 'DATA'], [277, 3, 1, 3], [278, 2, 1, 4], [279, 4, 1, circle.length]], circle),
      'jpeg piece sampled 0 times': unsampled,
      'group 3 fax of noise': fax(3),
      'group 4 fax of noise': fax(4),
      'text': Buffer.from('not a picture'),
      'empty': Buffer.alloc(0),
      'one byte': Buffer.from([0x89]),
      'gif with no frame': Buffer.from([...Buffer.from('GIF89a'), ...le16(4), ...le16(4), 0, 0, 0, 0x3B]),
      'metafile record longer than the file': (() => { const b = Buffer.from(metafile(false)); b.writeUInt32LE(100000, 18 + 12); return b; })(),
      'metafile of no size': metafile(true, 0, 0),
      'random': Buffer.from(Array.from({ length: 4096 }, (_, i) => (i * 2654435761) >>> 24)),
    };
    for (const [name, bytes] of Object.entries(hostile)) assert.equal(await decode(bytes), null, name);
    // Directories that loop back are harmless: only the first picture is read.
    for (const bytes of [loop, nested]) {
      assert.deepEqual(await probe(bytes), { width: 4, height: 4 });
      assert.deepEqual(pixel(await decode(bytes), 1, 0), [15, 20, 25, 255]);
    }
    assert.equal(await page.evaluate(() => 1 + 1), 2);
    assert.equal((await decode(read(path.join(pictures, 'quadrants.png')))).width, 12);
    assert.deepEqual(page.errors, []);
  });
});
