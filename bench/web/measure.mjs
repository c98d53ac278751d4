// What bench/web measures, apart from the browser that it drives: what a screencast picture shows,
// the phases' lengths in a sequence of shown states (the page's or the screen's), the trial log's own
// onsets, and the report. Times are milliseconds on the page's clock (performance.now()).

// The options' look: 'white' (not yet answerable), 'black' (answerable), 'green' (an answer), 'blank'
// (cleared), 'hidden' (no choice window). `message`: the break message is up.
export const OptionStates = ['white', 'black', 'green', 'blank', 'hidden'];

const Inset = 3; // px kept off every border, which is drawn in grey or black
const Enough = 6; // pixels of a colour before they count: a lone antialiased one does not

function insideImage(box, image) {
    const left = Math.max(0, Math.round(box.left));
    const top = Math.max(0, Math.round(box.top));
    const right = Math.min(image.width, Math.round(box.right));
    const bottom = Math.min(image.height, Math.round(box.bottom));
    return right > left && bottom > top ? {left, top, right, bottom} : null;
}

// Where to look, in the picture's pixels, from the page's boxes (CSS pixels; `scale` picture pixels
// to one): the options' labels beside the break message, so that options behind a waiting message
// are still seen, and the message's lines where they cross the gap between the two frames, which the
// choice window leaves empty.
export function regions(boxes, scale) {
    const at = ({left, top, right, bottom}) =>
        ({left: left * scale, top: top * scale, right: right * scale, bottom: bottom * scale});
    const {left: leftFrame, right: rightFrame, labels, message} = boxes;
    const top = labels.top;
    const bottom = labels.bottom;
    const options = [
        {left: leftFrame.left + Inset, top, right: Math.min(leftFrame.right, message?.left ?? Infinity) - Inset, bottom},
        {left: Math.max(rightFrame.left, message?.right ?? -Infinity) + Inset, top, right: rightFrame.right - Inset, bottom},
    ].map(at);
    const gap = message
        ? at({left: leftFrame.right + Inset, top: message.top + Inset, right: rightFrame.left - Inset,
            bottom: message.bottom - Inset})
        : null;
    return {options, gap};
}

const isGreen = ([r, g, b]) => g >= 90 && g <= 170 && r < 60 && b < 60;
const isDark = ([r, g, b]) => Math.max(r, g, b) < 90;
// White text on the window's grey (240) face.
const isWhite = ([r, g, b]) => Math.min(r, g, b) >= 250;

function count(image, box, test) {
    const inside = box && insideImage(box, image);
    if (!inside) return 0;
    let found = 0;
    for (let y = inside.top; y < inside.bottom; ++y)
        for (let x = inside.left; x < inside.right; ++x)
            if (test(image.rgb(x, y))) ++found;
    return found;
}

// What a picture shows: {options, message}, read in the regions (see regions()).
export function classify(image, {options, gap}) {
    const total = test => options.reduce((sum, box) => sum + count(image, box, test), 0);
    const message = gap !== null && count(image, gap, isDark) >= Enough;
    let shown = 'blank';
    if (total(isGreen) >= Enough) shown = 'green';
    else if (total(isDark) >= Enough) shown = 'black';
    else if (total(isWhite) >= Enough) shown = 'white';
    return {options: shown, message};
}

// Only the changes of a sequence of {options, message, time}: each state's first sighting.
export function changes(sightings) {
    const found = [];
    for (const seen of sightings) {
        const last = found[found.length - 1];
        if (!last || last.options !== seen.options || last.message !== seen.message) found.push(seen);
    }
    return found;
}

// The phases' lengths in a sequence of changes ({options, message, time}, in time order) and each
// answer's latency from its key ({timeStamp}, the answers' keys in time order) to the green that showed
// it. A phase runs from its first sighting to the next phase's. After a break message goes, the
// trial's first phase is timed from the message's going instead (`afterBreak`, with the nominal length
// it had: one blank second, or the first trial's white seconds, which run behind the run's first
// message).
//
// A trial's answer is the first key pressed after its options turned black. Its timeStamp may be a
// little later than the time of the frame that shows its green: Chromium stamps an animation frame
// with the frame's start and handles the input that came before it within that frame.
export function phases(events, keys, nominal) {
    const found = {green: [], blank: [], white: [], afterBreak: [], keyToGreen: []};
    let previous = null;
    let since = 0;
    let black = -Infinity;
    let messageGone = null;
    let nextKey = 0;
    for (const event of events) {
        if (event.options === 'black' && previous?.options !== 'black') black = event.time;
        if (previous && previous.message && !event.message) messageGone = event.time;
        if (previous && previous.options !== event.options) {
            const from = previous.options;
            const to = event.options;
            if (messageGone !== null && (to === 'white' || to === 'black')) {
                found.afterBreak.push({ms: event.time - messageGone, nominal: to === 'white' ? nominal.blank : nominal.white});
                messageGone = null;
            } else if (from === 'green' && to === 'blank') {
                found.green.push(event.time - since);
            } else if (from === 'blank' && to === 'white') {
                found.blank.push(event.time - since);
            } else if (from === 'white' && to === 'black') {
                found.white.push(event.time - since);
            }
            if (to === 'green') {
                while (nextKey < keys.length && keys[nextKey].timeStamp < black) ++nextKey;
                if (nextKey < keys.length && keys[nextKey].timeStamp <= event.time + nominal.green)
                    found.keyToGreen.push(event.time - keys[nextKey++].timeStamp);
            }
            since = event.time;
        }
        previous = event;
    }
    return found;
}

