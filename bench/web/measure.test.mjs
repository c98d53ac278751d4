// bench/web's own reading of pictures, phases and logs, on made-up inputs whose answers are known.
// Run by scripts/bench-web before it drives the browser: `node --test bench/web/`.
import test from 'node:test';
import assert from 'node:assert/strict';
import zlib from 'node:zlib';
import {decodePng} from './png.mjs';
import {regions, classify, changes, phases, logPhases, onsetAgreement, frameCounts, neverShort, presentationDelays}
    from './measure.mjs';

// A PNG of `pixels` (rows of [r, g, b(, a)]) with every row under `filter`, written the way the
// format defines the filters, so that the decoder is held to the format and not to itself.
function encodePng(pixels, {alpha = false, filter = 0} = {}) {
    const height = pixels.length;
    const width = pixels[0].length;
    const channels = alpha ? 4 : 3;
    const stride = width * channels;
    const raw = rows => rows.map(row => row.flatMap(pixel => pixel.slice(0, channels)));
    const lines = raw(pixels);
    const paeth = (a, b, c) => {
        const p = a + b - c;
        const [pa, pb, pc] = [Math.abs(p - a), Math.abs(p - b), Math.abs(p - c)];
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    };
    const body = [];
    lines.forEach((line, y) => {
        body.push(filter);
        for (let i = 0; i < stride; ++i) {
            const a = i >= channels ? line[i - channels] : 0;
            const b = y > 0 ? lines[y - 1][i] : 0;
            const c = y > 0 && i >= channels ? lines[y - 1][i - channels] : 0;
            body.push((line[i] - [0, a, b, (a + b) >> 1, paeth(a, b, c)][filter] + 256) & 0xff);
        }
    });
    const chunk = (type, data) => {
        const length = Buffer.alloc(4);
        length.writeUInt32BE(data.length);
        return Buffer.concat([length, Buffer.from(type, 'latin1'), data, Buffer.alloc(4)]); // the CRC is not read
    };
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header.set([8, alpha ? 6 : 2, 0, 0, 0], 8);
    return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk('IHDR', header),
        chunk('IDAT', zlib.deflateSync(Buffer.from(body))), chunk('IEND', Buffer.alloc(0))]);
}

// Colours that make every filter's prediction matter: gradients, wraps past 255, and in the second
// row's second red a Paeth tie between up and up-left, which the format settles for up.
const picture = [
    [[10, 0, 0, 255], [30, 10, 128, 200], [255, 255, 255, 0]],
    [[0, 2, 3, 4], [200, 240, 5, 255], [17, 99, 254, 9]],
    [[255, 0, 255, 1], [0, 128, 0, 255], [240, 240, 240, 255]],
];

const filters = [['none', 0], ['sub', 1], ['up', 2], ['average', 3], ['paeth', 4]];
for (const [name, filter] of filters) {
    for (const alpha of [false, true]) {
        test(`a PNG filtered by ${name}${alpha ? ' with alpha' : ''} reads back every pixel's colour`, () => {
            const image = decodePng(encodePng(picture, {alpha, filter}));
            assert.equal(image.width, 3);
            assert.equal(image.height, 3);
            for (let y = 0; y < 3; ++y)
                for (let x = 0; x < 3; ++x) assert.deepEqual(image.rgb(x, y), picture[y][x].slice(0, 3), `(${x}, ${y})`);
        });
    }
}

const refusedPngs = [
    ['a file that is not a PNG', Buffer.from('GIF89a....'), /not a PNG/],
    ['a palette PNG', (() => {
        const png = encodePng(picture);
        png[8 + 8 + 9] = 3; // IHDR's colour type
        return png;
    })(), /unsupported PNG/],
    ['a 16-bit PNG', (() => {
        const png = encodePng(picture);
        png[8 + 8 + 8] = 16; // IHDR's bit depth
        return png;
    })(), /unsupported PNG/],
    ['a PNG cut short', (() => {
        const rows = picture.map(row => row.map(pixel => pixel.slice(0, 3)));
        const png = encodePng(rows);
        png.writeUInt32BE(9, 8 + 8); // a taller header than the data holds
        return png;
    })(), /cut short/],
];
for (const [name, bytes, error] of refusedPngs) {
    test(`${name} is refused, not misread`, () => {
        assert.throws(() => decodePng(bytes), error);
    });
}

