// jsPsychKpx2: the whole task as one trial of a jsPsych 8 timeline, in jsPsych's display element.
// The setup's entries come from the trial's parameters and go through the desktop's rules: a refused
// one is told and the trial ends without a run. Every answer is stored in the browser's IndexedDB as
// on kpx2.html, and the trial's data holds the run's files as text, so the study's host keeps them
// with the rest of its data.
//
//   import jsPsychKpx2 from './jspsych-kpx2.js';
//   timeline.push({type: jsPsychKpx2, subject_id: 'P1', dtt: '', cutoff: '', seed: null, language: 'de'});
import {runTask} from './task.js';
import {openStore} from './store.js';

// jsPsych's ParameterType, by value: the plugin runs beside jsPsych's browser build and its module alike.
const ParameterType = {BOOL: 0, STRING: 1, COMPLEX: 13};

const decoder = new TextDecoder();

// The task's look, from beside this file, once per page; resolves once it applies, so that nothing
// of the task shows unstyled and its face is declared before the task waits for it.
function linkStyle() {
    const href = new URL('kpx2-task.css', import.meta.url).href;
    let link = [...document.querySelectorAll('link[rel="stylesheet"]')].find(each => each.href === href);
    if (link?.sheet) return Promise.resolve();
    if (!link) {
        link = document.createElement('link');
        link.rel = 'stylesheet';
        link.href = href;
        document.head.append(link);
    }
    return new Promise((resolve, reject) => {
        link.addEventListener('load', () => resolve(), {once: true});
        link.addEventListener('error', () => reject(new Error(`${href} could not be loaded`)), {once: true});
    });
}

export default class jsPsychKpx2 {
    static info = {
        name: 'kpx2',
        version: '1.0.0', // the program's, as CMakeLists.txt's project() gives it
        parameters: {
            // Judged by the desktop's rules for a subject ID; the results files are named after it.
            subject_id: {type: ParameterType.STRING, default: undefined},
            // The setup's DTT and cutoff as typed there; empty takes the desktop's default.
            dtt: {type: ParameterType.STRING, default: ''},
            cutoff: {type: ParameterType.STRING, default: ''},
            // The run's seed in decimal digits; null takes one from the clock, as the desktop does.
            seed: {type: ParameterType.STRING, default: null},
            // A shipped language's code (de, es, zh_CN); empty is English.
            language: {type: ParameterType.STRING, default: ''},
        },
        data: {
            // One entry per answer: the trial log's row keyed by its header's names, each field as the log writes it.
            rows: {type: ParameterType.COMPLEX, array: true},
            // The .KPX and .TC files' text; empty when the run did not complete.
            kpx: {type: ParameterType.STRING},
            tc: {type: ParameterType.STRING},
            // The trial log's file name, as the desktop names it.
            log_name: {type: ParameterType.STRING},
            subject_id: {type: ParameterType.STRING},
            language: {type: ParameterType.STRING},
            // Whether the run wrote its results files.
            completed: {type: ParameterType.BOOL},
            // The refusal's message when the language or the setup's entries were refused, else empty.
            refused: {type: ParameterType.STRING},
            // Only when the task met an error: what it told the participant.
            error: {type: ParameterType.STRING},
        },
    };

    constructor(jsPsych) {
        this.jsPsych = jsPsych;
    }

    trial(displayElement, trial) {
        const entry = value => (value === undefined || value === null ? '' : String(value));
        const text = file => (file ? decoder.decode(file.bytes) : '');
        const data = (outcome, more = {}) => ({
            rows: outcome.rows ?? [],
            kpx: text(outcome.kpx),
            tc: text(outcome.tc),
            log_name: outcome.logName ?? '',
            subject_id: entry(trial.subject_id),
            language: entry(trial.language) || 'en',
            completed: outcome.completed === true,
            refused: outcome.refused?.message ?? '',
            ...more,
        });
        runTask(displayElement, {
            styled: linkStyle(),
            subject: entry(trial.subject_id),
            dtt: entry(trial.dtt),
            cutoff: entry(trial.cutoff),
            seed: entry(trial.seed),
            language: entry(trial.language),
            store: openStore(),
            // No experimenter at hand: a refused entry is told and the trial ends.
            askSetup: false,
            endScreen: false,
        }).then(outcome => this.jsPsych.finishTrial(data(outcome)),
            // Told to the participant already; the study keeps every row the run had stored.
            error => this.jsPsych.finishTrial(data(error?.outcome ?? {}, {error: String(error?.message ?? error)})));
    }
}

// For a study script that is not a module.
globalThis.jsPsychKpx2 = jsPsychKpx2;
