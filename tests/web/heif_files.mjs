// HEIC files as a phone writes them, for the maker's tests: Debian's heif-enc (libheif 1.15)
// writes neither a rotation (irot) nor a grid of tiles, so the pictures it codes are taken out of
// its files and written anew here into a HEIF container (ISO/IEC 23008-12) that has them.
import fs from 'node:fs';
import path from 'node:path';
import { execFileSync } from 'node:child_process';

const u16 = (v) => Buffer.from([v >> 8, v & 0xff]);
const u32 = (v) => { const b = Buffer.alloc(4); b.writeUInt32BE(v); return b; };
const text = (s) => Buffer.from(s, 'latin1');

function box(type, ...parts) {
  const body = Buffer.concat(parts);
  return Buffer.concat([u32(body.length + 8), text(type), body]);
}

const full_box = (type, version, flags, ...parts) =>
  box(type, Buffer.from([version, flags >> 16, (flags >> 8) & 0xff, flags & 0xff]), ...parts);

// The boxes between start and end: { type, start (of its body), end }.
function boxes(b, start, end) {
  const found = [];
  for (let i = start; i + 8 <= end;) {
    const size = b.readUInt32BE(i);
    if (size < 8) throw new Error(`a box of ${size} bytes at ${i}`);
    found.push({ type: b.toString('latin1', i + 4, i + 8), start: i + 8, end: i + size });
    i += size;
  }
  return found;
}

const child = (b, parent, type, skip = 0) => boxes(b, parent.start + skip, parent.end).find((x) => x.type === type);

// An unsigned number of size bytes (0, 4 or 8) at i.
const sized = (b, i, size) => (size === 0 ? 0 : size === 4 ? b.readUInt32BE(i) : Number(b.readBigUInt64BE(i)));

// The HEVC-coded picture heif-enc wrote in file: its hvcC box as it is, its size and its data.
function coded_picture(file) {
  const b = fs.readFileSync(file);
  const meta = boxes(b, 0, b.length).find((x) => x.type === 'meta');
  const iinf = child(b, meta, 'iinf', 4);
  const item = boxes(b, iinf.start + 2 + 4, iinf.end)
    .map((infe) => ({ id: b.readUInt16BE(infe.start + 4), type: b.toString('latin1', infe.start + 8, infe.start + 12) }))
    .find((x) => x.type === 'hvc1');
  const iprp = child(b, meta, 'iprp', 4);
  const properties = boxes(b, child(b, iprp, 'ipco').start, child(b, iprp, 'ipco').end);
  const ipma = child(b, iprp, 'ipma');
  let indexes = [];
  for (let n = b.readUInt32BE(ipma.start + 4), i = ipma.start + 8; n > 0; n--) {
    const id = b.readUInt16BE(i);
    const count = b[i + 2];
    const these = [...b.subarray(i + 3, i + 3 + count)].map((v) => (v & 0x7f) - 1);
    if (id === item.id) indexes = these;
    i += 3 + count;
  }
  const owned = indexes.map((n) => properties[n]);
  const hvcc = owned.find((x) => x.type === 'hvcC');
  const ispe = owned.find((x) => x.type === 'ispe');
  // Its data: iloc's extents, from the file's start (version 0 or 1, construction method 0).
  const iloc = child(b, meta, 'iloc', 4);
  const version = b[iloc.start];
  const offset_size = b[iloc.start + 4] >> 4;
  const length_size = b[iloc.start + 4] & 15;
  const base_size = b[iloc.start + 5] >> 4;
  const index_size = version >= 1 ? b[iloc.start + 5] & 15 : 0;
  const parts = [];
  for (let n = b.readUInt16BE(iloc.start + 6), i = iloc.start + 8; n > 0; n--) {
    const id = b.readUInt16BE(i);
    i += 2 + (version >= 1 ? 2 : 0) + 2;
    const base = sized(b, i, base_size);
    i += base_size;
    for (let extents = b.readUInt16BE(i), j = (i += 2, 0); j < extents; j++) {
      i += index_size;
      const offset = sized(b, i, offset_size);
      const length = sized(b, i + offset_size, length_size);
      i += offset_size + length_size;
      if (id === item.id) parts.push(b.subarray(base + offset, base + offset + length));
    }
  }
  return {
    hvcc: b.subarray(hvcc.start - 8, hvcc.end),
    width: b.readUInt32BE(ispe.start + 4),
    height: b.readUInt32BE(ispe.start + 8),
    data: Buffer.concat(parts),
  };
}

// picture (any file ImageMagick reads, whose sides are multiples of 64, which heif-enc codes
// without padding) coded by heif-enc, with its colour profile if it has one.
export function encode_heic(picture, work, quality = 90) {
  const heic = path.join(work, `${path.basename(picture)}.heic`);
  execFileSync('heif-enc', ['-q', String(quality), '-o', heic, picture], { stdio: ['ignore', 'ignore', 'pipe'] });
  return heic;
}

