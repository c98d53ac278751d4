// An example study: one jsPsych 8 timeline of a single KPX2 trial, whose data the study's own
// on_finish would keep. The subject ID and seed come from the link here (?subject=P1&seed=7); a
// study on a panel takes its own participant parameter instead.
import jsPsychKpx2 from './jspsych-kpx2.js';

const params = new URLSearchParams(location.search);
const jsPsych = initJsPsych({
    on_finish: () => {
        // A study would send jsPsych.data.get().json() to its host here.
        document.documentElement.dataset.studyFinished = 'true';
    },
});
// For the browser's console, and a study's own checks.
window.kpx2Study = jsPsych;

jsPsych.run([{
    type: jsPsychKpx2,
    subject_id: params.get('subject') ?? '',
    dtt: params.get('dtt') ?? '',
    cutoff: params.get('cutoff') ?? '',
    seed: params.get('seed'),
    language: params.get('lang') ?? '',
}]);
