// The task in a container element: setup, instructions, the choice window and the break message,
// driven by the C++ core. The core decides everything; this module draws what it is told, turns
// events into the core's calls, and moves the files to the browser's storage, the lab's address and
// the participant's downloads. Everything it builds sits under one element of class kpx2-task, found
// by class names, so that a host page (kpx2.html, a jsPsych study) keeps its own ids.
import createKpx2Core from './kpx2-core.js';
import {WindowView, drawChoice} from './screens.js';
import {sendFiles, offerDownloads} from './deliver.js';
import {offerStoredRuns} from './recovery.js';

// Shorter phases, for the page's own tests: only from the machine itself, never from a study's link.
export function testTimings(where = location) {
    const text = new URLSearchParams(where.search).get('test-timings');
    if (!text || !['127.0.0.1', 'localhost'].includes(where.hostname)) return null;
    const [green, blank, activation] = text.split(',').map(Number);
    if (![green, blank, activation].every(Number.isFinite)) return null;
    return {green, blank, activation};
}

// The records of a CSV text whose lines end in CRLF or LF; a quoted field may hold commas, doubled
// quotes and line breaks.
export function csvRecords(text) {
    const records = [];
    let record = [];
    let field = '';
    let quoted = false;
    for (let i = 0; i < text.length; ++i) {
        const c = text[i];
        if (quoted) {
            if (c === '"' && text[i + 1] === '"') { field += '"'; ++i; }
            else if (c === '"') quoted = false;
            else field += c;
        } else if (c === '"') {
            quoted = true;
        } else if (c === ',') {
            record.push(field);
            field = '';
        } else if (c === '\n' || (c === '\r' && text[i + 1] === '\n')) {
            if (c === '\r') ++i;
            record.push(field);
            records.push(record);
            record = [];
            field = '';
        } else {
            field += c;
        }
    }
    if (field !== '' || record.length) {
        record.push(field);
        records.push(record);
    }
    return records;
}

// A trial log's answers, each an object keyed by the log's header names, its fields as the log writes them.
export function logRows(bytes) {
    const [header = [], ...records] = csvRecords(new TextDecoder().decode(bytes));
    return records.map(fields => Object.fromEntries(header.map((name, i) => [name, fields[i] ?? ''])));
}

// The text with %1, %2, … replaced by the arguments, as the core's catalogue writes placeholders.
export function fill(text, ...args) {
    return text.replace(/%([1-9])/g, (whole, n) => (args[n - 1] === undefined ? whole : String(args[n - 1])));
}

// Said when the core could not even load, so before any catalogue is at hand.
const LoadFailure = 'The task has met an error and cannot go on:\n%1';


const Markup = `
<p class="kpx2-loading">Loading…</p>
<section class="kpx2-recovery" hidden>
  <div class="kpx2-recovery-runs"></div>
  <button class="kpx2-recovery-continue" type="button"></button>
</section>
<form class="kpx2-setup" hidden>
  <h1 class="kpx2-setup-caption"></h1>
  <label class="kpx2-subject-prompt"></label>
  <input class="kpx2-subject" name="subject" autocomplete="off" spellcheck="false">
  <label class="kpx2-cutoff-prompt"></label>
  <input class="kpx2-cutoff" name="cutoff" autocomplete="off" inputmode="numeric">
  <label class="kpx2-dtt-prompt"></label>
  <input class="kpx2-dtt" name="dtt" autocomplete="off" inputmode="numeric">
  <p class="kpx2-setup-message" role="alert"></p>
  <button class="kpx2-setup-start" type="submit"></button>
</form>
<div class="kpx2-instructions kpx2-window" hidden></div>
<div class="kpx2-choice kpx2-window" hidden></div>
<div class="kpx2-break kpx2-window" hidden></div>
<div class="kpx2-dialog" hidden>
  <div class="kpx2-dialog-box" role="dialog">
    <div class="kpx2-dialog-title"></div>
    <p class="kpx2-dialog-text"></p>
    <div class="kpx2-dialog-extra"></div>
    <button class="kpx2-dialog-ok" type="button">OK</button>
  </div>
</div>
<section class="kpx2-ended" hidden>
  <p class="kpx2-ended-text"></p>
  <div class="kpx2-downloads"></div>
  <p class="kpx2-send-status" role="status"></p>
  <a class="kpx2-completion-link" hidden></a>
</section>`;

