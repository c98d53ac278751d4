// The page: setup, instructions, the choice window and the break message, driven by the C++ core.
// The core decides everything; this module draws what it is told, turns events into the core's
// calls, and moves the files to the browser's storage, the lab's address and the participant's
// downloads.
import createKpx2Core from './kpx2-core.js';
import {WindowView, drawChoice} from './screens.js';
import {openStore} from './store.js';
import {loadConfig, sendFiles, offerDownloads} from './deliver.js';
import {offerStoredRuns} from './recovery.js';

const $ = id => document.getElementById(id);
const params = new URLSearchParams(location.search);

// Shorter phases, for the page's own tests: only from the machine itself, never from a study's link.
function testTimings() {
    const text = params.get('test-timings');
    if (!text || !['127.0.0.1', 'localhost'].includes(location.hostname)) return null;
    const [green, blank, activation] = text.split(',').map(Number);
    if (![green, blank, activation].every(Number.isFinite)) return null;
    return {green, blank, activation};
}

// One animation frame at a time: every change the core presents is drawn in a frame's callback (or
// in the work that the callback's promises resume), and that frame's timestamp is its onset.
const frames = {
    time: -Infinity,
    inFrame: false,
    lastTaken: -Infinity,
    waiters: [],
    timerDeadline: -1,
    measured: false,
    intervalMs: undefined,
    fullScreenExits: 0,
};

const wakes = [];
let core = null;
let store = null;
let config = {};
let runKey = null;
let busy = false; // a core call that may wait is running; only one may at a time
let layout = null;
let subjectEntry = '';
const views = {};

function fail(error) {
    console.error(error);
    showMessage(`The task has met an error and cannot go on:\n${error?.message ?? error}`);
}

// Calls the core where it never waits. Not through ccall, which would take the call for part of the
// one that may be suspended and leave that one's promise unresolved.
function callNow(name, returnType, args = []) {
    const allocated = [];
    const values = args.map(arg => {
        if (typeof arg !== 'string') return arg;
        const size = core.lengthBytesUTF8(arg) + 1;
        const pointer = core._malloc(size);
        core.stringToUTF8(arg, pointer, size);
        allocated.push(pointer);
        return pointer;
    });
    try {
        const result = core[`_${name}`](...values);
        return returnType === 'string' ? core.UTF8ToString(result) : result;
    } finally {
        for (const pointer of allocated) core._free(pointer);
    }
}

// Calls the core where it may wait (Asyncify); input that comes meanwhile is dropped, as the core
// drops input while it responds.
function callWaiting(name, types = [], args = []) {
    if (busy) return false;
    busy = true;
    new Promise(resolve => resolve(core.ccall(name, null, types, args, {async: true})))
        .catch(fail)
        .finally(() => { busy = false; });
    return true;
}

// The display's frame interval: the mean over the page's first second of frames.
const firstSecond = [];

function measureFrames(time) {
    if (firstSecond.length > 0 && time - firstSecond[0] >= 1000) {
        frames.intervalMs = (time - firstSecond[0]) / firstSecond.length;
        firstSecond.length = 0;
        frames.measured = true;
        document.documentElement.dataset.frameIntervalMs = frames.intervalMs.toFixed(3);
        return;
    }
    firstSecond.push(time);
}

// What the page tells the core between its waiting calls, never while one is suspended.
function tellCoreWhenFree() {
    if (busy) return;
    if (frames.intervalMs !== undefined) {
        callNow('kpx_set_frame_interval', null, [frames.intervalMs]);
        frames.intervalMs = undefined;
    }
    for (; frames.fullScreenExits > 0; frames.fullScreenExits -= 1) callNow('kpx_fullscreen_left', null);
}

function onFrame(time) {
    // The frames go on whatever befalls one of them: every wait of the run ends on one.
    requestAnimationFrame(onFrame);
    if (!frames.measured) measureFrames(time);
    tellCoreWhenFree();
    frames.time = time;
    frames.inFrame = true;
    const waiters = frames.waiters;
    frames.waiters = [];
    for (const resolve of waiters) resolve(time);
    if (frames.timerDeadline >= 0 && time >= frames.timerDeadline && !busy) {
        frames.timerDeadline = -1;
        callWaiting('kpx_activate');
    }
    // The frame's work ends with the tasks that follow it.
    setTimeout(() => { if (frames.time === time) frames.inFrame = false; }, 0);
}

// Another task than a frame's: nothing it presents belongs to the last frame.
function leaveFrame() {
    frames.inFrame = false;
}

function frameAfter(taken) {
    if (frames.inFrame && frames.time > taken) return Promise.resolve(frames.time);
    return new Promise(resolve => frames.waiters.push(resolve));
}

