// What the page's tests share: the built site with the data modules' stand-ins where the site has
// none yet, served by the rig; the scripted participant of the C++ tests (tests/support's
// ParticipantRule), answering the page through its DOM; and the Linux kpx2-sim for the same answers.
import fs from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';
import {spawnSync} from 'node:child_process';
import {fileURLToPath} from 'node:url';
import {serve, launch, strictCsp} from './rig.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
export const repoRoot = path.resolve(here, '../../..');
export const siteDir = process.env.KPX2_SITE ?? path.join(repoRoot, 'build-web/ui/web/site');
export const linuxSim = process.env.LINUX_SIM ?? path.join(repoRoot, 'build/tools/sim/kpx2-sim');

// A copy of the site to serve, with a stand-in for each data module it lacks.
export async function siteWithStandins() {
    const dir = await fs.mkdtemp(path.join(os.tmpdir(), 'kpx2-site-'));
    await fs.cp(siteDir, dir, {recursive: true});
    for (const module of ['store.js', 'deliver.js', 'recovery.js']) {
        const target = path.join(dir, module);
        try {
            await fs.access(target);
        } catch {
            await fs.copyFile(path.join(here, 'standins', module), target);
        }
    }
    return dir;
}

// Short phases (green s, blank s, activation ms), so that a run takes seconds.
export const shortTimings = '0.02,0.03,40';

// jsPsych's browser build and style from the pinned npm package, put where the example study looks.
export async function withJsPsych(site) {
    const jspsych = path.join(repoRoot, 'node_modules/jspsych');
    await fs.mkdir(path.join(site, 'jspsych'));
    await fs.copyFile(path.join(jspsych, 'dist/index.browser.js'), path.join(site, 'jspsych/index.browser.js'));
    await fs.copyFile(path.join(jspsych, 'css/jspsych.css'), path.join(site, 'jspsych/jspsych.css'));
}

// Runs `run(page, url, problems)` on the site served under the strict policy in a fresh Chromium;
// `config` replaces the site's kpx2-config.json, `connect` lists the origins it may reach, and
// `prepare(site)` may add to the site's copy first.
export async function withPage(run, {config, connect = [], prepare} = {}) {
    const site = await siteWithStandins();
    if (config !== undefined) await fs.writeFile(path.join(site, 'kpx2-config.json'), JSON.stringify(config));
    if (prepare) await prepare(site);
    const server = await serve(site, {csp: strictCsp(connect)});
    const chromium = await launch();
    try {
        await run(chromium.page, server.url, chromium.problems);
    } finally {
        await chromium.close();
        await server.close();
        await fs.rm(site, {recursive: true, force: true});
    }
}

// The runs in the browser's storage, as the page's own store reads them back, each file as text.
export function storedRuns(page) {
    return page.evaluate(async () => {
        const {openStore} = await import('./store.js');
        const runs = await (await openStore()).runs();
        return runs.map(run => ({state: run.state,
            files: run.files.map(file => ({name: file.name, text: new TextDecoder().decode(file.bytes)}))}));
    });
}

// Resolves after that many animation frames of the page: a wait counted in the page's own frames.
export function frames(page, count) {
    return page.evaluate(n => new Promise(resolve => {
        const step = left => (left === 0 ? resolve() : requestAnimationFrame(() => step(left - 1)));
        step(n);
    }), count);
}

// The page's choice window as the participant sees it: each option label's text colour and the
// frames' state.
export function choiceState(page) {
    return page.evaluate(() => {
        const at = name => document.querySelector(`.kpx2-choice [data-name="${name}"]`);
        return {fore: at('VReward').dataset.fore, back: at('VDelay').dataset.back, enabled: at('Frame1').dataset.enabled,
            breakShown: !document.querySelector('.kpx2-break').hidden};
    });
}

// A participant who values the delayed $100 at `value` dollars now: immediate exactly when the amount
// is worth that or more; every fourth answer a click (Label3 or VDelay), the others arrow keys, every
// third with Shift held. `by` forces every answer to keys or to clicks.
export class ParticipantRule {
    constructor(value, by = 'mixed') {
        this.value = value;
        this.by = by;
        this.responses = 0;
    }
    answer(amount) {
        this.responses += 1;
        // The amount as any language writes it: "$35", "35 €", "35 元".
        const immediate = Number(amount.match(/\d+/)[0]) >= this.value;
        const click = this.by === 'clicks' || (this.by === 'mixed' && this.responses % 4 === 0);
        return {immediate, click, shift: this.responses % 3 === 0};
    }
}

// The page's state as a participant sees it, read from the DOM the page draws.
function seen() {
    const at = name => document.querySelector(`.kpx2-choice [data-name="${name}"]`);
    // A host that has moved on (a jsPsych timeline's next trial) has taken the task away.
    const task = document.querySelector('.kpx2-task');
    if (!task || task.dataset.ended === 'true') return {kind: 'ended'};
    if (!document.querySelector('.kpx2-dialog').hidden)
        return {kind: 'message', text: document.querySelector('.kpx2-dialog-text').textContent};
    if (!document.querySelector('.kpx2-break').hidden) return {kind: 'break'};
    const reward = at('VReward');
    if (!document.querySelector('.kpx2-choice').hidden && reward?.dataset.fore === 'black'
        && at('Frame1').dataset.enabled === 'true')
        return {kind: 'answerable', amount: reward.textContent};
    return {kind: 'waiting'};
}