let tasksBuilt = 0;

const KeyCodes = {ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, ' ': 32};
const Modifiers = new Set(['Shift', 'Control', 'Alt', 'Meta', 'AltGraph', 'CapsLock']);

class Task {
    constructor(container, options) {
        this.options = options;
        this.fits = new Map();
        this.config = {};
        this.store = null;
        this.root = document.createElement('div');
        this.root.className = 'kpx2-task';
        // Static markup only: every text from the core or the participant goes in through textContent.
        this.root.innerHTML = Markup;
        // The labels' targets by ids of this task alone.
        const prefix = `kpx2-task${++tasksBuilt}`;
        for (const field of ['subject', 'cutoff', 'dtt']) {
            this.$(field).id = `${prefix}-${field}`;
            this.$(`${field}-prompt`).htmlFor = `${prefix}-${field}`;
        }
        this.$('dialog-box').setAttribute('aria-labelledby', `${prefix}-dialog-title`);
        this.$('dialog-title').id = `${prefix}-dialog-title`;
        container.append(this.root);

        // One animation frame at a time: every change the core presents is drawn in a frame's
        // callback (or in the work that the callback's promises resume), and that frame's timestamp
        // is its onset.
        this.frames = {
            time: -Infinity,
            inFrame: false,
            lastTaken: -Infinity,
            waiters: [],
            timerDeadline: -1,
            measured: false,
            intervalMs: undefined,
            fullScreenExits: 0,
        };
        this.firstSecond = [];
        this.wakes = [];
        this.core = null;
        this.runKey = null;
        this.busy = false; // a core call that may wait is running; only one may at a time
        this.layout = null;
        this.subjectEntry = '';
        this.views = {};
        this.stored = new Map(); // the run's files as last stored, by name
        this.completed = null;
        this.stopped = false;
        this.result = new Promise((resolve, reject) => { this.resolve = resolve; this.reject = reject; });
        this.listeners = [];
    }

    $(name) {
        return this.root.querySelector(`.kpx2-${name}`);
    }

    text(key, ...args) {
        return fill(this.layout.texts[key], ...args);
    }

    // sendFiles' words for a failed attempt, in the run's language.
    reasons() {
        const t = this.layout.texts;
        return {answered: t.sendAnswered, redirect: t.sendRedirect, noAnswer: t.sendNoAnswer, networkFailed: t.sendNetworkFailed};
    }

    listen(target, type, handler) {
        target.addEventListener(type, handler);
        this.listeners.push([target, type, handler]);
    }

    stop() {
        this.stopped = true;
        for (const [target, type, handler] of this.listeners.splice(0)) target.removeEventListener(type, handler);
    }

    fail(error) {
        console.error(error);
        const message = fill(this.layout?.texts.failed ?? LoadFailure, error?.message ?? error);
        this.showMessage(message).then(() => {
            this.stop();
            this.reject(Object.assign(error instanceof Error ? error : new Error(String(error)),
                {told: true, outcome: this.outcome()}));
        });
    }