// From the trial log's rows ({column: text}): each trial's white seconds (answerable_onset_ms -
// white_onset_ms; not the run's first, whose white onset is the choice window's showing), and, within
// a block, each answer to the next trial's white (green and blank, and the answer's wait for a frame).
export function logPhases(rows) {
    const white = [];
    const answerToWhite = [];
    rows.forEach((row, i) => {
        if (i > 0) white.push(Number(row.answerable_onset_ms) - Number(row.white_onset_ms));
        const next = rows[i + 1];
        if (next && next.block === row.block) answerToWhite.push(Number(next.white_onset_ms) - Number(row.response_ms));
    });
    return {white, answerToWhite};
}

// How far the log's answerable onsets and the page's frames that drew black lie apart: the log's clock
// starts at the run, so a constant offset is expected; its spread is the disagreement.
export function onsetAgreement(rows, blackFrames) {
    if (rows.length !== blackFrames.length || rows.length === 0) return null;
    const offsets = rows.map((row, i) => blackFrames[i] - Number(row.answerable_onset_ms));
    return {trials: rows.length, spread: Math.max(...offsets) - Math.min(...offsets)};
}

export function percentile(values, fraction) {
    const ordered = [...values].sort((a, b) => a - b);
    const index = Math.min(ordered.length - 1, Math.max(0, Math.round(fraction * (ordered.length - 1))));
    return ordered[index];
}

export function median(values) {
    const ordered = [...values].sort((a, b) => a - b);
    const middle = ordered.length >> 1;
    return ordered.length % 2 ? ordered[middle] : (ordered[middle - 1] + ordered[middle]) / 2;
}

// "30×12 31×3": how many of the lengths lasted how many frames of the interval.
export function frameCounts(lengths, interval) {
    const counts = new Map();
    for (const length of lengths) {
        const frames = Math.round(length / interval);
        counts.set(frames, (counts.get(frames) ?? 0) + 1);
    }
    return [...counts].sort((a, b) => a[0] - b[0]).map(([frames, n]) => `${frames}×${n}`).join(' ');
}

const signed = value => `${value >= 0 ? '+' : '-'}${Math.abs(value).toFixed(3)}`.padStart(9);
const plain = value => value.toFixed(3).padStart(9);

// One table row: the label, the count, median, p99, min and max (signed as deviations, or plain), and
// the frame counts where an interval is given.
export function row(label, values, {deviation = true, lengths = null, interval = null} = {}) {
    const head = `${label.padEnd(30)} ${String(values.length).padStart(6)}`;
    if (values.length === 0) return head;
    const form = deviation ? signed : plain;
    const figures = [median(values), percentile(values, 0.99), Math.min(...values), Math.max(...values)].map(form).join('');
    const frames = lengths && interval ? `   ${frameCounts(lengths, interval)}` : '';
    return `${head} ${figures}${frames}`;
}

export const TableHead = `${'ms'.padEnd(30)} ${'trials'.padStart(6)} ${'median'.padStart(9)}${'p99'.padStart(9)}`
    + `${'min'.padStart(9)}${'max'.padStart(9)}   frames (frames×trials)`;

// The rows of one sequence's phases (phases()), as deviations from nominal, with their frame counts.
export function phaseRows(found, nominal, interval) {
    const lines = [];
    for (const name of ['green', 'blank', 'white']) {
        const lengths = found[name];
        lines.push(row(`${name} ${nominal[name]}`, lengths.map(ms => ms - nominal[name]), {lengths, interval}));
    }
    const after = found.afterBreak;
    lines.push(row('after break (blank or white)', after.map(({ms, nominal: n}) => ms - n),
        {lengths: after.map(({ms}) => ms), interval}));
    lines.push(row('key to green', found.keyToGreen, {deviation: false}));
    return lines;
}

// False when a phase of the page's own trace is short, or has no sample: the page must never end one
// early (its onset is the first frame whose time reaches the deadline). The log's times are rounded to
// the microsecond, hence the tolerance.
export function neverShort(found, nominal) {
    let good = true;
    const lines = [];
    for (const name of ['green', 'blank', 'white']) {
        const lengths = found[name];
        const least = lengths.length ? Math.min(...lengths) - nominal[name] : NaN;
        const ok = lengths.length > 0 && least >= -0.001;
        good &&= ok;
        lines.push(`  ${name}: never short (least ${lengths.length ? signed(least).trim() : 'no samples'}): ${ok ? 'yes' : 'NO'}`);
    }
    return {good, lines};
}

// From each change the page drew ({options, message, time}) to the first screen change that shows the
// same, before the page's next change has had time to reach the screen (`reach` ms).
export function presentationDelays(pageEvents, screenChanges, reach = 100) {
    const delays = [];
    pageEvents.forEach((event, i) => {
        const until = (pageEvents[i + 1]?.time ?? Infinity) + reach;
        const shown = screenChanges.find(each => each.time >= event.time && each.time < until
            && each.options === event.options && each.message === event.message);
        if (shown) delays.push(shown.time - event.time);
    });
    return delays;
}
