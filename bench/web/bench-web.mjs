// The web page's timing audit (not a test): runs the whole task in headless Chromium at the real
// timings, answering with arrow keys at random moments of each answerable phase, and reports each
// phase's length twice, in ms and in frames: from the page's own trace (the trial log's onsets and the
// frames the page drew each change in) and from the screen (the screencast's pictures, each with its
// own timestamp); then key to on-screen change, the page's load time and transfer size, and the
// .wasm's size. See scripts/bench-web for the options.
import fs from 'node:fs/promises';
import path from 'node:path';
import zlib from 'node:zlib';
import {serve, launch, strictCsp} from '../../tests/web/browser/rig.mjs';
import {siteWithStandins, siteDir, logRows, ParticipantRule} from '../../tests/web/browser/page-rig.mjs';
import {pageProbe} from './page-probe.mjs';
import {decodePng} from './png.mjs';
import {regions, classify, changes, phases, logPhases, onsetAgreement, phaseRows, neverShort, row, median,
    presentationDelays, TableHead} from './measure.mjs';

const usage = `usage: bench-web.mjs [--blocks N] [--short] [--loads N] [--seed N] [--keep DIR]
  --blocks N  answer N blocks, then stop at the next break (default 7: the whole task)
  --short     phases of 250 / 500 / 1000 ms instead of 500 / 1000 / 2000 (the page's test timings)
  --loads N   cold page loads to time (default 5)
  --seed N    the run's seed and the answers' random moments (default 1)
  --keep DIR  keep the raw measurements (JSON) and the trial log there`;

function options(argv) {
    const chosen = {blocks: 7, short: false, loads: 5, seed: 1, keep: null};
    for (let i = 0; i < argv.length; ++i) {
        const name = argv[i];
        const value = () => {
            if (i + 1 >= argv.length) throw new Error(`${name} needs a value\n${usage}`);
            return argv[++i];
        };
        const whole = (text, least) => {
            if (!/^\d+$/.test(text) || Number(text) < least) throw new Error(`${name} takes a whole number of ${least} or more\n${usage}`);
            return Number(text);
        };
        if (name === '--blocks') chosen.blocks = whole(value(), 1);
        else if (name === '--short') chosen.short = true;
        else if (name === '--loads') chosen.loads = whole(value(), 1);
        else if (name === '--seed') chosen.seed = whole(value(), 0);
        else if (name === '--keep') chosen.keep = value();
        else throw new Error(`unknown option '${name}'\n${usage}`);
    }
    return chosen;
}

// A small seeded generator, so that a second bench with the same seed answers at the same moments.
function random(seed) {
    let state = (seed >>> 0) || 0x9e3779b9;
    return () => {
        state ^= state << 13; state >>>= 0;
        state ^= state >>> 17;
        state ^= state << 5; state >>>= 0;
        return state / 2 ** 32;
    };
}

const pause = ms => new Promise(resolve => setTimeout(resolve, ms));

// A page load from nothing (the server says no-store): the bytes the DevTools Network domain saw
// arrive, the requests, the navigation's load event and the moment the page said it was ready.
async function timeLoad(browser, url) {
    const page = await browser.newPage();
    try {
        await page.evaluateOnNewDocument(pageProbe);
        const cdp = await page.createCDPSession();
        await cdp.send('Network.enable');
        await cdp.send('Network.setCacheDisabled', {cacheDisabled: true});
        const requests = new Map();
        cdp.on('Network.responseReceived', ({requestId, response}) => requests.set(requestId, {url: response.url, bytes: 0}));
        cdp.on('Network.loadingFinished', ({requestId, encodedDataLength}) => {
            const request = requests.get(requestId);
            if (request) request.bytes = encodedDataLength;
        });
        await page.goto(url);
        await page.waitForFunction(() => !Number.isNaN(window.kpx2Bench?.ready), {timeout: 60000});
        const timing = await page.evaluate(() => {
            const [navigation] = performance.getEntriesByType('navigation');
            const wasm = performance.getEntriesByType('resource').find(entry => entry.name.endsWith('.wasm'));
            return {loaded: navigation.loadEventEnd, ready: window.kpx2Bench.ready, wasmFetched: wasm?.responseEnd ?? NaN};
        });
        const all = [...requests.values()];
        return {...timing, requests: all.length, bytes: all.reduce((sum, each) => sum + each.bytes, 0),
            wasmBytes: all.filter(each => each.url.endsWith('.wasm')).reduce((sum, each) => sum + each.bytes, 0)};
    } finally {
        await page.close();
    }
}