// A made-up screencast picture of the choice window at 1:1: the window's grey, the options' labels in
// a colour, a frame painted green, the break message's text across the gap.
const Face = [240, 240, 240];
const boxes = {
    left: {left: 20, top: 20, right: 120, bottom: 120}, right: {left: 160, top: 20, right: 260, bottom: 120},
    labels: {top: 40, bottom: 100}, message: {left: 90, top: 50, right: 190, bottom: 110},
};
function paint({labels = null, green = null, message = false, speck = null}) {
    const at = (x, y) => {
        if (message && x >= 90 && x < 190 && y >= 50 && y < 110)
            return y >= 60 && y < 64 && x >= 100 && x < 180 ? [0, 0, 0] : Face;
        if (speck && x === speck[0] && y === speck[1]) return [0, 0, 0];
        const inLeft = x >= 20 && x < 120;
        const inRight = x >= 160 && x < 260;
        if (green && ((green === 'left' && inLeft) || (green === 'right' && inRight)) && y >= 20 && y < 120) return [0, 128, 0];
        // Each label a stroke of text, on the side of its frame that the message leaves free too.
        if (labels && y >= 45 && y < 52 && ((x >= 30 && x < 80) || (x >= 200 && x < 250))) return labels;
        return Face;
    };
    return {width: 280, height: 140, rgb: at};
}

const pictures = [
    {name: 'white labels show as white', paint: {labels: [255, 255, 255]}, want: {options: 'white', message: false}},
    {name: 'black labels show as black', paint: {labels: [0, 0, 0]}, want: {options: 'black', message: false}},
    {name: 'a green frame shows as green, whatever its labels', paint: {labels: [0, 0, 0], green: 'right'},
        want: {options: 'green', message: false}},
    {name: 'no labels show as blank', paint: {}, want: {options: 'blank', message: false}},
    {name: 'a lone dark pixel is no label', paint: {speck: [40, 70]}, want: {options: 'blank', message: false}},
    {name: 'the message over white options shows both', paint: {labels: [255, 255, 255], message: true},
        want: {options: 'white', message: true}},
    {name: 'the message over a cleared window', paint: {message: true}, want: {options: 'blank', message: true}},
];
for (const {name, paint: drawn, want} of pictures) {
    test(`reading a picture: ${name}`, () => {
        assert.deepEqual(classify(paint(drawn), regions(boxes, 1)), want);
    });
}

test('the regions leave out what the break message covers and follow the picture\'s scale', () => {
    const {options, gap} = regions(boxes, 0.5);
    assert.deepEqual(options, [{left: 11.5, top: 20, right: 43.5, bottom: 50}, {left: 96.5, top: 20, right: 128.5, bottom: 50}]);
    assert.deepEqual(gap, {left: 61.5, top: 26.5, right: 78.5, bottom: 53.5});
    assert.equal(regions({...boxes, message: null}, 1).gap, null);
});

const sighting = (options, time, message = false) => ({options, message, time});

test('only the changes of what is seen are kept, each at its first sighting', () => {
    assert.deepEqual(changes([sighting('white', 1), sighting('white', 2), sighting('white', 3, true), sighting('black', 4, true),
        sighting('black', 5, true)]), [sighting('white', 1), sighting('white', 3, true), sighting('black', 4, true)]);
});