function showOnly(id) {
    for (const each of ['loading', 'recovery', 'setup', 'instructions', 'choice', 'ended'])
        $(each).hidden = each !== id;
}

// A message box with OK; resolves once dismissed. Texts through textContent only.
function showMessage(text, title = layout?.texts.title ?? 'KPX2') {
    $('dialog-title').textContent = title;
    $('dialog-text').textContent = text;
    $('dialog').hidden = false;
    $('dialog-ok').focus();
    return new Promise(resolve => {
        $('dialog-ok').addEventListener('click', () => {
            $('dialog').hidden = true;
            resolve();
        }, {once: true});
    });
}

function fileName(path) {
    return path.slice(path.lastIndexOf('/') + 1);
}

function readFile(path) {
    return {name: fileName(path), bytes: core.FS.readFile(path)};
}

function layOut() {
    layout = JSON.parse(callNow('kpx_layout', 'string', [innerWidth, innerHeight]));
    views.choice.layOut(layout.choice);
    views.instructions.layOut(layout.instructions);
    views.break.layOut(layout.break);
    callNow('kpx_set_scale', null, [layout.choice.scale * devicePixelRatio]);
}

function leaveWarning(event) {
    event.preventDefault();
    event.returnValue = '';
}

// What the core asks of the page (see PageBridge in the C++).
const bridge = {
    async nextFrame() {
        const time = await frameAfter(frames.lastTaken);
        frames.lastTaken = time;
        return time;
    },
    async present(stateJson) {
        const time = frames.inFrame ? frames.time : await frameAfter(frames.time);
        drawChoice(views.choice, JSON.parse(stateJson));
        frames.lastTaken = Math.max(frames.lastTaken, time);
        return time;
    },
    showBreak(caption) {
        views.break.control('Label2').textContent = caption;
        $('break').hidden = false;
    },
    hideBreak() {
        $('break').hidden = true;
    },
    armTimer(deadlineMs) {
        frames.timerDeadline = deadlineMs;
    },
    waitForWake() {
        return new Promise(resolve => wakes.push(resolve));
    },
    wakeAll() {
        for (const resolve of wakes.splice(0)) resolve();
    },
    async storeFile(path) {
        try {
            const file = readFile(path);
            await store.saveFile(runKey, file.name, file.bytes);
            return '';
        } catch (error) {
            return `the browser did not store it: ${error?.message ?? error}`;
        }
    },
    async complete(filesJson) {
        const paths = JSON.parse(filesJson);
        const files = [readFile(paths.kpx), readFile(paths.tc), readFile(paths.log)];
        $('choice').hidden = true;
        showOnly('ended');
        // Offered at once: whatever befalls the storing or the sending, the participant can keep them.
        offerDownloads($('downloads'), files);
        $('ended-text').textContent = 'Saving your answers…';
        for (const file of files) await store.saveFile(runKey, file.name, file.bytes);
        await store.finishRun(runKey);
        window.removeEventListener('beforeunload', leaveWarning);
        if (config.dataUrl) {
            $('ended-text').textContent = 'Sending your answers…';
            await sendFiles(config.dataUrl, files, {
                fields: {subject: paths.subject},
                onAttempt: ({attempt, status, error}) => {
                    $('send-status').textContent = status >= 200 && status < 300 ? 'Sent.'
                        : `Not sent yet (attempt ${attempt}: ${error ?? status}); trying again. Please keep this page open.`;
                },
            });
            await store.markSent(runKey);
            $('send-status').textContent = 'sent';
        }
        $('ended-text').textContent = layout.texts.completion;
        await showMessage(layout.texts.completion);
    },
    tell(message) {
        return showMessage(message);
    },
    ended() {
        window.removeEventListener('beforeunload', leaveWarning);
        $('choice').hidden = true;
        $('break').hidden = true;
        showOnly('ended');
        if (!$('ended-text').textContent) $('ended-text').textContent = 'The task has ended.';
        if (config.completionUrl) {
            const link = $('completion-link');
            link.href = config.completionUrl;
            link.textContent = 'Continue';
            link.hidden = false;
        }
        document.documentElement.dataset.ended = 'true';
    },
};

const KeyCodes = {ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, ' ': 32};
const Modifiers = new Set(['Shift', 'Control', 'Alt', 'Meta', 'AltGraph', 'CapsLock']);

function onKeyDown(event) {
    if ($('choice').hidden || !$('dialog').hidden) return;
    leaveFrame();
    // Shift held with an arrow must not use up the trial's key on its own press.
    if (Modifiers.has(event.key)) return;
    const code = KeyCodes[event.key] ?? event.keyCode;
    event.preventDefault();
    if (!$('break').hidden) {
        callNow('kpx_break_key', null, [code, event.repeat ? 1 : 0]);
        return;
    }
    callWaiting('kpx_key', ['number', 'number', 'number'], [code, event.repeat ? 1 : 0, event.timeStamp]);
}

