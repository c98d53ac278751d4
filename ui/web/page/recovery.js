// What a reopened page says about runs still in the browser's storage: a run whose tab was closed,
// reloaded or crashed during the trials, or a finished run not yet sent. Each is offered for download
// and, where the lab named a data address, for sending. Nothing is deleted or started over unasked.
import {offerDownloads, sendFiles} from './deliver.js';

// Answered trials in a trial log: its CSV records less the header (a quoted field may hold a line break).
export function answeredRows(bytes) {
    const text = new TextDecoder().decode(bytes);
    let records = 0;
    let quoted = false;
    for (let i = 0; i < text.length; ++i) {
        if (text[i] === '"') quoted = !quoted;
        else if (text[i] === '\n' && !quoted) ++records;
    }
    if (text.length && !text.endsWith('\n')) ++records;
    return Math.max(records - 1, 0);
}

function element(tag, text, className) {
    const node = document.createElement(tag);
    if (text !== undefined) node.textContent = text;
    if (className) node.className = className;
    return node;
}

function button(text, onClick) {
    const node = element('button', text);
    node.type = 'button';
    node.addEventListener('click', onClick);
    return node;
}

// The texts in English, for a caller without the core's catalogue; the page passes the core's own,
// in the participant's language.
export const EnglishTexts = {
    startNew: 'Start a new run',
    unfinished: 'A run of subject “%1”%2 was not finished (the page was closed or reloaded).',
    unfinishedNoSubject: 'A run with an empty subject ID%1 was not finished (the page was closed or reloaded).',
    notSent: 'A finished run of subject “%1”%2 has not been sent.',
    notSentNoSubject: 'A finished run with an empty subject ID%1 has not been sent.',
    kept: 'A finished run of subject “%1”%2 is kept in this browser.',
    keptNoSubject: 'A finished run with an empty subject ID%1 is kept in this browser.',
    started: ', started %1',
    oneAnswer: '%1 answered trial is stored in this browser.',
    answers: '%1 answered trials are stored in this browser.',
    oneAnswerWithResults: '%1 answered trial is stored in this browser, with its results files.',
    answersWithResults: '%1 answered trials are stored in this browser, with its results files.',
    send: 'Send',
    sending: 'Sending…',
    notSentYet: 'Not sent yet (attempt %1: %2). Trying again in %3 s. The data stays in this browser.',
    sent: 'Sent.',
    sendFailed: 'Not sent: %1. The data stays in this browser.',
    forget: 'Forget this run',
    forgetQuestion: 'This removes the run from this browser for good. Download its files first if they are needed.',
    forgetYes: 'Yes, forget it',
    forgotten: 'The run was removed from this browser.',
    notForgotten: 'The run could not be removed: %1',
    keep: 'Keep it',
    live: 'A run of subject “%1”%2 is going on in another tab of this browser.',
    liveNoSubject: 'A run with an empty subject ID%1 is going on in another tab of this browser.',
    oneLiveAnswer: '%1 answered trial is stored in this browser so far; that tab sends or offers it when it ends.',
    liveAnswers: '%1 answered trials are stored in this browser so far; that tab sends or offers it when it ends.',
    goneFromItsTab: 'The run was sent or removed from its own tab.',
};

// The text with %1, %2, … replaced by the arguments.
function fill(text, ...args) {
    return text.replace(/%([1-9])/g, (whole, n) => (args[n - 1] === undefined ? whole : String(args[n - 1])));
}

function describe(run, config, t) {
    const log = run.files.find(file => file.name.endsWith('.trials.csv'));
    const rows = log ? answeredRows(log.bytes) : 0;
    const when = run.runStarted ? fill(t.started, run.runStarted) : '';
    const kind = run.live ? 'live' : run.state === 'trials' ? 'unfinished' : config.dataUrl ? 'notSent' : 'kept';
    const what = run.subject === '' ? fill(t[`${kind}NoSubject`], when) : fill(t[kind], run.subject, when);
    const answers = run.live ? fill(t[rows === 1 ? 'oneLiveAnswer' : 'liveAnswers'], rows)
        : fill(t[`${rows === 1 ? 'oneAnswer' : 'answers'}${run.state === 'trials' ? '' : 'WithResults'}`], rows);
    return `${what} ${answers}`;
}

// A run still taking answers in another tab is offered for download only: sending it from here would
// send it cut short, forgetting it would delete what that tab still writes to. Once that tab is gone
// (the browser may take a moment after a crash), the section offers the run in full.
function followLiveRun(section, store, config, run, options, t) {
    store.whenIdle(run.runKey)
        .then(() => store.runs())
        .then(runs => {
            const now = runs.find(each => each.runKey === run.runKey);
            if (now && now.state !== 'sent' && !now.live) fillRun(section, store, config, now, options, t);
            else if (!now || now.state === 'sent') section.replaceChildren(element('p', t.goneFromItsTab));
        })
        .catch(error => console.warn('could not follow a run of another tab:', error));
}

function fillRun(section, store, config, run, options, t) {
    const {delays, reasons} = options;
    section.replaceChildren();
    section.dataset.runKey = run.runKey;
    section.dataset.live = String(Boolean(run.live));
    section.append(element('p', describe(run, config, t)));
    offerDownloads(section, run.files);
    if (run.live) {
        followLiveRun(section, store, config, run, options, t);
        return;
    }
    const status = element('p', '', 'kpx2-status');
    status.setAttribute('role', 'status');
    const actions = element('div', undefined, 'kpx2-actions');

    if (config.dataUrl) {
        const send = button(t.send, async () => {
            send.disabled = true;
            status.textContent = t.sending;
            try {
                await sendFiles(config.dataUrl, run.files, {
                    fields: {subject: run.subject, run_started: run.runStarted, run_key: run.runKey,
                        finished: run.state === 'trials' ? '0' : '1'},
                    delays,
                    reasons,
                    onAttempt: ({attempt, error, retryInMs}) => {
                        if (error) status.textContent = fill(t.notSentYet, attempt, error, Math.ceil(retryInMs / 1000));
                    },
                });
                await store.markSent(run.runKey);
                status.textContent = t.sent;
                status.dataset.sent = '1';
            } catch (error) {
                status.textContent = fill(t.sendFailed, error.message);
                send.disabled = false;
            }
        });
        actions.append(send);
    }

    const forget = button(t.forget, () => {
        forget.hidden = true;
        const question = element('div', undefined, 'kpx2-confirm');
        question.append(element('p', t.forgetQuestion));
        question.append(button(t.forgetYes, async () => {
            try {
                await store.forget(run.runKey);
                section.replaceChildren(element('p', t.forgotten));
            } catch (error) {
                status.textContent = fill(t.notForgotten, error.message);
            }
        }));
        question.append(button(t.keep, () => { question.remove(); forget.hidden = false; }));
        actions.after(question);
    });
    actions.append(forget);
    section.append(actions, status);
}

// Offers each stored run that was not sent; resolves with their number. options.delays is passed on
// to sendFiles (the pauses between attempts), and so are options.reasons (its words for a failed
// attempt); options.texts are the texts to say it all in.
export async function offerStoredRuns(container, store, config = {}, {delays, texts = EnglishTexts, reasons} = {}) {
    const waiting = (await store.runs()).filter(run => run.state !== 'sent');
    for (const run of waiting) {
        const section = element('section', undefined, 'kpx2-stored-run');
        fillRun(section, store, config, run, {delays, reasons}, texts);
        container.append(section);
    }
    return waiting.length;
}