// A HEIC of width x height: one coded picture, or a grid of tiles (each heif-enc's file, all of
// one size, in rows of columns) cut to width x height; turned counter-clockwise by that many
// quarter turns (irot) when quarter is not 0. The colour profile (colr) of the first file is kept.
export function heic_file({ width, height, files, columns = 1, quarter = 0 }) {
  const tiles = files.map(coded_picture);
  const colr = (() => {
    const b = fs.readFileSync(files[0]);
    const meta = boxes(b, 0, b.length).find((x) => x.type === 'meta');
    const ipco = child(b, child(b, meta, 'iprp', 4), 'ipco');
    const found = boxes(b, ipco.start, ipco.end).find((x) => x.type === 'colr');
    return found ? b.subarray(found.start - 8, found.end) : null;
  })();
  const grid = tiles.length > 1;
  const rows = Math.ceil(tiles.length / columns);
  const ispe = (w, h) => full_box('ispe', 0, 0, u32(w), u32(h));
  // Properties: each tile's hvcC and its ispe, the whole picture's ispe, colr, irot.
  const properties = [];
  const add = (property) => properties.push(property) - 1;
  const tile_props = tiles.map((t) => [add(t.hvcc), add(ispe(t.width, t.height))]);
  const whole = grid ? add(ispe(width, height)) : tile_props[0][1];
  const colour = colr ? add(colr) : -1;
  const turn = quarter ? add(box('irot', Buffer.from([quarter & 3]))) : -1;
  // Items: the grid (1) over its tiles (2...), or the picture alone (1).
  const primary = 1;
  const tile_ids = tiles.map((_, n) => (grid ? n + 2 : 1));
  const associations = new Map();
  tiles.forEach((_, n) => associations.set(tile_ids[n], [tile_props[n][0] | 0x80, ...(grid ? [tile_props[n][1]] : [])]));
  const primary_props = [...(associations.get(primary) ?? []), ...(grid ? [whole] : [tile_props[0][1]])];
  if (colour >= 0) primary_props.push(colour);
  if (turn >= 0) primary_props.push(turn | 0x80);
  associations.set(primary, primary_props);
  const grid_data = Buffer.concat([Buffer.from([0, 0, rows - 1, columns - 1]), u16(width), u16(height)]);
  const datas = grid ? [grid_data, ...tiles.map((t) => t.data)] : [tiles[0].data];
  const ids = grid ? [primary, ...tile_ids] : [primary];
  const infe = (id, type, hidden) => full_box('infe', 2, hidden ? 1 : 0, u16(id), u16(0), text(type), Buffer.from([0]));
  const ipma_entries = [...associations].sort((a, b) => a[0] - b[0]).map(([id, list]) =>
    Buffer.concat([u16(id), Buffer.from([list.length, ...list.map((v) => (v & 0x80) | ((v & 0x7f) + 1))])]));
  const make_meta = (mdat_start) => {
    let offset = mdat_start + 8;
    const iloc_entries = datas.map((d, n) => {
      const entry = Buffer.concat([u16(ids[n]), u16(0), u16(1), u32(offset), u32(d.length)]);
      offset += d.length;
      return entry;
    });
    return full_box('meta', 0, 0,
      full_box('hdlr', 0, 0, u32(0), text('pict'), Buffer.alloc(12), Buffer.from([0])),
      full_box('pitm', 0, 0, u16(primary)),
      full_box('iinf', 0, 0, u16(ids.length), ...ids.map((id, n) => infe(id, grid && n === 0 ? 'grid' : 'hvc1', grid && n > 0))),
      ...(grid ? [full_box('iref', 0, 0, box('dimg', u16(primary), u16(tile_ids.length), ...tile_ids.map(u16)))] : []),
      box('iprp', box('ipco', ...properties), full_box('ipma', 0, 0, u32(ipma_entries.length), ...ipma_entries)),
      full_box('iloc', 0, 0, Buffer.from([0x44, 0x00]), u16(ids.length), ...iloc_entries));
  };
  const ftyp = box('ftyp', text('heic'), u32(0), text('mif1'), text('heic'));
  // The meta box's size does not depend on where the data starts.
  const meta = make_meta(ftyp.length + make_meta(0).length);
  return Buffer.concat([ftyp, meta, box('mdat', ...datas)]);
}

// An ICC profile (version 2, matrix and curves) of a wide-gamut RGB space: Adobe RGB (1998)'s
// primaries adapted to D50 and a gamma of 2.2, for a picture whose colour must be converted.
export function wide_gamut_profile() {
  const s15 = (v) => { const b = Buffer.alloc(4); b.writeInt32BE(Math.round(v * 65536)); return b; };
  const xyz = (x, y, z) => Buffer.concat([text('XYZ '), Buffer.alloc(4), s15(x), s15(y), s15(z)]);
  const curve = Buffer.concat([text('curv'), Buffer.alloc(4), u32(1), u16(0x0233), Buffer.alloc(2)]);
  const tags = [
    ['wtpt', xyz(0.9642, 1, 0.8249)],
    ['rXYZ', xyz(0.60974, 0.31111, 0.01947)],
    ['gXYZ', xyz(0.20528, 0.62567, 0.06087)],
    ['bXYZ', xyz(0.14919, 0.06322, 0.74457)],
    ['rTRC', curve], ['gTRC', curve], ['bTRC', curve],
  ];
  let offset = 128 + 4 + tags.length * 12;
  const table = [];
  const data = [];
  for (const [signature, body] of tags) {
    table.push(Buffer.concat([text(signature), u32(offset), u32(body.length)]));
    data.push(body);
    offset += body.length;
  }
  const header = Buffer.concat([u32(offset), Buffer.alloc(4), u32(0x02100000), text('mntrRGB XYZ '), Buffer.alloc(12),
    text('acsp'), Buffer.alloc(24), u32(0), s15(0.9642), s15(1), s15(0.8249), Buffer.alloc(48)]);
  return Buffer.concat([header, u32(tags.length), ...table, ...data]);
}
