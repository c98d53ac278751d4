// Reads the PNG pictures Chromium's screencast sends: 8-bit truecolour, with or without alpha, not
// interlaced. Enough to read pixels' colours; anything else is refused rather than misread.
import zlib from 'node:zlib';

const Signature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

function paeth(left, up, upLeft) {
    const estimate = left + up - upLeft;
    const toLeft = Math.abs(estimate - left);
    const toUp = Math.abs(estimate - up);
    const toUpLeft = Math.abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft) return left;
    return toUp <= toUpLeft ? up : upLeft;
}

// {width, height, rgb(x, y) -> [r, g, b]} of a PNG file's bytes.
export function decodePng(bytes) {
    const file = Buffer.from(bytes);
    if (file.length < 8 || !file.subarray(0, 8).equals(Signature)) throw new Error('not a PNG');
    let width = 0;
    let height = 0;
    let channels = 0;
    const data = [];
    for (let at = 8; at + 8 <= file.length;) {
        const length = file.readUInt32BE(at);
        const type = file.toString('latin1', at + 4, at + 8);
        const body = file.subarray(at + 8, at + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            const [depth, colour, , , interlace] = body.subarray(8, 13);
            channels = {2: 3, 6: 4}[colour] ?? 0;
            if (depth !== 8 || channels === 0 || interlace !== 0)
                throw new Error(`unsupported PNG: depth ${depth}, colour type ${colour}, interlace ${interlace}`);
        } else if (type === 'IDAT') {
            data.push(body);
        } else if (type === 'IEND') {
            break;
        }
        at += 12 + length;
    }
    if (channels === 0) throw new Error('a PNG without its header');
    const filtered = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels;
    if (filtered.length < height * (stride + 1)) throw new Error('a PNG cut short');
    const pixels = Buffer.alloc(height * stride);
    for (let y = 0; y < height; ++y) {
        const filter = filtered[y * (stride + 1)];
        const source = y * (stride + 1) + 1;
        const row = y * stride;
        for (let i = 0; i < stride; ++i) {
            const left = i >= channels ? pixels[row + i - channels] : 0;
            const up = y > 0 ? pixels[row - stride + i] : 0;
            const upLeft = y > 0 && i >= channels ? pixels[row - stride + i - channels] : 0;
            const predicted = [0, left, up, (left + up) >> 1, paeth(left, up, upLeft)][filter];
            if (predicted === undefined) throw new Error(`unknown PNG filter ${filter} in row ${y}`);
            pixels[row + i] = (filtered[source + i] + predicted) & 0xff;
        }
    }
    return {
        width,
        height,
        rgb(x, y) {
            const at = y * stride + x * channels;
            return [pixels[at], pixels[at + 1], pixels[at + 2]];
        },
    };
}
