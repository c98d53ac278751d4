// Where a run's files go: the lab's kpx2-config.json beside the page names the data address (and the
// completion address panels send participants to). Nothing here ever reads the page's query string:
// a crafted link must not be able to send the answers elsewhere or lead participants off to another site.

const configKeys = ['dataUrl', 'completionUrl', 'subjectParameter'];

export class ConfigError extends Error {}

// An address from the config, resolved against the config's own location; only http(s) is taken.
function address(value, key, base) {
    if (value === undefined || value === null || value === '') return undefined;
    if (typeof value !== 'string') throw new ConfigError(`kpx2-config.json: "${key}" must be an address in quotes`);
    let url;
    try {
        url = new URL(value, base);
    } catch {
        throw new ConfigError(`kpx2-config.json: "${key}" is not an address`);
    }
    if (url.protocol !== 'http:' && url.protocol !== 'https:')
        throw new ConfigError(`kpx2-config.json: "${key}" must start with https:// or http://`);
    return url.href;
}

// {dataUrl?, completionUrl?, subjectParameter?} from kpx2-config.json beside the page; {} when there
// is none. A config that cannot be read, or that holds anything else, is an error rather than {}: a
// misspelt "dataUrl" taken as "no data address" would report data as safe that goes nowhere.
export async function loadConfig(pageUrl = location.href) {
    const configUrl = new URL('kpx2-config.json', pageUrl);
    configUrl.search = '';
    configUrl.hash = '';
    const response = await fetch(configUrl, {cache: 'no-store', credentials: 'same-origin'});
    if (response.status === 404) return {};
    if (!response.ok) throw new ConfigError(`kpx2-config.json could not be read (the server answered ${response.status})`);
    let raw;
    try {
        raw = JSON.parse(await response.text());
    } catch (error) {
        throw new ConfigError(`kpx2-config.json is not valid JSON: ${error.message}`);
    }
    if (raw === null || typeof raw !== 'object' || Array.isArray(raw))
        throw new ConfigError('kpx2-config.json must hold one object: {"dataUrl": …, "completionUrl": …, "subjectParameter": …}');
    const unknown = Object.keys(raw).filter(key => !configKeys.includes(key));
    if (unknown.length)
        throw new ConfigError(`kpx2-config.json: unknown setting ${unknown.map(key => JSON.stringify(key)).join(', ')}; ` +
            `the settings are ${configKeys.join(', ')}`);
    const config = {};
    const dataUrl = address(raw.dataUrl, 'dataUrl', configUrl);
    const completionUrl = address(raw.completionUrl, 'completionUrl', configUrl);
    if (dataUrl) config.dataUrl = dataUrl;
    if (completionUrl) config.completionUrl = completionUrl;
    if (raw.subjectParameter !== undefined && raw.subjectParameter !== null && raw.subjectParameter !== '') {
        if (typeof raw.subjectParameter !== 'string')
            throw new ConfigError('kpx2-config.json: "subjectParameter" must be a parameter name in quotes');
        config.subjectParameter = raw.subjectParameter;
    }
    return config;
}

// The wait before attempt n + 1 after n failed ones: 1 s, 2 s, 4 s, … up to a minute.
export function defaultDelay(failed) {
    return Math.min(1000 * 2 ** (failed - 1), 60000);
}

function delayFor(delays, failed) {
    if (typeof delays === 'function') return delays(failed);
    if (Array.isArray(delays) && delays.length) return delays[Math.min(failed, delays.length) - 1];
    return defaultDelay(failed);
}

// Waits ms, or less when the browser says the network is back; rejects when signal aborts.
function pause(ms, signal) {
    return new Promise((resolve, reject) => {
        const done = () => {
            clearTimeout(timer);
            globalThis.removeEventListener?.('online', done);
            signal?.removeEventListener('abort', stop);
            resolve();
        };
        const stop = () => { done(); reject(signal.reason); };
        const timer = setTimeout(done, ms);
        globalThis.addEventListener?.('online', done);
        signal?.addEventListener('abort', stop);
    });
}

// Why an attempt failed, in English, for a caller without the core's catalogue; %1 the status, or
// the browser's own words for a network error.
export const EnglishReasons = {
    answered: 'the data address answered %1',
    redirect: 'the data address answered with a redirect',
    noAnswer: 'the data address gave no answer in time',
    networkFailed: 'the network failed (%1)',
};

function body(files, fields) {
    const form = new FormData();
    for (const [name, value] of Object.entries(fields)) form.append(name, String(value));
    // application/octet-stream: the receiver gets the bytes as they are, with no charset applied.
    for (const file of files) form.append('files[]', new Blob([file.bytes], {type: 'application/octet-stream'}), file.name);
    return form;
}

// One multipart/form-data POST of the files (each part named "files[]", its filename the file's own
// name) and the text fields. Resolves only on a 2xx answer; a network error, a timeout, a redirect or
// any other status is tried again after a pause, for as long as the page is open (or until signal
// aborts). onAttempt({attempt, status, error, retryInMs}) hears of every attempt's outcome, its error
// said in reasons' words (EnglishReasons' keys).
export async function sendFiles(dataUrl, files, {fields = {}, onAttempt = () => {}, delays, timeoutMs = 120000, signal,
    reasons = EnglishReasons} = {}) {
    const say = (key, detail) => reasons[key].replace('%1', () => String(detail));
    const url = new URL(dataUrl);
    if (url.protocol !== 'http:' && url.protocol !== 'https:') throw new TypeError('the data address must be http(s)');
    for (let attempt = 1; ; ++attempt) {
        signal?.throwIfAborted();
        const attemptAbort = new AbortController();
        const timer = setTimeout(() => attemptAbort.abort(new Error('no answer in time')), timeoutMs);
        const onAbort = () => attemptAbort.abort(signal.reason);
        signal?.addEventListener('abort', onAbort);
        let outcome;
        try {
            // A redirect is not followed: a 303 would turn the POST into a GET whose 200 says nothing
            // about the data, so it counts as a failure to send.
            const response = await fetch(url, {method: 'POST', body: body(files, fields), redirect: 'manual',
                credentials: 'omit', cache: 'no-store', signal: attemptAbort.signal});
            if (response.type === 'opaqueredirect') outcome = {error: say('redirect')};
            else if (response.status >= 200 && response.status < 300) outcome = {status: response.status};
            else outcome = {status: response.status, error: say('answered', response.status)};
        } catch (error) {
            signal?.throwIfAborted();
            outcome = {error: attemptAbort.signal.aborted ? say('noAnswer') : say('networkFailed', error.message)};
        } finally {
            clearTimeout(timer);
            signal?.removeEventListener('abort', onAbort);
        }
        if (!outcome.error) {
            onAttempt({attempt, status: outcome.status});
            return {attempts: attempt, status: outcome.status};
        }
        const retryInMs = delayFor(delays, attempt);
        onAttempt({attempt, ...outcome, retryInMs});
        await pause(retryInMs, signal);
    }
}

// A download link per file, named by its textContent only; the links' blob: addresses stay valid
// while the page is open. Returns the links.
export function offerDownloads(container, files) {
    const list = document.createElement('ul');
    list.className = 'kpx2-downloads';
    const links = files.map(({name, bytes}) => {
        const link = document.createElement('a');
        link.href = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
        link.download = name;
        link.textContent = name;
        const item = document.createElement('li');
        item.append(link);
        list.append(item);
        return link;
    });
    container.append(list);
    return links;
}