function onChoiceClick(event) {
    leaveFrame();
    const frame = event.target.closest('[data-name="Frame1"], [data-name="Frame2"]');
    if (!frame) return;
    callWaiting('kpx_click', ['number', 'number'], [frame.dataset.name === 'Frame1' ? 1 : 0, event.timeStamp]);
}

function onBreakTouch() {
    leaveFrame();
    callNow('kpx_continue', null);
}

async function startTask() {
    leaveFrame();
    // Asked from the OK's own click, as the Fullscreen API requires; a refusal leaves the page as it is.
    document.documentElement.requestFullscreen?.().catch(error => console.warn('full screen refused:', error.message));
    runKey = await store.beginRun({subject: subjectEntry, runStarted: new Date().toISOString()});
    window.addEventListener('beforeunload', leaveWarning);
    $('instructions').hidden = true;
    $('choice').hidden = false;
    callWaiting('kpx_start');
}

function trySetup() {
    const refusal = callNow('kpx_setup', 'string', [subjectEntry, $('cutoff').value, $('dtt').value]);
    if (!refusal) return true;
    const {field, message} = JSON.parse(refusal);
    $('setup-message').textContent = message;
    $(field).focus();
    return false;
}

function showSetup() {
    showOnly('setup');
}

function showInstructions() {
    showOnly('instructions');
    views.instructions.control('Command1').focus();
}

function fillSetup() {
    const t = layout.texts;
    $('setup-caption').textContent = t.setupCaption;
    $('subject-prompt').textContent = t.subjectPrompt;
    $('cutoff-prompt').textContent = t.cutoffPrompt;
    $('dtt-prompt').textContent = t.dttPrompt;
    $('dtt').placeholder = t.dttDefault;
    $('setup-start').textContent = t.start;
    // The lab's link may fill the form; its values go through the same rules as typed ones.
    const subjectParameter = config.subjectParameter || 'subject';
    // The field's value loses line breaks; the link's ID is judged as the link gives it.
    subjectEntry = params.get(subjectParameter) ?? '';
    $('subject').value = subjectEntry;
    $('subject').addEventListener('input', () => { subjectEntry = $('subject').value; });
    $('cutoff').value = params.get('cutoff') ?? '';
    $('dtt').value = params.get('dtt') ?? '';
}

async function main() {
    // Every text is drawn in the task's face from the first: nothing shows before both weights are in.
    await Promise.all([document.fonts.load('16px "KPX2 Sans"'), document.fonts.load('bold 16px "KPX2 Sans"')]);
    config = await loadConfig(location.href);
    store = await openStore();
    core = await createKpx2Core({kpxPage: bridge});
    // An unknown language is refused before anything runs, as the desktop's --language is.
    const languageRefusal = callNow('kpx_set_language', 'string', [params.get('lang') ?? '']);
    if (languageRefusal) {
        document.documentElement.dataset.ready = 'true';
        return showMessage(languageRefusal);
    }
    const seed = params.get('seed') ?? '';
    if (!callNow('kpx_set_seed', 'number', [seed])) throw new Error(`not a seed: ${seed}`);
    const timings = testTimings();
    if (timings)
        callNow('kpx_set_timings', null, [timings.green, timings.blank, timings.activation]);

    views.choice = new WindowView($('choice'));
    views.instructions = new WindowView($('instructions'));
    views.break = new WindowView($('break'));
    layOut();
    window.addEventListener('resize', layOut);
    fillSetup();

    document.addEventListener('keydown', onKeyDown);
    document.addEventListener('fullscreenchange', () => {
        if (!document.fullscreenElement) frames.fullScreenExits += 1;
    });
    $('choice').addEventListener('click', onChoiceClick);
    $('break').addEventListener('click', onBreakTouch);
    views.instructions.control('Command1').addEventListener('click', () => startTask().catch(fail));
    $('setup').addEventListener('submit', event => {
        event.preventDefault();
        if (trySetup()) showInstructions();
    });
    requestAnimationFrame(onFrame);

    const prefilled = params.has(config.subjectParameter || 'subject');
    const next = () => {
        if (prefilled && trySetup()) showInstructions();
        else showSetup();
    };
    const offered = await offerStoredRuns($('recovery-runs'), store, config);
    if (offered > 0) {
        showOnly('recovery');
        $('recovery-continue').addEventListener('click', next, {once: true});
    } else {
        next();
    }
    document.documentElement.dataset.ready = 'true';
}

main().catch(fail);
