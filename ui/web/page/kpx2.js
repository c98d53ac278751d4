// The page a lab links to: it reads the link and the lab's kpx2-config.json beside it, and runs the
// task in the page's body. The link may fill the setup (its values go through the same rules as
// typed ones) and choose the language; where the answers go comes from the config alone.
import {runTask} from './task.js';
import {openStore} from './store.js';
import {loadConfig} from './deliver.js';

const params = new URLSearchParams(location.search);
const config = loadConfig(location.href);
// Panels put their own participant-ID parameter in the link; the config names it.
const subjectParameter = config.then(({subjectParameter}) => subjectParameter || 'subject', () => 'subject');
const subject = subjectParameter.then(name => params.get(name) ?? undefined);

runTask(document.getElementById('kpx2'), {
    subject,
    cutoff: params.get('cutoff') ?? '',
    dtt: params.get('dtt') ?? '',
    seed: params.get('seed') ?? '',
    language: params.get('lang') ?? '',
    config,
    store: openStore(),
    offerStoredRuns: true,
}).catch(error => {
    // The task has told the participant already.
    if (!error?.told) console.error(error);
});
