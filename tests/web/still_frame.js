// Still frames of the two hosts side by side: waiting until a screen has
// stopped moving, comparing two pictures pixel by pixel, and writing the
// pictures and their difference as PNG files for a person to look at.
'use strict';

const zlib = require('zlib');
const { sleep } = require('./browser_session');

const STILL_SHOTS = 3;       // this many equal pictures in a row make a still screen
const STILL_GAP_MS = 300;    // between them: longer than a few updates of any motion

// Calls take() until STILL_SHOTS pictures in a row are equal; the last one,
// or null when the deadline passes first.
async function waitForStill(take, waitMs) {
  const deadline = Date.now() + waitMs;
  let same = 0, previous = null;
  while (Date.now() < deadline) {
    const shot = await take();
    same = previous && shot && previous.pixels.equals(shot.pixels) ? same + 1 : 1;
    if (same >= STILL_SHOTS) return shot;
    previous = shot;
    await sleep(STILL_GAP_MS);
  }
  return null;
}

// Per pixel, the largest difference of its three channels, both in place
// and against the closest of the other picture's pixels within one pixel
// (two rasterisers may put an edge or a filtered texel a fraction of a
// pixel apart). Over the picture: the share of pixels that differ by more
// than `noise` in place, the share that still differ after that allowance,
// and the largest and mean difference in place. Both pictures must have one
// size.
function compareShots(a, b, noise) {
  if (a.width !== b.width || a.height !== b.height) {
    throw new Error(`sizes differ: ${a.width}x${a.height} and ${b.width}x${b.height}`);
  }
  const pixelDifference = (i, x, y) => {
    const pa = i * a.channels, pb = (y * b.width + x) * b.channels;
    let d = 0;
    for (let c = 0; c < 3; c++) d = Math.max(d, Math.abs(a.pixels[pa + c] - b.pixels[pb + c]));
    return d;
  };
  const pixels = a.width * a.height;
  const beyondNeighbours = new Uint8Array(pixels);
  let differing = 0, differingNearby = 0, largest = 0, sum = 0;
  for (let y = 0, i = 0; y < a.height; y++) {
    for (let x = 0; x < a.width; x++, i++) {
      const d = pixelDifference(i, x, y);
      largest = Math.max(largest, d);
      sum += d;
      if (d <= noise) continue;
      differing++;
      let nearest = d;
      for (let ny = Math.max(0, y - 1); ny <= Math.min(a.height - 1, y + 1); ny++) {
        for (let nx = Math.max(0, x - 1); nx <= Math.min(a.width - 1, x + 1); nx++) {
          nearest = Math.min(nearest, pixelDifference(i, nx, ny));
        }
      }
      if (nearest > noise) {
        differingNearby++;
        beyondNeighbours[i] = 1;
      }
    }
  }
  return { differingShare: differing / pixels, differingNearbyShare: differingNearby / pixels,
           largest, mean: sum / pixels, beyondNeighbours };
}

// The difference as a picture: the first picture dimmed to grey, and in red
// every pixel that differs even from its neighbours in the other picture.
function differencePicture(shot, beyondNeighbours) {
  const rgb = Buffer.alloc(shot.width * shot.height * 3);
  for (let i = 0; i < beyondNeighbours.length; i++) {
    const p = i * shot.channels;
    const grey = (shot.pixels[p] + shot.pixels[p + 1] + shot.pixels[p + 2]) / 9;
    rgb[i * 3] = beyondNeighbours[i] ? 255 : grey;
    rgb[i * 3 + 1] = beyondNeighbours[i] ? 0 : grey;
    rgb[i * 3 + 2] = beyondNeighbours[i] ? 0 : grey;
  }
  return encodePng(shot.width, shot.height, rgb);
}

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (const byte of bytes) c = CRC_TABLE[(c ^ byte) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function pngChunk(type, body) {
  const length = Buffer.alloc(4);
  length.writeUInt32BE(body.length);
  const typed = Buffer.concat([Buffer.from(type, 'ascii'), body]);
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(typed));
  return Buffer.concat([length, typed, crc]);
}

// 8-bit RGB pixels, row after row, as a PNG file (no filtering).
function encodePng(width, height, rgb) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;  // bits per channel
  header[9] = 2;  // RGB
  const stride = width * 3;
  const rows = Buffer.alloc((stride + 1) * height);
  for (let y = 0; y < height; y++) rgb.copy(rows, y * (stride + 1) + 1, y * stride, (y + 1) * stride);
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
                        pngChunk('IHDR', header), pngChunk('IDAT', zlib.deflateSync(rows)),
                        pngChunk('IEND', Buffer.alloc(0))]);
}

module.exports = { waitForStill, compareShots, differencePicture, encodePng };