    // Calls the core where it never waits. Not through ccall, which would take the call for part of
    // the one that may be suspended and leave that one's promise unresolved.
    callNow(name, returnType, args = []) {
        const core = this.core;
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
    callWaiting(name, types = [], args = []) {
        if (this.busy) return false;
        this.busy = true;
        new Promise(resolve => resolve(this.core.ccall(name, null, types, args, {async: true})))
            .catch(error => this.fail(error))
            .finally(() => { this.busy = false; });
        return true;
    }

    // The display's frame interval: the mean over the task's first second of frames.
    measureFrames(time) {
        const first = this.firstSecond;
        if (first.length > 0 && time - first[0] >= 1000) {
            this.frames.intervalMs = (time - first[0]) / first.length;
            first.length = 0;
            this.frames.measured = true;
            this.root.dataset.frameIntervalMs = this.frames.intervalMs.toFixed(3);
            return;
        }
        first.push(time);
    }

    // What the task tells the core between its waiting calls, never while one is suspended.
    tellCoreWhenFree() {
        const frames = this.frames;
        if (this.busy) return;
        if (frames.intervalMs !== undefined) {
            this.callNow('kpx_set_frame_interval', null, [frames.intervalMs]);
            frames.intervalMs = undefined;
        }
        for (; frames.fullScreenExits > 0; frames.fullScreenExits -= 1) this.callNow('kpx_fullscreen_left', null);
    }

    onFrame(time) {
        if (this.stopped) return;
        const frames = this.frames;
        // The frames go on whatever befalls one of them: every wait of the run ends on one.
        requestAnimationFrame(next => this.onFrame(next));
        if (!frames.measured) this.measureFrames(time);
        this.tellCoreWhenFree();
        frames.time = time;
        frames.inFrame = true;
        const waiters = frames.waiters;
        frames.waiters = [];
        for (const resolve of waiters) resolve(time);
        if (frames.timerDeadline >= 0 && time >= frames.timerDeadline && !this.busy) {
            frames.timerDeadline = -1;
            this.callWaiting('kpx_activate');
        }
        // The frame's work ends with the tasks that follow it.
        setTimeout(() => { if (frames.time === time) frames.inFrame = false; }, 0);
    }

    // Another task than a frame's: nothing it presents belongs to the last frame.
    leaveFrame() {
        this.frames.inFrame = false;
    }

    frameAfter(taken) {
        const frames = this.frames;
        if (frames.inFrame && frames.time > taken) return Promise.resolve(frames.time);
        return new Promise(resolve => frames.waiters.push(resolve));
    }

    showOnly(name) {
        for (const each of ['loading', 'recovery', 'setup', 'instructions', 'choice', 'ended'])
            this.$(each).hidden = each !== name;
    }

    // A message box with OK; resolves once dismissed. Texts through textContent only.
    showMessage(text, title = this.layout?.texts.title ?? 'KPX2') {
        this.$('dialog-title').textContent = title;
        this.$('dialog-text').textContent = text;
        this.$('dialog').hidden = false;
        this.$('dialog-ok').focus();
        return new Promise(resolve => {
            this.$('dialog-ok').addEventListener('click', () => {
                this.$('dialog').hidden = true;
                resolve();
            }, {once: true});
        });
    }

    readFile(path) {
        return {name: path.slice(path.lastIndexOf('/') + 1), bytes: this.core.FS.readFile(path)};
    }

    // The size a label's text is drawn at, by the core's rule, the page measuring the text as it draws
    // it. Kept per text and place: a caption set during the trials is measured once, not at each onset.
    fitPoints(element, control, text) {
        const key = JSON.stringify([control.name, control.font, control.width, control.height, control.wrapped, text]);
        let points = this.fits.get(key);
        if (points !== undefined) return points;
        // Measured in a window of its own that is laid out but never seen: the label's may be hidden.
        if (!this.measuring) {
            this.measuring = document.createElement('div');
            this.measuring.className = 'kpx2-window kpx2-measuring';
            this.measuring.setAttribute('aria-hidden', 'true');
            this.root.append(this.measuring);
        }
        const probe = document.createElement('div');
        probe.className = element.className;
        probe.style.fontWeight = control.font.bold ? '700' : '400';
        probe.style.width = control.wrapped ? `${control.width}px` : 'auto';
        probe.textContent = text;
        this.measuring.append(probe);
        this.probe = {element: probe, wrapped: Boolean(control.wrapped)};
        try {
            points = this.callNow('kpx_fit_points', 'number', [control.font.points, control.width, control.height]);
        } finally {
            probe.remove();
            this.probe = null;
        }
        this.fits.set(key, points);
        return points;
    }

    // The room the text being fitted takes at a size, in CSS pixels: a wrapping label's lines within
    // its width, a one-line label's width (its line is as tall as the layout made it, in any language).
    measure(points) {
        const {element, wrapped} = this.probe;
        element.style.fontSize = `${points}pt`;
        if (wrapped) return {width: element.scrollWidth, height: element.scrollHeight};
        const range = document.createRange();
        range.selectNodeContents(element);
        return {width: range.getBoundingClientRect().width, height: 0};
    }

    layOut() {
        const layout = JSON.parse(this.callNow('kpx_layout', 'string', [innerWidth, innerHeight]));
        this.layout = layout;
        this.views.choice.layOut(layout.choice);
        this.views.instructions.layOut(layout.instructions);
        this.views.break.layOut(layout.break);
        this.callNow('kpx_set_scale', null, [layout.choice.scale * devicePixelRatio]);
    }

    // What the core asks of the page (see PageBridge in the C++).
    bridge() {
        const task = this;
        const frames = this.frames;
        return {
            async nextFrame() {
                const time = await task.frameAfter(frames.lastTaken);
                frames.lastTaken = time;
                return time;
            },
            async present(stateJson) {
                const time = frames.inFrame ? frames.time : await task.frameAfter(frames.time);
                drawChoice(task.views.choice, JSON.parse(stateJson));
                frames.lastTaken = Math.max(frames.lastTaken, time);
                return time;
            },
            showBreak(caption) {
                task.views.break.control('Label2').textContent = caption;
                task.views.break.fitText('Label2');
                // The block's delay, which the choice window shows next: worked out here, under the
                // message, so that the trial's first picture is drawn without measuring.
                task.views.choice.pointsFor('VDelay', caption);
                task.$('break').hidden = false;
            },
            hideBreak() {
                task.$('break').hidden = true;
            },
            measure(points) {
                return task.measure(points);
            },
            armTimer(deadlineMs) {
                frames.timerDeadline = deadlineMs;
            },
            waitForWake() {
                return new Promise(resolve => task.wakes.push(resolve));
            },
            wakeAll() {
                for (const resolve of task.wakes.splice(0)) resolve();
            },
            async storeFile(path) {
                try {
                    const file = task.readFile(path);
                    await task.store.saveFile(task.runKey, file.name, file.bytes);
                    task.stored.set(file.name, file.bytes);
                    return '';
                } catch (error) {
                    return task.text('notStored', error?.message ?? error);
                }
            },
            complete: filesJson => this.complete(JSON.parse(filesJson)),
            tell(message) {
                return task.showMessage(message);
            },
            ended: () => this.ended(),
        };
    }

    async complete(paths) {
        const files = [this.readFile(paths.kpx), this.readFile(paths.tc), this.readFile(paths.log)];
        this.completed = {files, logName: files[2].name};
        this.$('choice').hidden = true;
        const $ = name => this.$(name);
        if (this.options.endScreen !== false) {
            this.showOnly('ended');
            // Offered at once: whatever befalls the storing or the sending, the participant can keep them.
            offerDownloads($('downloads'), files);
        }
        $('ended-text').textContent = this.text('saving');
        for (const file of files) {
            await this.store.saveFile(this.runKey, file.name, file.bytes);
            this.stored.set(file.name, file.bytes);
        }
        await this.store.finishRun(this.runKey);
        window.removeEventListener('beforeunload', leaveWarning);
        if (this.config.dataUrl) {
            $('ended-text').textContent = this.text('sending');
            await sendFiles(this.config.dataUrl, files, {
                fields: {subject: paths.subject},
                reasons: this.reasons(),
                onAttempt: ({attempt, status, error}) => {
                    $('send-status').textContent = status >= 200 && status < 300 ? this.text('sentNow')
                        : this.text('notSentYet', attempt, error ?? status);
                },
            });
            await this.store.markSent(this.runKey);
            this.completed.sent = true;
            $('send-status').textContent = this.text('sent');
        }
        $('ended-text').textContent = this.layout.texts.completion;
        await this.showMessage(this.layout.texts.completion);
    }

    ended() {
        window.removeEventListener('beforeunload', leaveWarning);
        this.$('choice').hidden = true;
        this.$('break').hidden = true;
        if (this.options.endScreen !== false) {
            this.showOnly('ended');
            if (!this.$('ended-text').textContent) this.$('ended-text').textContent = this.text('ended');
            if (this.config.completionUrl) {
                const link = this.$('completion-link');
                link.href = this.config.completionUrl;
                link.textContent = this.text('continue');
                link.hidden = false;
            }
        }
        this.root.dataset.ended = 'true';
        this.stop();
        this.resolve(this.outcome());
    }

    // What the run has written so far: every file in the order written, the trial log's rows, and
    // the .KPX and .TC once the run completed.
    outcome() {
        const files = this.completed?.files ?? [...this.stored].map(([name, bytes]) => ({name, bytes}));
        const log = files.find(file => file.name.endsWith('.trials.csv'));
        return {
            completed: this.completed !== null,
            sent: this.completed?.sent === true,
            subject: this.subjectEntry,
            files,
            kpx: this.completed?.files[0],
            tc: this.completed?.files[1],
            logName: log?.name ?? '',
            rows: log ? logRows(log.bytes) : [],
        };
    }

    onKeyDown(event) {
        if (this.$('choice').hidden || !this.$('dialog').hidden) return;
        this.leaveFrame();
        // Shift held with an arrow must not use up the trial's key on its own press.
        if (Modifiers.has(event.key)) return;
        const code = KeyCodes[event.key] ?? event.keyCode;
        event.preventDefault();
        if (!this.$('break').hidden) {
            this.callNow('kpx_break_key', null, [code, event.repeat ? 1 : 0]);
            return;
        }
        this.callWaiting('kpx_key', ['number', 'number', 'number'], [code, event.repeat ? 1 : 0, event.timeStamp]);
    }

    onChoiceClick(event) {
        this.leaveFrame();
        const frame = event.target.closest('[data-name="Frame1"], [data-name="Frame2"]');
        if (!frame) return;
        this.callWaiting('kpx_click', ['number', 'number'], [frame.dataset.name === 'Frame1' ? 1 : 0, event.timeStamp]);
    }

    async startTask() {
        this.leaveFrame();
        // Asked from the OK's own click, as the Fullscreen API requires; a refusal leaves the page as it is.
        document.documentElement.requestFullscreen?.().catch(error => console.warn('full screen refused:', error.message));
        this.runKey = await this.store.beginRun({subject: this.subjectEntry, runStarted: new Date().toISOString()});
        window.addEventListener('beforeunload', leaveWarning);
        this.$('instructions').hidden = true;
        this.$('choice').hidden = false;
        this.callWaiting('kpx_start');
    }

    // The setup entries by the desktop's rules: null when taken, else the refusal {field, message}.
    setupRefusal() {
        const refusal = this.callNow('kpx_setup', 'string', [this.subjectEntry, this.$('cutoff').value, this.$('dtt').value]);
        return refusal ? JSON.parse(refusal) : null;
    }

    trySetup() {
        const refusal = this.setupRefusal();
        if (!refusal) return true;
        this.$('setup-message').textContent = refusal.message;
        this.$(refusal.field).focus();
        return false;
    }

    showInstructions() {
        this.showOnly('instructions');
        this.views.instructions.control('Command1').focus();
    }

    fillSetup() {
        const t = this.layout.texts;
        const $ = name => this.$(name);
        $('setup-caption').textContent = t.setupCaption;
        $('subject-prompt').textContent = t.subjectPrompt;
        $('cutoff-prompt').textContent = t.cutoffPrompt;
        $('dtt-prompt').textContent = t.dttPrompt;
        $('dtt').placeholder = t.dttDefault;
        $('setup-start').textContent = t.start;
        $('dialog-ok').textContent = t.ok;
        $('recovery-continue').textContent = t.recovery.startNew;
        // The field's value loses line breaks; a given ID is judged as given.
        this.subjectEntry = this.subject ?? '';
        $('subject').value = this.subjectEntry;
        $('subject').addEventListener('input', () => { this.subjectEntry = $('subject').value; });
        $('cutoff').value = this.options.cutoff ?? '';
        $('dtt').value = this.options.dtt ?? '';
    }

    async run() {
        const options = this.options;
        await options.styled;
        // Every text is drawn in the task's face from the first: nothing shows before both weights are in.
        await Promise.all([document.fonts.load('16px "KPX2 Sans"'), document.fonts.load('bold 16px "KPX2 Sans"')]);
        this.core = await createKpx2Core({kpxPage: this.bridge()});
        // An unknown language is refused before anything runs, as the desktop's --language is.
        const languageRefusal = this.callNow('kpx_set_language', 'string', [options.language ?? '']);
        if (languageRefusal) {
            this.$('loading').hidden = true;
            this.root.dataset.ready = 'true';
            await this.showMessage(languageRefusal);
            this.stop();
            return {refused: {field: 'language', message: languageRefusal}};
        }
        const seed = options.seed === undefined || options.seed === null ? '' : String(options.seed);
        if (!this.callNow('kpx_set_seed', 'number', [seed])) throw new Error(`not a seed: ${seed}`);
        const timings = options.timings ?? testTimings();
        if (timings)
            this.callNow('kpx_set_timings', null, [timings.green, timings.blank, timings.activation]);

        const fit = (element, control, text) => this.fitPoints(element, control, text);
        this.views.choice = new WindowView(this.$('choice'), fit);
        this.views.instructions = new WindowView(this.$('instructions'), fit);
        this.views.break = new WindowView(this.$('break'), fit);
        this.layOut();
        this.listen(window, 'resize', () => this.layOut());
        // Each may be a promise: a config or a storage that fails is told, in the run's language, as
        // any failure is.
        this.config = (await options.config) ?? {};
        this.store = await Promise.resolve(options.store).catch(error => {
            throw error?.name === 'NoStorageError' ? new Error(this.text('noStorage')) : error;
        });
        this.subject = await options.subject;
        this.fillSetup();

        this.listen(document, 'keydown', event => this.onKeyDown(event));
        this.listen(document, 'fullscreenchange', () => {
            if (!document.fullscreenElement) this.frames.fullScreenExits += 1;
        });
        this.$('choice').addEventListener('click', event => this.onChoiceClick(event));
        this.$('break').addEventListener('click', () => {
            this.leaveFrame();
            this.callNow('kpx_continue', null);
        });
        this.views.instructions.control('Command1').addEventListener('click', () => this.startTask().catch(error => this.fail(error)));
        this.$('setup').addEventListener('submit', event => {
            event.preventDefault();
            if (this.trySetup()) this.showInstructions();
        });
        requestAnimationFrame(time => this.onFrame(time));

        if (options.askSetup === false) {
            // No one to ask again: a refused entry is told, and the task ends without a run.
            const refusal = this.setupRefusal();
            if (refusal) {
                this.$('loading').hidden = true;
                this.root.dataset.ready = 'true';
                await this.showMessage(refusal.message);
                this.stop();
                return {refused: refusal};
            }
            this.showInstructions();
        } else {
            const next = () => {
                if (this.subject !== undefined && this.trySetup()) this.showInstructions();
                else this.showOnly('setup');
            };
            const offered = options.offerStoredRuns
                ? await offerStoredRuns(this.$('recovery-runs'), this.store, this.config, {texts: this.layout.texts.recovery, reasons: this.reasons()})
                : 0;
            if (offered > 0) {
                this.showOnly('recovery');
                this.$('recovery-continue').addEventListener('click', next, {once: true});
            } else {
                next();
            }
        }
        this.root.dataset.ready = 'true';
        return this.result;
    }
}

function leaveWarning(event) {
    event.preventDefault();
    event.returnValue = '';
}

// Runs the task inside container. options: subject, cutoff, dtt (the setup's entries as text;
// subject undefined leaves the setup to be filled in), seed, language, config (as loadConfig reads
// it), store (from openStore); subject, config and store may be promises, and styled a promise the
// task waits for before it draws; askSetup (false: a refused entry ends the task instead of asking
// again), offerStoredRuns (offer the runs a closed page left behind first), endScreen (false: no
// end section with downloads; the host takes over), timings (shorter phases).
// Resolves once the task has ended with {completed, sent, subject, files: [{name, bytes}], kpx, tc,
// logName, rows}, or with {refused: {field, message}} when the language or the setup was refused.
// Rejects, once the participant was told, when the task met an error: the error's told is true and
// its outcome holds what the run had written.
export function runTask(container, options) {
    const task = new Task(container, options);
    return task.run().catch(error => {
        if (error?.told) throw error;
        task.fail(error);
        return task.result;
    });
}