const nominal = {green: 500, blank: 1000, white: 2000};
const phaseCases = [
    {name: 'a trial\'s green, blank and white each run from their own onset to the next',
        events: [sighting('black', 0), sighting('green', 700), sighting('blank', 1201), sighting('white', 2202),
            sighting('black', 4203)],
        keys: [{timeStamp: 690}],
        want: {green: [501], blank: [1001], white: [2001], afterBreak: [], keyToGreen: [10]}},
    {name: 'the run\'s first white seconds run from its first message\'s going',
        events: [sighting('white', 0, true), sighting('white', 5000), sighting('black', 7002)],
        keys: [],
        want: {green: [], blank: [], white: [], afterBreak: [{ms: 2002, nominal: 2000}], keyToGreen: []}},
    {name: 'after a later break the blank second runs from the message\'s going',
        events: [sighting('green', 0), sighting('blank', 500), sighting('blank', 600, true), sighting('blank', 9000),
            sighting('white', 10001), sighting('black', 12001)],
        keys: [],
        want: {green: [500], blank: [], white: [2000], afterBreak: [{ms: 1001, nominal: 1000}], keyToGreen: []}},
    {name: 'the answer is the first key after black, and a key after its green waits for the next black',
        events: [sighting('black', 0), sighting('green', 100), sighting('blank', 600), sighting('white', 1600),
            sighting('black', 3600), sighting('green', 4000)],
        keys: [{timeStamp: -20}, {timeStamp: 50}, {timeStamp: 80}, {timeStamp: 150}, {timeStamp: 3990}],
        want: {green: [500], blank: [1000], white: [2000], afterBreak: [], keyToGreen: [50, 10]}},
    {name: 'a key stamped after the start of the frame that shows its green counts, below zero',
        events: [sighting('black', 0), sighting('green', 400), sighting('blank', 900)],
        keys: [{timeStamp: 401.5}],
        want: {green: [500], blank: [], white: [], afterBreak: [], keyToGreen: [-1.5]}},
    {name: 'a green without a key after black has no latency',
        events: [sighting('black', 0), sighting('green', 400), sighting('blank', 900)],
        keys: [{timeStamp: -5}],
        want: {green: [500], blank: [], white: [], afterBreak: [], keyToGreen: []}},
];
for (const {name, events, keys, want} of phaseCases) {
    test(`phases: ${name}`, () => {
        assert.deepEqual(phases(events, keys, nominal), want);
    });
}

const logRow = (block, white, answerable, response) =>
    ({block: String(block), white_onset_ms: white.toFixed(3), answerable_onset_ms: answerable.toFixed(3),
        response_ms: response.toFixed(3)});

test('the log\'s phases: white from its onsets but for the run\'s first, answer to next white within a block only', () => {
    const rows = [logRow(1, 0, 3000, 3400), logRow(1, 4910, 6920, 7000), logRow(2, 20000, 22010, 22500)];
    assert.deepEqual(logPhases(rows), {white: [2010, 2010], answerToWhite: [1510]});
});

const agreements = [
    {name: 'one offset throughout agrees exactly', rows: [logRow(1, 0, 10, 20), logRow(1, 0, 40, 50)], frames: [110, 140],
        want: {trials: 2, spread: 0}},
    {name: 'a frame off by one shows as the spread', rows: [logRow(1, 0, 10, 20), logRow(1, 0, 40, 50)], frames: [110, 156.7],
        want: {trials: 2, spread: 16.7}},
    {name: 'rows and frames that do not pair up', rows: [logRow(1, 0, 10, 20)], frames: [110, 140], want: null},
];
for (const {name, rows, frames, want} of agreements) {
    test(`the log's onsets beside the page's frames: ${name}`, () => {
        const found = onsetAgreement(rows, frames);
        if (want === null) assert.equal(found, null);
        else assert.deepEqual({...found, spread: Number(found.spread.toFixed(6))}, want);
    });
}

test('lengths are counted in whole frames of the interval, fewest first', () => {
    assert.equal(frameCounts([500.01, 516.6, 499.99, 516.7], 16.667), '30×2 31×2');
});

const bounds = [
    {name: 'a phase at its nominal length is not short', green: [500], good: true},
    {name: 'a phase short by less than the log\'s rounding is not short', green: [499.9995], good: true},
    {name: 'a phase short by two microseconds is short', green: [499.998], good: false},
    {name: 'a phase without samples fails', green: [], good: false},
];
for (const {name, green, good} of bounds) {
    test(`the never-short bound: ${name}`, () => {
        assert.equal(neverShort({green, blank: [1000], white: [2000]}, nominal).good, good);
    });
}

test('each change the page drew is paired with the first screen change like it, before the page\'s next', () => {
    const page = [sighting('white', 0), sighting('white', 60, true), sighting('black', 1000, true), sighting('green', 2000)];
    const screen = [sighting('white', 80, true), sighting('black', 1017, true), sighting('green', 2033)];
    // The first white, covered by the message within four frames, never reached the screen alone.
    assert.deepEqual(presentationDelays(page, screen), [20, 17, 33]);
});