// The run: the page's own changes and keys (page-probe), its screencast pictures, and its trial log.
async function timeRun(page, url, {blocks, seed}) {
    await page.evaluateOnNewDocument(pageProbe);
    const cdp = await page.createCDPSession();
    const pictures = [];
    cdp.on('Page.screencastFrame', ({data, metadata, sessionId}) => {
        // Acknowledged at once: Chromium sends the next picture only after.
        cdp.send('Page.screencastFrameAck', {sessionId}).catch(() => {});
        pictures.push({data, metadata});
    });
    await page.goto(url);
    await page.waitForFunction(() => document.documentElement.dataset.ready === 'true', {timeout: 60000});
    await page.waitForFunction(() => document.documentElement.dataset.frameIntervalMs !== undefined, {timeout: 60000});
    const timeOrigin = await page.evaluate(() => performance.timeOrigin);
    // Pictures at half the viewport's width are enough to tell the labels' colours apart.
    const viewport = page.viewport();
    await cdp.send('Page.startScreencast', {format: 'png', maxWidth: Math.round(viewport.width / 2),
        maxHeight: Math.round(viewport.height / 2), everyNthFrame: 1});
    await page.click('#instructions [data-name="Command1"]');

    const next = random(seed);
    const participant = new ParticipantRule(20 + 5 * Math.floor(next() * 15), 'keys');
    const messages = [];
    let seen = 0;
    let breaks = 0;
    for (;;) {
        // Every state of the run lasts seconds at most, but for a message that waits for the bench.
        let stalled;
        const quiet = new Promise((_, refuse) => {
            stalled = setTimeout(() => refuse(new Error(`the page showed nothing new for a minute; its messages: ${
                JSON.stringify(messages)}`)), 60000);
        });
        await Promise.race([page.evaluate(count => window.kpx2Bench.changedSince(count), seen), quiet])
            .finally(() => clearTimeout(stalled));
        const events = await page.evaluate(() => window.kpx2Bench.events.map(({options, message, dialog, ended, amount}) =>
            ({options, message, dialog, ended, amount})));
        seen = events.length;
        const now = events[events.length - 1];
        if (now.ended) break;
        if (now.dialog) {
            messages.push(await page.$eval('#dialog-text', element => element.textContent));
            await page.click('#dialog-ok');
        } else if (now.message) {
            breaks += 1;
            if (breaks > 1) console.error(`bench-web: block ${breaks - 1} answered`);
            if (breaks > blocks) break;
            await pause(1000); // reading the message
            await page.keyboard.press('Space');
        } else if (now.options === 'black') {
            await pause(150 + next() * 800);
            const {immediate} = participant.answer(now.amount);
            await page.keyboard.press(immediate ? 'ArrowLeft' : 'ArrowRight');
        }
    }
    await cdp.send('Page.stopScreencast');
    const probe = await page.evaluate(() => {
        const {events, keys, boxes} = window.kpx2Bench;
        return {events, keys, boxes, frameInterval: Number(document.documentElement.dataset.frameIntervalMs)};
    });
    const log = await page.evaluate(async () => {
        const {openStore} = await import('./store.js');
        const runs = await (await openStore()).runs();
        const file = runs[0]?.files.find(each => each.name.endsWith('.trials.csv'));
        return file ? {name: file.name, text: new TextDecoder().decode(file.bytes)} : null;
    });
    return {probe, pictures, timeOrigin, log, messages, breaks};
}

// What each screencast picture shows, on the page's clock (its timestamp is the time since the epoch,
// as performance.timeOrigin is), read where the page's boxes of that moment put the labels.
function screenSightings(pictures, timeOrigin, boxes) {
    const sightings = [];
    for (const {data, metadata} of pictures) {
        const time = metadata.timestamp * 1000 - timeOrigin;
        const layout = boxes.filter(each => each.at <= time).pop();
        if (!layout || !layout.message) continue;
        const image = decodePng(Buffer.from(data, 'base64'));
        const seen = classify(image, regions(layout, image.width / metadata.deviceWidth));
        sightings.push({...seen, time});
    }
    return sightings;
}

