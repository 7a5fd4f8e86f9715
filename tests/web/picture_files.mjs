// Picture files made by hand for the browser's tests.

export const le16 = (v) => [v & 0xFF, (v >> 8) & 0xFF];
export const le32 = (v) => [...le16(v & 0xFFFF), ...le16((v >>> 16) & 0xFFFF)];
export const be16 = (v) => [(v >> 8) & 0xFF, v & 0xFF];
export const be32 = (v) => [...be16((v >>> 16) & 0xFFFF), ...be16(v & 0xFFFF)];

// The CRC of a PNG chunk (node's zlib.crc32 came with node 20.15; the tests run on 18 too).
export function crc32(bytes) {
  let crc = 0xFFFFFFFF;
  for (const byte of bytes) {
    crc ^= byte;
    for (let bit = 0; bit < 8; bit++) crc = (crc >>> 1) ^ (0xEDB88320 & -(crc & 1));
  }
  return (crc ^ 0xFFFFFFFF) >>> 0;
}

// A metafile of two rectangles, red over the left half and blue over the right, on a box of
// 2 x 1 inches at 1440 units an inch (placeable), or with only a window extent.
export function metafile(placeable, width = 2880, height = 1440, unitsPerInch = 1440, extra = []) {
  const records = [];
  let longest = 0;
  const record = (fn, params) => {
    longest = Math.max(longest, 3 + params.length);
    records.push(...le32(3 + params.length), ...le16(fn));
    for (const p of params) records.push(p & 0xFF, (p >> 8) & 0xFF);  // a bitmap's words are too many to spread
  };
  record(0x020B, [0, 0]);  // SetWindowOrg
  record(0x020C, [height, width]);  // SetWindowExt
  record(0x02FC, [0, 0x00FF, 0x0000, 0]);  // CreateBrushIndirect: solid red
  record(0x012D, [0]);  // SelectObject
  record(0x041B, [height, width / 2, 0, 0]);  // Rectangle
  record(0x02FC, [0, 0x0000, 0x00FF, 0]);  // solid blue
  record(0x012D, [1]);
  record(0x041B, [height, width, 0, width / 2]);
  for (const [fn, params] of extra) record(fn, params);
  record(0x0000, []);  // EOF
  const out = [];
  if (placeable) {
    out.push(...le32(0x9AC6CDD7), ...le16(0), ...le16(0), ...le16(0), ...le16(width), ...le16(height), ...le16(unitsPerInch), ...le32(0));
    let sum = 0;
    for (let i = 0; i < 20; i += 2) sum ^= out[i] | (out[i + 1] << 8);
    out.push(...le16(sum));
  }
  out.push(...le16(1), ...le16(9), ...le16(0x0300), ...le32((18 + records.length) / 2), ...le16(2), ...le32(longest), ...le16(0));
  return Buffer.concat([Buffer.from(out), Buffer.from(records)]);
}

