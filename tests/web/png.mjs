// PNG files for the browser's tests: pictures made in a line of code, and screenshots read
// back to compare with the kept references. 8-bit RGB and RGBA, not interlaced.
import zlib from 'node:zlib';
import { crc32 } from './picture_files.mjs';

function chunk(type, body) {
  const out = Buffer.alloc(12 + body.length);
  out.writeUInt32BE(body.length, 0);
  out.write(type, 4, 'latin1');
  body.copy(out, 8);
  out.writeUInt32BE(crc32(out.subarray(4, 8 + body.length)), 8 + body.length);
  return out;
}

export const PNG = {
  // A width x height RGB picture whose colour at (x, y) is colourAt(x, y), 0xRRGGBB.
  write(width, height, colourAt) {
    const rows = Buffer.alloc((width * 3 + 1) * height);
    for (let y = 0; y < height; y++) {
      const row = y * (width * 3 + 1);
      for (let x = 0; x < width; x++) {
        const colour = colourAt(x, y);
        rows[row + 1 + x * 3] = colour >> 16;
        rows[row + 2 + x * 3] = (colour >> 8) & 0xFF;
        rows[row + 3 + x * 3] = colour & 0xFF;
      }
    }
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header[8] = 8;
    header[9] = 2;
    return Buffer.concat([Buffer.from([0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A]), chunk('IHDR', header),
      chunk('IDAT', zlib.deflateSync(rows)), chunk('IEND', Buffer.alloc(0))]);
  },

  // { width, height, data: RGBA bytes }.
  read(file) {
    let at = 8;
    let width = 0;
    let height = 0;
    let channels = 0;
    const parts = [];
    while (at < file.length) {
      const length = file.readUInt32BE(at);
      const type = file.toString('latin1', at + 4, at + 8);
      const body = file.subarray(at + 8, at + 8 + length);
      if (type === 'IHDR') {
        width = body.readUInt32BE(0);
        height = body.readUInt32BE(4);
        if (body[8] !== 8 || body[12] !== 0 || (body[9] !== 2 && body[9] !== 6)) throw new Error('an unexpected PNG');
        channels = body[9] === 6 ? 4 : 3;
      } else if (type === 'IDAT') {
        parts.push(body);
      }
      at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(parts));
    const stride = width * channels;
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; y++) {
      const filter = raw[y * (stride + 1)];
      const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
      for (let i = 0; i < stride; i++) {
        const left = i >= channels ? pixels[y * stride + i - channels] : 0;
        const up = y > 0 ? pixels[(y - 1) * stride + i] : 0;
        const corner = y > 0 && i >= channels ? pixels[(y - 1) * stride + i - channels] : 0;
        let value = line[i];
        if (filter === 1) value += left;
        else if (filter === 2) value += up;
        else if (filter === 3) value += (left + up) >> 1;
        else if (filter === 4) {
          const p = left + up - corner;
          const pa = Math.abs(p - left);
          const pb = Math.abs(p - up);
          const pc = Math.abs(p - corner);
          value += pa <= pb && pa <= pc ? left : pb <= pc ? up : corner;
        }
        pixels[y * stride + i] = value & 0xFF;
      }
    }
    const data = Buffer.alloc(width * height * 4);
    for (let i = 0; i < width * height; i++) {
      data[i * 4] = pixels[i * channels];
      data[i * 4 + 1] = pixels[i * channels + 1];
      data[i * 4 + 2] = pixels[i * channels + 2];
      data[i * 4 + 3] = channels === 4 ? pixels[i * channels + 3] : 255;
    }
    return { width, height, data };
  },
};