function report({chromium, viewport, nominal, run, sightings, loads, wasm}) {
    const {probe, log, breaks} = run;
    const interval = probe.frameInterval;
    const rows = log ? logRows(log.text) : [];
    const lines = [];
    lines.push(`KPX2 web bench: ${chromium}, viewport ${viewport.width}x${viewport.height}; phases green ${nominal.green}`
        + ` / blank ${nominal.blank} / white ${nominal.white} ms; ${rows.length} trials, ${breaks} break messages`);
    lines.push(`The page's frame interval (the log's frame_interval_ms, over its first second): ${interval.toFixed(3)} ms`
        + ` (${(1000 / interval).toFixed(2)} Hz)`);

    const timed = probe.events.filter(event => event.time !== undefined);
    const answers = probe.keys.filter(({key}) => key === 'ArrowLeft' || key === 'ArrowRight');
    const page = phases(timed, answers, nominal);
    const fromLog = logPhases(rows);
    lines.push('');
    lines.push('The page\'s own trace: each change at the animation frame the page drew it in; key to green from');
    lines.push('the key event\'s timeStamp. ms over nominal (key to green: ms):');
    lines.push(TableHead);
    lines.push(...phaseRows(page, nominal, interval));
    lines.push(row(`white ${nominal.white} (the log's onsets)`, fromLog.white.map(ms => ms - nominal.white),
        {lengths: fromLog.white, interval}));
    const between = nominal.green + nominal.blank;
    lines.push(row(`answer to next white ${between} (log)`, fromLog.answerToWhite.map(ms => ms - between),
        {lengths: fromLog.answerToWhite, interval}));
    const blackFrames = timed.filter((event, i) => event.options === 'black' && timed[i - 1]?.options !== 'black')
        .map(event => event.time);
    const agreement = onsetAgreement(rows, blackFrames);
    lines.push(agreement
        ? `The log's answerable onsets and the frames that drew black, ${agreement.trials} trials: one offset to within `
            + `${agreement.spread.toFixed(3)} ms`
        : `The log's answerable onsets and the frames that drew black do not pair up (${rows.length} rows, `
            + `${blackFrames.length} black frames)`);
    const bounds = neverShort({...page, white: [...page.white, ...fromLog.white]}, nominal);
    lines.push('Bounds (the page\'s own trace):', ...bounds.lines);

    const screen = phases(changes(sightings), answers, nominal);
    lines.push('');
    lines.push(`On the screen: ${run.pictures.length} screencast pictures (PNG, half size), each placed at its own timestamp`);
    lines.push('(the compositor\'s frame time, epoch-based, moved to the page\'s clock by performance.timeOrigin); a');
    lines.push('state is timed from the first picture that shows it; key to green from the key\'s timeStamp:');
    lines.push(TableHead);
    lines.push(...phaseRows(screen, nominal, interval));
    const delays = presentationDelays(timed, changes(sightings));
    lines.push(row('page\'s frame to screen', delays, {deviation: false}));

    lines.push('');
    lines.push(`Load, ${loads.length} loads with nothing cached from a local static server (no network delay,`);
    lines.push('no compression); ms from the navigation\'s start, median (first, min, max):');
    const figure = (name, pick, digits = 1) => {
        const values = loads.map(pick);
        return `  ${name.padEnd(34)} ${median(values).toFixed(digits).padStart(10)}  (${values[0].toFixed(digits)},`
            + ` ${Math.min(...values).toFixed(digits)}, ${Math.max(...values).toFixed(digits)})`;
    };
    lines.push(figure('load event', load => load.loaded));
    lines.push(figure('.wasm fetched', load => load.wasmFetched));
    lines.push(figure('ready (setup or instructions up)', load => load.ready));
    lines.push(figure('bytes transferred', load => load.bytes, 0));
    lines.push(figure('requests', load => load.requests, 0));
    lines.push(`  kpx2-core.wasm: ${wasm.bytes} bytes (${wasm.gzip} gzip -9, as a compressing host would send it)`);
    return {text: lines.join('\n'), good: bounds.good && agreement !== null};
}

async function main() {
    const chosen = options(process.argv.slice(2));
    const nominal = chosen.short ? {green: 250, blank: 500, white: 1000} : {green: 500, blank: 1000, white: 2000};
    const wasmBytes = await fs.readFile(path.join(siteDir, 'kpx2-core.wasm'));
    const wasm = {bytes: wasmBytes.length, gzip: zlib.gzipSync(wasmBytes, {level: 9}).length};

    const site = await siteWithStandins();
    const server = await serve(site, {csp: strictCsp()});
    const chromium = await launch();
    try {
        const version = await chromium.browser.version();
        const query = new URLSearchParams({subject: 'BENCH', seed: String(chosen.seed)});
        const loads = [];
        for (let i = 0; i < chosen.loads; ++i) loads.push(await timeLoad(chromium.browser, `${server.url}kpx2.html?${query}`));
        if (chosen.short) query.set('test-timings', `${nominal.green / 1000},${nominal.blank / 1000},${nominal.white}`);
        const run = await timeRun(chromium.page, `${server.url}kpx2.html?${query}`, chosen);
        const sightings = screenSightings(run.pictures, run.timeOrigin, run.probe.boxes);
        const {text, good} = report({chromium: version, viewport: chromium.page.viewport(), nominal, run, sightings, loads,
            wasm});
        console.log(text);
        if (chromium.problems.length) console.log(`The page reported:\n  ${chromium.problems.join('\n  ')}`);
        if (chosen.keep) {
            await fs.mkdir(chosen.keep, {recursive: true});
            await fs.writeFile(path.join(chosen.keep, 'bench-web.json'), JSON.stringify({nominal, loads, wasm,
                probe: run.probe, pictures: run.pictures.map(({metadata}) => metadata), sightings, timeOrigin: run.timeOrigin}));
            if (run.log) await fs.writeFile(path.join(chosen.keep, run.log.name), run.log.text);
        }
        process.exitCode = good ? 0 : 1;
    } finally {
        await chromium.close();
        await server.close();
        await fs.rm(site, {recursive: true, force: true});
    }
}

if (import.meta.url === `file://${process.argv[1]}`) {
    main().catch(error => {
        console.error(error.message ?? error);
        process.exitCode = 2;
    });
}