// The labels of the windows on show whose text reaches past them, and those drawn smaller than their
// layout's size, each as "window label: text".
export function labelFit(page) {
    return page.evaluate(() => {
        const outside = [];
        const smaller = [];
        for (const label of document.querySelectorAll('.kpx2-window:not([hidden]):not(.kpx2-measuring) .control.label')) {
            if (!label.textContent) continue;
            const where = `${label.closest('.kpx2-window').classList[0]} ${label.dataset.name}: ${label.textContent}`;
            // A wrapping label's lines must stay within it; a one-line label's text within its width.
            const range = document.createRange();
            range.selectNodeContents(label);
            const past = label.classList.contains('wrapped')
                ? label.scrollHeight > label.clientHeight || label.scrollWidth > label.clientWidth
                : range.getBoundingClientRect().width > label.getBoundingClientRect().width + 0.5;
            if (past) outside.push(where);
            if (Number(label.dataset.points) < Number(label.dataset.designPoints)) smaller.push(where);
        }
        return {outside, smaller};
    });
}

// Answers the run on the page to its end, dismissing its messages; returns the answers ('I' or 'D'
// each) and the messages' texts. afterAnswer(count) runs once each answer has been taken.
export async function answerRun(page, participant, afterAnswer = async () => {}) {
    const answers = [];
    const messages = [];
    // Every answer the page takes turns its option green once; counted as the DOM changes, so no
    // answer goes unseen however briefly it shows.
    await page.evaluate(() => {
        window.kpx2GreenSeen = 0;
        new MutationObserver(changes => {
            for (const change of changes)
                if (change.target.classList.contains('frame') && change.target.dataset.back === 'green'
                    && change.oldValue !== 'green')
                    window.kpx2GreenSeen += 1;
        }).observe(document.querySelector('.kpx2-choice'),
            {subtree: true, attributes: true, attributeFilter: ['data-back'], attributeOldValue: true});
    });
    for (;;) {
        await page.waitForFunction(`(${seen})().kind !== 'waiting'`, {polling: 'raf', timeout: 60000});
        const state = await page.evaluate(seen);
        if (state.kind === 'ended') return {answers, messages};
        if (state.kind === 'message') {
            messages.push(state.text);
            await page.click('.kpx2-dialog-ok');
            continue;
        }
        if (state.kind === 'break') {
            await page.keyboard.press('Space');
            await page.waitForFunction(() => document.querySelector('.kpx2-break').hidden, {polling: 'raf'});
            continue;
        }
        // A frame after the one that turned the options black: an event the browser stamps before that
        // frame's own time came while they were white, and is rightly no answer.
        await frames(page, 1);
        const answer = participant.answer(state.amount);
        answers.push(answer.immediate ? 'I' : 'D');
        const greenBefore = await page.evaluate(() => window.kpx2GreenSeen);
        // DevTools input on a loaded machine is now and then lost before it reaches the page; the
        // participant then answers again, which the page could not take twice: it shows no answer
        // and the options are still answerable.
        for (let attempt = 1; ; ++attempt) {
            if (answer.click) {
                await page.click(`.kpx2-choice [data-name="${answer.immediate ? 'Label3' : 'VDelay'}"]`);
            } else {
                if (answer.shift) await page.keyboard.down('Shift');
                await page.keyboard.press(answer.immediate ? 'ArrowLeft' : 'ArrowRight');
                if (answer.shift) await page.keyboard.up('Shift');
            }
            const taken = await page.waitForFunction(n => window.kpx2GreenSeen > n, {polling: 'raf', timeout: 5000},
                greenBefore).then(() => true, () => false);
            if (taken) break;
            const now = await page.evaluate(seen);
            if (attempt === 3 || now.kind !== 'answerable' || now.amount !== state.amount)
                throw new Error(`answer ${answers.length} (${JSON.stringify(answer)}) not taken; the page shows `
                    + JSON.stringify(now));
        }
        await afterAnswer(answers.length);
    }
}

// The files kpx2-sim writes for that subject, seed and answers, in that language: {name: text}.
export async function simFiles(subject, seed, answers, {language} = {}) {
    const out = await fs.mkdtemp(path.join(os.tmpdir(), 'kpx2-sim-'));
    const run = spawnSync(linuxSim, ['--subject', subject, '--out', out, '--seed', String(seed),
        ...(language ? ['--language', language] : [])], {input: answers.join('\n') + '\n', encoding: 'utf8'});
    if (run.status !== 0) throw new Error(`kpx2-sim failed (${run.status}): ${run.stderr}`);
    const files = {};
    for (const name of await fs.readdir(out)) files[name] = await fs.readFile(path.join(out, name), 'utf8');
    return files;
}

// The trial log's rows as {column: field}; no field of these logs holds a comma or a quote.
export function logRows(text) {
    const [header, ...lines] = text.split('\r\n').filter(line => line !== '');
    const names = header.split(',');
    return lines.map(line => Object.fromEntries(line.split(',').map((field, i) => [names[i], field])));
}

// A trial log's text without the columns that hold times or the moment of the run, which no two
// runs share, or what only a display tells: run_started, rt_ms, the onsets, display_scale,
// frame_interval_ms and fullscreen_exits (and input, where one run clicked).
export function comparableLog(text, {withInput = true} = {}) {
    const lines = text.split('\r\n');
    const header = lines[0].split(',');
    const dropped = new Set(['run_started', 'rt_ms', 'white_onset_ms', 'answerable_onset_ms', 'response_ms',
        'display_scale', 'frame_interval_ms', 'fullscreen_exits', ...(withInput ? [] : ['input'])]);
    const keep = header.map((name, i) => dropped.has(name) ? -1 : i).filter(i => i >= 0);
    return lines.map(line => {
        const fields = line.split(',');
        return keep.map(i => fields[i]).join(',');
    }).join('\r\n');
}
