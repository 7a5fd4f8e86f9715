// The player's picture files: the size from the header before anything is decoded, then
// the pixels. BMP, GIF, JPEG and PNG go to the browser's own decoder; TIFF to UTIF (with
// pako for Deflate); a metafile to rtf.js's WMFJS, which makes it an SVG drawing that the
// page draws (only a document can); Targa is left to the program's own decoder. Nothing
// here throws: bad bytes give null.
//
// The page runs this in its picture worker (picture_worker.js), never on its own thread.
// Needs, beside this file (loaded the first time a TIFF or a metafile is decoded, unless
// loaded already): pako_inflate.min.js (global pako), UTIF.js (global UTIF),
// WMFJS.bundle.min.js (global WMFJS). Without them TIFF or WMF give null.
(function () {
  'use strict';

  // The same limits as the desktop's surfaces: more is refused before any memory is taken.
  const MAX_SIDE = 16384;
  const MAX_PIXELS = 64 * 1024 * 1024;
  // A metafile is read whole and turned into drawing elements; one this big is no picture
  // a player made, and a drawing of millions of records would take the tab's memory.
  const MAX_METAFILE_BYTES = 64 * 1024 * 1024;
  const MAX_METAFILE_RECORDS = 100000;
  // Windows shows a placeable metafile at this many pixels per inch.
  const METAFILE_DPI = 96;
  // A TIFF directory with more entries than this is damaged, not a picture.
  const MAX_TIFF_ENTRIES = 4096;
  // The stored pixels UTIF holds besides the RGBA copy: up to 32 bits a pixel at the largest size.
  const MAX_TIFF_STORED_BYTES = MAX_PIXELS * 4;

  function allowed(width, height) {
    return Number.isInteger(width) && Number.isInteger(height) && width > 0 && height > 0 &&
      width <= MAX_SIDE && height <= MAX_SIDE && width * height <= MAX_PIXELS;
  }

  // Readers that answer -1 past the end, so that a cut header is refused, never read beyond.
  function be16(b, i) { return i >= 0 && i + 2 <= b.length ? (b[i] << 8) | b[i + 1] : -1; }
  function be32(b, i) { return i >= 0 && i + 4 <= b.length ? ((b[i] << 24) >>> 0) + ((b[i + 1] << 16) | (b[i + 2] << 8) | b[i + 3]) : -1; }
  function le16(b, i) { return i >= 0 && i + 2 <= b.length ? b[i] | (b[i + 1] << 8) : -1; }
  function le32(b, i) { return i >= 0 && i + 4 <= b.length ? (b[i] | (b[i + 1] << 8) | (b[i + 2] << 16)) + ((b[i + 3] << 24) >>> 0) : -1; }
  function s16(v) { return v >= 0x8000 ? v - 0x10000 : v; }
  function s32(v) { return v >= 0x80000000 ? v - 0x100000000 : v; }

  function startsWith(b, text) {
    if (b.length < text.length) return false;
    for (let i = 0; i < text.length; ++i) if (b[i] !== text.charCodeAt(i)) return false;
    return true;
  }

  function sniff(b) {
    if (startsWith(b, '\x89PNG\r\n\x1a\n')) return 'png';
    if (startsWith(b, '\xFF\xD8\xFF')) return 'jpeg';
    if (startsWith(b, 'GIF87a') || startsWith(b, 'GIF89a')) return 'gif';
    if (startsWith(b, 'BM')) return 'bmp';
    if (startsWith(b, 'II*\0') || startsWith(b, 'MM\0*')) return 'tiff';
    if (isMetafile(b)) return 'wmf';
    return null;  // Targa among them: the program's own decoder tries it
  }

  // ---- TIFF structures (TIFF files, and the Exif block of a JPEG or a PNG) ----

  const TIFF_TYPE_BYTES = [0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8];

  // The first directory as UTIF's documented shape ({t256: [width], ...}), every entry's
  // values checked to lie inside the structure. Pointers to further directories are left
  // out: they can loop, and the first picture needs none of them.
  function tiffDirectory(b) {
    const little = b[0] === 0x49 && b[1] === 0x49;
    if (!little && !(b[0] === 0x4D && b[1] === 0x4D)) return null;
    const u16 = little ? le16 : be16;
    const u32 = little ? le32 : be32;
    if (u16(b, 2) !== 42) return null;
    const at = u32(b, 4);
    const count = u16(b, at);
    if (at < 8 || count <= 0 || count > MAX_TIFF_ENTRIES || at + 2 + count * 12 > b.length) return null;
    const ifd = { isLE: little };
    for (let i = 0; i < count; ++i) {
      const entry = at + 2 + i * 12;
      const tag = u16(b, entry);
      const type = u16(b, entry + 2);
      const n = u32(b, entry + 4);
      if (type < 1 || type >= TIFF_TYPE_BYTES.length) continue;
      if (tag === 330 || tag === 34665 || tag === 34853 || tag === 37500 || tag === 50740) continue;
      const bytes = TIFF_TYPE_BYTES[type] * n;
      const where = bytes <= 4 ? entry + 8 : u32(b, entry + 8);
      if (n === 0 || where < 0 || where + bytes > b.length) continue;
      let values;
      if (type === 1 || type === 6 || type === 7) {
        values = b.subarray(where, where + n);
      } else if (type === 2) {
        values = [String.fromCharCode.apply(null, b.subarray(where, where + Math.min(n, 4096))).replace(/\0.*$/s, '')];
      } else {
        values = [];
        for (let k = 0; k < n; ++k) {
          const p = where + k * TIFF_TYPE_BYTES[type];
          switch (type) {
            case 3: values.push(u16(b, p)); break;
            case 4: values.push(u32(b, p)); break;
            case 8: values.push(s16(u16(b, p))); break;
            case 9: values.push(s32(u32(b, p))); break;
            case 5: values.push(u32(b, p) / u32(b, p + 4)); break;
            case 10: values.push(s32(u32(b, p)) / s32(u32(b, p + 4))); break;
            case 11: values.push(new DataView(b.buffer, b.byteOffset + p, 4).getFloat32(0, little)); break;
            default: values.push(new DataView(b.buffer, b.byteOffset + p, 8).getFloat64(0, little)); break;
          }
        }
      }
      ifd['t' + tag] = values;
    }
    return ifd;
  }

  function first(ifd, tag, otherwise) {
    const v = ifd['t' + tag];
    return v && v.length > 0 ? v[0] : otherwise;
  }

  // 1 is upright; 2 to 8 are the mirrorings and quarter turns. Senseless values count as 1.
  function tiffOrientation(b) {
    const ifd = tiffDirectory(b);
    const o = ifd ? ifd.t274 : null;
    return o && o.length === 1 && o[0] >= 1 && o[0] <= 8 ? o[0] : 1;
  }

  function oriented(size, orientation) {
    return orientation >= 5 ? { width: size.height, height: size.width } : size;
  }

  // ---- Header sizes ----

  function pngSize(b) {
    if (be32(b, 8) !== 13 || !startsWith(b.subarray(12), 'IHDR')) return null;
    const size = { width: be32(b, 16), height: be32(b, 20) };
    // The browser turns a PNG by the orientation of an Exif chunk before its pixels, as it
    // does a photo.
    let orientation = 1;
    for (let at = 33; at + 8 <= b.length;) {
      const length = be32(b, at);
      const type = String.fromCharCode(b[at + 4], b[at + 5], b[at + 6], b[at + 7]);
      if (type === 'IDAT' || type === 'IEND' || at + 12 + length > b.length) break;
      if (type === 'eXIf') {
        orientation = tiffOrientation(b.subarray(at + 8, at + 8 + length));
        break;
      }
      at += 12 + length;
    }
    return oriented(size, orientation);
  }

  function gifSize(b) {
    const screen = { width: le16(b, 6), height: le16(b, 8) };
    let at = 13;
    if (b[10] & 0x80) at += 3 << ((b[10] & 7) + 1);
    // The browser's picture is the logical screen widened to hold the first frame.
    while (at < b.length) {
      const kind = b[at];
      if (kind === 0x2C) {
        const x = le16(b, at + 1), y = le16(b, at + 3), w = le16(b, at + 5), h = le16(b, at + 7);
        if (h < 0) return null;
        return { width: Math.max(screen.width, x + w), height: Math.max(screen.height, y + h) };
      }
      if (kind !== 0x21) return null;
      at += 2;
      while (at < b.length && b[at] !== 0) at += b[at] + 1;
      at += 1;
    }
    return null;
  }

  function jpegSize(b) {
    let size = null;
    let orientation = 0;
    let at = 2;
    while (at + 4 <= b.length) {
      if (b[at] !== 0xFF) break;  // stray bytes: the decoder skips them, and so does the scan
      const marker = b[at + 1];
      if (marker === 0xFF) { ++at; continue; }  // fill byte
      if (marker === 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { at += 2; continue; }
      if (marker === 0xDA || marker === 0xD9) break;
      const length = be16(b, at + 2);
      if (length < 2 || at + 2 + length > b.length) return null;
      const body = at + 4;
      if (marker >= 0xC0 && marker <= 0xCF && marker !== 0xC4 && marker !== 0xC8 && marker !== 0xCC && !size) {
        size = { width: be16(b, body + 3), height: be16(b, body + 1) };
      }
      if (marker === 0xE1 && !orientation && length - 2 >= 6 && startsWith(b.subarray(body), 'Exif\0\0')) {
        orientation = tiffOrientation(b.subarray(body + 6, at + 2 + length));
      }
      at += 2 + length;
    }
    return size ? oriented(size, orientation || 1) : null;
  }

  function bmpSize(b) {
    const info = le32(b, 14);
    if (info === 12) return { width: le16(b, 18), height: le16(b, 20) };  // OS/2 1.x core header
    if (![40, 52, 56, 64, 108, 124].includes(info) || b.length < 26) return null;
    // A negative height means rows top-down.
    return { width: s32(le32(b, 18)), height: Math.abs(s32(le32(b, 22))) };
  }

  function tiffSize(b) {
    const ifd = tiffDirectory(b);
    return ifd ? { width: first(ifd, 256, 0), height: first(ifd, 257, 0) } : null;
  }

  // ---- Metafiles: what one looks like and the size it is shown at ----

  const PLACEABLE_KEY = 0x9AC6CDD7;
  const PLACEABLE_BYTES = 22;
  const META_HEADER_BYTES = 18;

  function isPlaceable(b) { return b.length >= PLACEABLE_BYTES && le32(b, 0) === PLACEABLE_KEY; }

  function isMetafile(b) {
    if (isPlaceable(b)) return true;
    const type = le16(b, 0), version = le16(b, 4);
    return b.length >= META_HEADER_BYTES && (type === 1 || type === 2) && le16(b, 2) === 9 &&
      (version === 0x0100 || version === 0x0300);
  }

  // Where the bitmap header lies in the records that carry one, from the record's start.
  const DIB_AT = { 0x0940: 22, 0x0B41: 26, 0x0F43: 28, 0x0D33: 24, 0x0142: 10 };

  // The records must run whole from the header to the end record, each no longer than the
  // header's longest; every bitmap in them must be one the page may decode. The size is
  // the placeable header's box at 96 dpi, or else the first window extent, a unit a pixel.
  function metafileLayout(b) {
    if (b.length > MAX_METAFILE_BYTES) return null;
    const placeable = isPlaceable(b);
    let at = placeable ? PLACEABLE_BYTES : 0;
    if (b.length < at + META_HEADER_BYTES || le16(b, at + 2) !== 9) return null;
    const longest = le32(b, at + 12);
    at += META_HEADER_BYTES;
    const records = at;
    let extent = null;
    for (let count = 0; ; ++count) {
      if (b.length - at < 6 || count > MAX_METAFILE_RECORDS) return null;
      const words = le32(b, at);
      const fn = le16(b, at + 4);
      if (words < 3 || words > longest || words > (b.length - at) / 2) return null;
      if (fn === 0) break;  // META_EOF
      if (fn === 0x020C && words >= 5 && !extent) {  // META_SETWINDOWEXT: height, width
        extent = { width: Math.abs(s16(le16(b, at + 8))), height: Math.abs(s16(le16(b, at + 6))) };
      }
      const dib = DIB_AT[fn];
      // A blit record without a bitmap is three words plus its parameters, as its number says.
      if (dib !== undefined && !(fn === 0x0940 || fn === 0x0B41 ? words === 3 + (fn >> 8) : false)) {
        if (dib + 12 > words * 2 || !dibAllowed(b.subarray(at + dib, at + words * 2))) return null;
      }
      at += words * 2;
    }
    let size = extent;
    if (placeable) {
      const perInch = le16(b, 14);
      if (perInch === 0) return null;
      const pixels = (from, to) => Math.floor((Math.abs(to - from) * METAFILE_DPI + Math.floor(perInch / 2)) / perInch);
      size = {
        width: pixels(s16(le16(b, 6)), s16(le16(b, 10))),
        height: pixels(s16(le16(b, 8)), s16(le16(b, 12))),
      };
    }
    return size ? { size, placeable, records } : null;
  }

  function dibAllowed(d) {
    const info = le32(d, 0);
    if (info === 12) return allowed(le16(d, 4), le16(d, 6));
    if (info < 40) return false;
    return allowed(s32(le32(d, 4)), Math.abs(s32(le32(d, 8))));
  }

  // ---- The size probe ----

  function naturalSize(b, kind) {
    switch (kind) {
      case 'png': return pngSize(b);
      case 'gif': return gifSize(b);
      case 'jpeg': return jpegSize(b);
      case 'bmp': return bmpSize(b);
      case 'tiff': return tiffSize(b);
      case 'wmf': { const layout = metafileLayout(b); return layout ? layout.size : null; }
      default: return null;
    }
  }

  function asBytes(bytes) {
    if (bytes instanceof Uint8Array) return bytes;
    if (bytes instanceof ArrayBuffer) return new Uint8Array(bytes);
    if (ArrayBuffer.isView(bytes)) return new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    return null;
  }

  function probe(bytes) {
    try {
      const b = asBytes(bytes);
      if (!b) return null;
      const size = naturalSize(b, sniff(b));
      return size && allowed(size.width, size.height) ? { width: size.width, height: size.height } : null;
    } catch (e) {
      return null;
    }
  }

  // The largest size of the picture's shape within the box, rounded down, never below 1 x 1;
  // 0 sets no limit on that side.
  function fit(size, maxWidth, maxHeight) {
    const boxW = maxWidth > 0 ? Math.floor(maxWidth) : Infinity;
    const boxH = maxHeight > 0 ? Math.floor(maxHeight) : Infinity;
    const w = size.width, h = size.height;
    if (w <= boxW && h <= boxH) return size;
    let out;
    if (boxH === Infinity || (boxW !== Infinity && w * boxH >= h * boxW)) {
      out = { width: boxW, height: Math.floor((h * boxW) / w) };
    } else {
      out = { width: Math.floor((w * boxH) / h), height: boxH };
    }
    return { width: Math.max(out.width, 1), height: Math.max(out.height, 1) };
  }

  // ---- Decoding ----

  function result(width, height, rgba) {
    let alpha = 255;
    for (let i = 3; i < rgba.length; i += 4) alpha &= rgba[i];
    return { width, height, rgba, opaque: alpha === 255 };
  }

  function pixelsOf(source, width, height) {
    const canvas = new OffscreenCanvas(width, height);
    const context = canvas.getContext('2d', { willReadFrequently: true });
    context.drawImage(source, 0, 0, width, height);
    return context.getImageData(0, 0, width, height).data;
  }

  async function browserDecode(b, natural, shown) {
    const options = { imageOrientation: 'from-image', premultiplyAlpha: 'none', colorSpaceConversion: 'none' };
    if (shown.width !== natural.width || shown.height !== natural.height) {
      Object.assign(options, { resizeWidth: shown.width, resizeHeight: shown.height, resizeQuality: 'high' });
    }
    const bitmap = await createImageBitmap(new Blob([b]), options);
    try {
      // Anything but the size the header promised would break the probe's word.
      if (bitmap.width !== shown.width || bitmap.height !== shown.height) return null;
      return result(shown.width, shown.height, pixelsOf(bitmap, shown.width, shown.height));
    } finally {
      bitmap.close();
    }
  }

  // An opaque or not picture made smaller by the browser's own high-quality scaling.
  async function shrink(rgba, natural, shown) {
    if (shown.width === natural.width && shown.height === natural.height) return result(shown.width, shown.height, rgba);
    const canvas = new OffscreenCanvas(natural.width, natural.height);
    canvas.getContext('2d').putImageData(new ImageData(rgba, natural.width, natural.height), 0, 0);
    const bitmap = await createImageBitmap(canvas, {
      premultiplyAlpha: 'none', resizeWidth: shown.width, resizeHeight: shown.height, resizeQuality: 'high',
    });
    try {
      return result(shown.width, shown.height, pixelsOf(bitmap, shown.width, shown.height));
    } finally {
      bitmap.close();
    }
  }

  const TIFF_COMPRESSIONS = [1, 2, 3, 4, 5, 7, 8, 32773, 32946];

  // Checks what UTIF would trust: every strip or tile inside the file, Deflate data that
  // inflates to no more than its place holds, a JPEG stream no larger than its picture.
  function tiffChecked(b) {
    const ifd = tiffDirectory(b);
    if (!ifd) return null;
    const width = first(ifd, 256, 0), height = first(ifd, 257, 0);
    const compression = first(ifd, 259, 1);
    const samples = first(ifd, 277, 1);
    const bits = ifd.t258 ? ifd.t258 : [1];
    if (!allowed(width, height) || !TIFF_COMPRESSIONS.includes(compression)) return null;
    // Each count below must be a whole number: the directory may give text or fractions where
    // numbers belong, and a NaN passes every comparison it is put to.
    const counted = (v) => Number.isInteger(v) && v >= 0;
    if (!counted(samples) || samples < 1 || samples > 8) return null;
    if (bits.length > 8 || Array.prototype.some.call(bits, (v) => !counted(v) || v < 1 || v > 32)) return null;
    if (first(ifd, 284, 1) !== 1) return null;  // separate colour planes: UTIF reads them wrong
    const photometric = first(ifd, 262, 2);
    if (![0, 1, 2, 3, 5].includes(photometric) && !(compression === 7 && photometric === 6)) return null;
    if (photometric === 3 && !ifd.t320) return null;
    // UTIF keeps the whole picture as stored before it makes the RGBA copy.
    const pixelBits = bits[0] * samples;
    if (height * Math.ceil((width * pixelBits) / 8) > MAX_TIFF_STORED_BYTES) return null;
    const tiled = ifd.t322 !== undefined;
    const offsets = tiled ? ifd.t324 : (ifd.t273 || ifd.t324);
    let counts = tiled ? ifd.t325 : (ifd.t279 || ifd.t325);
    if (!offsets || offsets.length === 0) return null;
    const rowBytes = Math.ceil((width * pixelBits) / 8);
    // A tile is always whole; the last strip may hold fewer rows than the others.
    let pieceBytes;
    let pieces;
    let lastBytes;
    let pieceWidth = width;
    let pieceRows;
    if (tiled) {
      const tw = first(ifd, 322, 0), th = first(ifd, 323, 0);
      if (!allowed(tw, th)) return null;
      pieceBytes = lastBytes = Math.ceil((tw * th * pixelBits) / 8);
      pieces = Math.ceil(width / tw) * Math.ceil(height / th);
      pieceWidth = tw;
      pieceRows = th;
    } else {
      const rowsPerStrip = first(ifd, 278, height);
      if (!counted(rowsPerStrip) || rowsPerStrip < 1) return null;
      pieceRows = Math.min(rowsPerStrip, height);
      pieceBytes = pieceRows * rowBytes;
      pieces = Math.ceil(height / pieceRows);
      lastBytes = (height - (pieces - 1) * pieceRows) * rowBytes;
    }
    if (compression === 1 && !tiled && offsets.length === 1) counts = [height * rowBytes];
    if (!counts || offsets.length < pieces || counts.length < pieces) return null;
    for (let i = 0; i < pieces; ++i) {
      const at = offsets[i], n = counts[i];
      if (!(counted(at) && counted(n) && at + n <= b.length)) return null;
      if (compression === 1 && n < (i === pieces - 1 ? lastBytes : pieceBytes)) return null;
      if ((compression === 8 || compression === 32946) && !inflatesWithin(b.subarray(at, at + n), pieceBytes)) return null;
      if (compression === 5 && !lzwWithin(b, at, n, pieceBytes)) return null;
      if (compression === 7 && !jpegStreamWithin(jpegAsDecoded(ifd.t347, b.subarray(at, at + n)), pieceWidth, pieceRows)) return null;
    }
    return { ifd, width, height, pieceWidth };
  }

  function inflatesWithin(data, most) {
    if (typeof pako === 'undefined') return false;
    let total = 0;
    const inflater = new pako.Inflate({ chunkSize: 65536 });
    inflater.onData = (chunk) => {
      total += chunk.length;
      if (total > most) throw new Error('inflates past its place');
    };
    inflater.onEnd = () => {};
    inflater.push(data, true);
    return !inflater.err && total <= most;
  }

  // UTIF's LZW decoder writes a code out by following its chain of earlier codes back to
  // the first byte, in a table it keeps from one picture to the next. A code beyond the
  // next one it would add, or one not yet added right after a clear, makes it follow codes
  // of an earlier picture, whose chains can run in a circle: the tab would hang. The codes
  // are read here first as that decoder reads them (the same bits, widths and table
  // growth, without the bytes), and such a code, or more bytes than the piece holds, refuses
  // the file.
  function lzwWithin(b, at, n, most) {
    const CLEAR = 256, END = 257, FIRST = 258;
    const length = new Uint32Array(4096);  // how many bytes each code stands for
    length.fill(1, 0, FIRST);
    let bit = at * 8;
    const stop = (at + n) * 8;
    let width = 9, next = FIRST, previous = 0, total = 0;
    const read = () => {
      const i = bit >>> 3;
      const word = (b[i] << 16) | (b[i + 1] << 8) | b[i + 2];
      const code = (word >>> (24 - (bit & 7) - width)) & ((1 << width) - 1);
      bit += width;
      return code;
    };
    // The next code stands for the previous one and one byte more; the width grows a code early.
    const add = () => {
      if (next < 4096) length[next] = length[previous] + 1;
      ++next;
      if (next + 1 === 1 << width && width !== 12) ++width;
    };
    while (bit < stop) {
      let code = read();
      if (code === END) break;
      if (code === CLEAR) {
        width = 9;
        next = FIRST;
        code = read();
        if (code === END) break;
        if (code >= next) return false;
      } else if (code <= next) {
        add();
      } else {
        return false;
      }
      total += length[code];
      if (total > most) return false;
      previous = code;
    }
    return true;
  }

  // The stream UTIF decodes a JPEG piece from: the file's shared tables up to their end
  // marker, then the piece without its start marker.
  function jpegAsDecoded(tables, piece) {
    if (!tables || typeof tables.length !== 'number') return piece;
    const out = [];
    for (let i = 0; i < tables.length - 1 && !(tables[i] === 0xFF && tables[i + 1] === 0xD9); ++i) out.push(tables[i] & 0xFF);
    const start = piece[0] === 0xFF && piece[1] === 0xD8 ? 2 : 0;
    for (let i = start; i < piece.length; ++i) out.push(piece[i]);
    return Uint8Array.from(out);
  }

  // A JPEG stream inside a TIFF states its own frame, which its decoder believes: the size,
  // and how each component is sampled, which sets how many blocks it decodes. A sampling of
  // 0 makes that count endless; JPEG allows 1 to 4.
  function jpegStreamWithin(d, width, height) {
    for (let i = 0; i + 9 <= d.length; ++i) {
      if (d[i] !== 0xFF) continue;
      const m = d[i + 1];
      if (m >= 0xC0 && m <= 0xCF && m !== 0xC4 && m !== 0xC8 && m !== 0xCC) {
        if (be16(d, i + 5) > height || be16(d, i + 7) > width) return false;
        const components = d[i + 9];
        if (!(components >= 1 && components <= 4) || i + 10 + components * 3 > d.length) return false;
        for (let c = 0; c < components; ++c) {
          const sampling = d[i + 11 + c * 3];
          if (!((sampling >> 4) >= 1 && (sampling >> 4) <= 4 && (sampling & 15) >= 1 && (sampling & 15) <= 4)) return false;
        }
      }
    }
    return true;
  }

  // UTIF's fax decoders (CCITT, compressions 2 to 4) read a code a bit at a time into a
  // string that is looked up after each bit, and grow a line by each run they read. In a
  // damaged piece that string grows to the piece's end, each bit costing its whole length
  // (16 KB took 16 s), and a line runs past the width, to be compared with every later bit.
  // No code is longer than 13 bits, the zeros that pad an end of line included not much
  // more, and no line is wider than its piece: past those the piece is damaged, and its
  // decoding stops there with an error.
  const LONGEST_FAX_CODE = 32;
  let faxWidth = 0;
  function guardFaxDecoders() {
    const decoders = UTIF.decode;
    if (decoders.guardedHere) return;
    const guarded = (table) => new Proxy(table, {
      get(target, key) {
        if (typeof key === 'string' && key.length > LONGEST_FAX_CODE) throw new Error('a fax code past the longest');
        return target[key];
      },
    });
    decoders._lens = decoders._lens.map(guarded);
    decoders._dmap = guarded(decoders._dmap);
    const addRun = decoders._addNtimes;
    decoders._addNtimes = (line, n, value) => {
      if (line.length + n > faxWidth) throw new Error('a fax line past its width');
      addRun(line, n, value);
    };
    decoders.guardedHere = true;
  }

  async function tiffDecode(b, shown) {
    if (typeof UTIF === 'undefined') return null;
    const checked = tiffChecked(b);
    if (!checked) return null;
    const { ifd, width, height } = checked;
    guardFaxDecoders();
    faxWidth = checked.pieceWidth;
    const copy = b.slice();  // UTIF reads from the whole of the buffer it is given
    UTIF.decodeImage(copy.buffer, ifd, [ifd]);
    if (!ifd.data || ifd.width !== width || ifd.height !== height) return null;
    const rgba = UTIF.toRGBA8(ifd);
    if (!rgba || rgba.length !== width * height * 4) return null;
    const clamped = new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, rgba.length);
    return shrink(clamped, { width, height }, shown);
  }

  // ---- A metafile's drawing, written as SVG text ----

  // WMFJS builds its drawing through a document's createElementNS, and a worker has no
  // document; the drawing is only ever written out, so a document that writes text is enough.
  // Only the page's thread can read SVG, and reading it costs that thread time in proportion
  // to the elements and bytes read, so the drawing goes to it in parts of a bounded size, each
  // read in a task of its own (the browser draws the pixels elsewhere). A drawing past the
  // ceilings is refused here. A part takes the page's thread a frame or two; a bitmap in a
  // drawing is read whole, a quarter of a second here for one of a million pixels
  // (bench/README.md).
  const MAX_DRAWING_ELEMENTS = 20000;
  const MAX_DRAWING_BYTES = 8 * 1024 * 1024;
  // One element is read whole: a bitmap in a drawing is its bytes as text (this many: a
  // bitmap of a million pixels).
  const MAX_ELEMENT_BYTES = 4 * 1024 * 1024 + 1024;
  const PART_ELEMENTS = 250;
  const PART_BYTES = 256 * 1024;
  // A shape with the clipping and definitions it needs is read in one part, however large.
  const MAX_SHAPE_ELEMENTS = 2000;
  // A clipping region selected opens an <svg> inside the one before; the browser's XML
  // parser stops far deeper than any drawing a player made, and its layout slows long before.
  const MAX_DRAWING_DEPTH = 256;
  const SVG_NS = 'http://www.w3.org/2000/svg';
  const XLINK_NS = 'http://www.w3.org/1999/xlink';

  class DrawingLimit extends Error {}

  function drawingDocument() {
    let elements = 0;
    let bytes = 0;
    const spend = (n) => {
      bytes += n;
      if (bytes > MAX_DRAWING_BYTES) throw new DrawingLimit('a drawing past its ceiling');
    };
    class Element {
      constructor(name) {
        this.name = name;
        this.attributes = new Map();
        this.children = [];
      }
      // WMFJS reads one property back: a filter's id, as a document reflects it.
      get id() { return this.attributes.get('id') || ''; }
      setAttribute(key, value) {
        const text = String(value);
        // WMFJS names a text's background by the filter's id, which it never sets: a page
        // that draws the whole drawing at once ignores "url(#)", and drawn in parts it would
        // hide text, so it is left out.
        if (key === 'filter' && text === 'url(#)') return;
        spend(key.length + text.length + 4);
        this.attributes.set(key, text);
      }
      setAttributeNS(ns, key, value) { this.setAttribute(ns === XLINK_NS ? 'xlink:' + key : key, value); }
      appendChild(child) {
        this.children.push(child);
        return child;
      }
    }
    return {
      createElementNS(ns, name) {
        if (++elements > MAX_DRAWING_ELEMENTS) throw new DrawingLimit('a drawing of too many elements');
        spend(2 * name.length + 5);
        return new Element(String(name));
      },
      createTextNode(value) {
        const text = String(value);
        spend(text.length);
        return { text };
      },
    };
  }

  // As the browser's XMLSerializer writes them.
  const escapeText = (text) => text.replace(/[&<>]/g, (c) => (c === '&' ? '&amp;' : c === '<' ? '&lt;' : '&gt;'));
  const ESCAPED = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', '\t': '&#9;', '\n': '&#10;', '\r': '&#13;' };
  const escapeAttribute = (text) => text.replace(/[&<>"\t\n\r]/g, (c) => ESCAPED[c]);

  // An element and all inside it, written out without recursion: the nesting is the file's.
  function drawingText(root, rootDepth) {
    const out = [];
    const stack = [[root, rootDepth]];
    while (stack.length > 0) {
      const [node, depth] = stack.pop();
      if (typeof node === 'string') {  // an end tag
        out.push(node);
        continue;
      }
      if (node.written !== undefined) {  // written out already
        out.push(node.written);
        continue;
      }
      if (node.text !== undefined) {
        out.push(escapeText(node.text));
        continue;
      }
      if (depth > MAX_DRAWING_DEPTH) throw new DrawingLimit('a drawing nested too deep');
      out.push('<', node.name);
      for (const [key, value] of node.attributes) out.push(' ', key, '="', escapeAttribute(value), '"');
      if (node.children.length === 0) {
        out.push('/>');
        continue;
      }
      out.push('>');
      stack.push([`</${node.name}>`, depth]);
      for (let i = node.children.length - 1; i >= 0; --i) stack.push([node.children[i], depth + 1]);
    }
    return out.join('');
  }

  function eachElement(root, visit) {
    const stack = [root];
    while (stack.length > 0) {
      const node = stack.pop();
      if (!node.children) continue;
      visit(node);
      for (const child of node.children) stack.push(child);
    }
  }

  function elementCount(node) {
    let count = 0;
    eachElement(node, () => { ++count; });
    return count;
  }

  // The drawing as SVG documents that, drawn one over the other in turn, draw what the whole
  // does: each holds a run of the shapes in their order, inside copies of the <svg> elements
  // (a window, a viewport and a clipping) they stand in, with the definitions they name.
  // Every shape is drawn over what is there already, each on its own, so a cut between two
  // changes nothing but the rounding where smoothed edges (of text) overlap. A shape that
  // needs more than a part holds (a clipping of many rectangles) has a part of its own, up to
  // a ceiling.
  function drawingParts(root) {
    const shell = (node) => ({ name: node.name, attributes: node.attributes, children: [] });
    const definitions = new Map();
    for (const child of root.children) {
      if (child.name !== 'defs') continue;
      for (const definition of child.children) {
        const id = definition.attributes && definition.attributes.get('id');
        if (id) definitions.set(id, { node: definition, cost: null });
      }
    }
    const costOf = (definition) => {
      if (!definition.cost) {
        definition.cost = { elements: elementCount(definition.node), bytes: drawingText(definition.node, 2).length };
      }
      return definition.cost;
    };
    const named = (text, into) => {
      for (const match of text.matchAll(/url\(#([^)]*)\)/g)) if (definitions.has(match[1])) into.add(match[1]);
    };
    const parts = [];
    let part = null;
    let total = 0;
    const close = () => {
      if (!part) return;
      const defs = [...part.named].map((id) => definitions.get(id).node);
      if (defs.length > 0) part.root.children.unshift({ name: 'defs', attributes: new Map(), children: defs });
      const text = drawingText(part.root, 0);
      total += text.length;
      if (total > 2 * MAX_DRAWING_BYTES) throw new DrawingLimit('a drawing past its ceiling');
      parts.push(text);
      part = null;
    };
    const open = () => ({ root: shell(root), open: [], named: new Set(), elements: 0, bytes: 0 });
    // What adding the shape costs the part: the shape, the copies of <svg>s it needs that the
    // part has not opened yet, and the definitions they name that the part lacks.
    const cost = (node, text, chain) => {
      let same = 0;
      while (same < part.open.length && same < chain.length && part.open[same].from === chain[same]) ++same;
      const names = new Set();
      named(text, names);
      let elements = elementCount(node) + chain.length - same;
      let bytes = text.length;
      for (let i = same; i < chain.length; ++i) {
        for (const value of chain[i].attributes.values()) named(value, names);
        bytes += 64;
      }
      for (const id of names) {
        if (part.named.has(id)) continue;
        const { elements: e, bytes: b } = costOf(definitions.get(id));
        elements += e;
        bytes += b;
      }
      return { same, names, elements, bytes };
    };
    // The shapes in document order, each with the <svg> elements it stands in.
    const walk = [[root, []]];
    while (walk.length > 0) {
      const [node, chain] = walk.pop();
      if (node.name === 'svg') {
        const inner = node === root ? [] : chain.concat([node]);
        for (let i = node.children.length - 1; i >= 0; --i) {
          const child = node.children[i];
          if (child.children && child.name !== 'defs') walk.push([child, inner]);
        }
        continue;
      }
      const text = drawingText(node, chain.length + 1);
      if (!part) part = open();
      let need = cost(node, text, chain);
      if (part.elements > 0 && (part.elements + need.elements > PART_ELEMENTS || part.bytes + need.bytes > PART_BYTES)) {
        close();
        part = open();
        need = cost(node, text, chain);
      }
      if (need.elements > MAX_SHAPE_ELEMENTS || need.bytes > MAX_ELEMENT_BYTES) {
        throw new DrawingLimit('a shape past its ceiling');
      }
      // The copies of the <svg> elements this shape stands in: those of the shape before, as
      // far as the two share them, then new ones.
      part.open.length = need.same;
      for (let i = need.same; i < chain.length; ++i) {
        const copy = shell(chain[i]);
        (i === 0 ? part.root : part.open[i - 1].copy).children.push(copy);
        part.open.push({ from: chain[i], copy });
      }
      (chain.length === 0 ? part.root : part.open[chain.length - 1].copy).children.push({ written: text });
      for (const id of need.names) part.named.add(id);
      part.elements += need.elements;
      part.bytes += need.bytes;
    }
    close();
    return parts;
  }

  // The drawing is played at the size it is shown at, as the desktop's GDI does: the window
  // is first set to the placeable header's box (or the size), then the records run. The
  // page draws it onto white.
  function metafileDrawing(b, shown) {
    if (typeof WMFJS === 'undefined') return null;
    const layout = metafileLayout(b);
    if (!layout) return null;
    const start = [];
    const record = (fn, params) => {
      const words = [3 + params.length, 0, fn].concat(params);
      for (const w of words) start.push(w & 0xFF, (w >> 8) & 0xFF);
    };
    if (layout.placeable) {
      const left = s16(le16(b, 6)), top = s16(le16(b, 8));
      record(0x020B, [top, left]);  // META_SETWINDOWORG: y, x
      record(0x020C, [s16(le16(b, 12)) - top, s16(le16(b, 10)) - left]);  // META_SETWINDOWEXT: height, width
    } else {
      record(0x020C, [layout.size.height, layout.size.width]);
    }
    const played = new Uint8Array(b.length - (layout.placeable ? PLACEABLE_BYTES : 0) + start.length);
    played.set(b.subarray(layout.placeable ? PLACEABLE_BYTES : 0, layout.records), 0);
    played.set(start, layout.records - (layout.placeable ? PLACEABLE_BYTES : 0));
    played.set(b.subarray(layout.records), layout.records - (layout.placeable ? PLACEABLE_BYTES : 0) + start.length);

    WMFJS.loggingEnabled(false);
    const hadDocument = Object.prototype.hasOwnProperty.call(globalThis, 'document');
    const formerDocument = globalThis.document;
    globalThis.document = drawingDocument();
    let svg;
    try {
      svg = new WMFJS.Renderer(played.buffer).render({
        width: shown.width + 'px', height: shown.height + 'px', xExt: shown.width, yExt: shown.height, mapMode: 8,
      });
      // GDI draws without smoothing shapes' edges, and stretches a bitmap over the whole box
      // it is given, pixel by pixel, where an SVG image keeps its shape and blurs.
      svg.setAttribute('shape-rendering', 'crispEdges');
      eachElement(svg, (element) => {
        if (element.name !== 'image') return;
        element.setAttribute('preserveAspectRatio', 'none');
        element.setAttribute('style', 'image-rendering: pixelated');
      });
    } finally {
      if (hadDocument) globalThis.document = formerDocument;
      else delete globalThis.document;
    }
    svg.setAttribute('xmlns', SVG_NS);
    svg.setAttribute('xmlns:xlink', XLINK_NS);
    return { width: shown.width, height: shown.height, parts: drawingParts(svg) };
  }

  // The TIFF and metafile decoders come the first time a file needs them, not with the
  // worker; where they are loaded already, nothing is fetched.
  function need(global, file) {
    if (typeof globalThis[global] === 'undefined' && typeof importScripts === 'function') {
      try {
        importScripts(file);
      } catch (e) {
        // Not to be had (offline, say): that format gives null.
      }
    }
  }

  // The pixels, no larger than the box (0: no limit that way): { width, height, rgba, opaque }
  // with rgba four bytes a pixel; for a metafile, the drawing to draw onto white, in the
  // order given: { width, height, parts } (SVG documents as text).
  async function decode(bytes, name, maxWidth, maxHeight) {
    try {
      const b = asBytes(bytes);
      if (!b) return null;
      const kind = sniff(b);
      const natural = naturalSize(b, kind);
      if (!natural || !allowed(natural.width, natural.height)) return null;
      const shown = fit(natural, Number(maxWidth) || 0, Number(maxHeight) || 0);
      if (kind === 'tiff') {
        need('pako', 'pako_inflate.min.js');
        need('UTIF', 'UTIF.js');
        return await tiffDecode(b, shown);
      }
      if (kind === 'wmf') {
        need('WMFJS', 'WMFJS.bundle.min.js');
        return metafileDrawing(b, shown);
      }
      return await browserDecode(b, natural, shown);
    } catch (e) {
      return null;
    }
  }

  globalThis.BrindlewickPictures = Object.freeze({ probe, decode });
})();
