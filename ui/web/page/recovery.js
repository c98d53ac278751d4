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

function describe(run, config) {
    const log = run.files.find(file => file.name.endsWith('.trials.csv'));
    const rows = log ? answeredRows(log.bytes) : 0;
    const who = run.subject === '' ? 'with an empty subject ID' : `of subject “${run.subject}”`;
    const when = run.runStarted ? `, started ${run.runStarted}` : '';
    const answers = `${rows} answered ${rows === 1 ? 'trial is' : 'trials are'} stored in this browser`;
    if (run.live)
        return `A run ${who}${when} is going on in another tab of this browser. ${answers} so far; `
            + 'that tab sends or offers it when it ends.';
    return run.state === 'trials'
        ? `A run ${who}${when} was not finished (the page was closed or reloaded). ${answers}.`
        : `A finished run ${who}${when} ${config.dataUrl ? 'has not been sent' : 'is kept in this browser'}. ${answers}, with its results files.`;
}

// A run still taking answers in another tab is offered for download only: sending it from here would
// send it cut short, forgetting it would delete what that tab still writes to. Once that tab is gone
// (the browser may take a moment after a crash), the section offers the run in full.
function followLiveRun(section, store, config, run, delays) {
    store.whenIdle(run.runKey)
        .then(() => store.runs())
        .then(runs => {
            const now = runs.find(each => each.runKey === run.runKey);
            if (now && now.state !== 'sent' && !now.live) fillRun(section, store, config, now, delays);
            else if (!now || now.state === 'sent')
                section.replaceChildren(element('p', 'The run was sent or removed from its own tab.'));
        })
        .catch(error => console.warn('could not follow a run of another tab:', error));
}

function fillRun(section, store, config, run, delays) {
    section.replaceChildren();
    section.dataset.runKey = run.runKey;
    section.dataset.live = String(Boolean(run.live));
    section.append(element('p', describe(run, config)));
    offerDownloads(section, run.files);
    if (run.live) {
        followLiveRun(section, store, config, run, delays);
        return;
    }
    const status = element('p', '', 'kpx2-status');
    status.setAttribute('role', 'status');
    const actions = element('div', undefined, 'kpx2-actions');

    if (config.dataUrl) {
        const send = button('Send', async () => {
            send.disabled = true;
            status.textContent = 'Sending…';
            try {
                await sendFiles(config.dataUrl, run.files, {
                    fields: {subject: run.subject, run_started: run.runStarted, run_key: run.runKey,
                        finished: run.state === 'trials' ? '0' : '1'},
                    delays,
                    onAttempt: ({attempt, error, retryInMs}) => {
                        if (error) status.textContent = `Not sent yet (attempt ${attempt}: ${error}). ` +
                            `Trying again in ${Math.ceil(retryInMs / 1000)} s. The data stays in this browser.`;
                    },
                });
                await store.markSent(run.runKey);
                status.textContent = 'Sent.';
                status.dataset.sent = '1';
            } catch (error) {
                status.textContent = `Not sent: ${error.message}. The data stays in this browser.`;
                send.disabled = false;
            }
        });
        actions.append(send);
    }

    const forget = button('Forget this run', () => {
        forget.hidden = true;
        const question = element('div', undefined, 'kpx2-confirm');
        question.append(element('p', 'This removes the run from this browser for good. Download its files first if they are needed.'));
        question.append(button('Yes, forget it', async () => {
            try {
                await store.forget(run.runKey);
                section.replaceChildren(element('p', 'The run was removed from this browser.'));
            } catch (error) {
                status.textContent = `The run could not be removed: ${error.message}`;
            }
        }));
        question.append(button('Keep it', () => { question.remove(); forget.hidden = false; }));
        actions.after(question);
    });
    actions.append(forget);
    section.append(actions, status);
}

// Offers each stored run that was not sent; resolves with their number. options.delays is passed on
// to sendFiles (the pauses between attempts).
export async function offerStoredRuns(container, store, config = {}, {delays} = {}) {
    const waiting = (await store.runs()).filter(run => run.state !== 'sent');
    for (const run of waiting) {
        const section = element('section', undefined, 'kpx2-stored-run');
        fillRun(section, store, config, run, delays);
        container.append(section);
    }
    return waiting.length;
}
