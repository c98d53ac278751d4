// The web page's data modules in real Chromium under the strict policy: what is saved survives a
// reload, a reopened page offers every stored run, the files reach the lab's receiver byte for byte
// and "sent" is said only after a 2xx, and only kpx2-config.json decides where anything goes.
import test from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import {serve, launch, strictCsp} from './rig.mjs';
import {receiver, partsOf} from './receiver.mjs';

const fixture = fileURLToPath(new URL('fixtures/data/', import.meta.url));
const pageDir = fileURLToPath(new URL('../../../ui/web/page/', import.meta.url));
const header = 'subject,run_started,block,delay_days,delay_text,trial_in_block,kind,amount,choice,input,rt_ms\n';
const logOf = (subject, rows) => header + Array.from({length: rows},
    (_, i) => `"${subject.replaceAll('"', '""')}",20261209-101500,1,1,1 day,${i + 1},ordinary,500,immediate,key,${400 + i}.125\n`).join('');
const bytes = text => Array.from(Buffer.from(text));
const everyByte = Array.from({length: 256}, (_, i) => i);
const filesOf = (subject, rows = 3) => [
    {name: `${subject}_20261209-101500.trials.csv`, bytes: bytes(logOf(subject, rows))},
    {name: `${subject}.KPX`, bytes: bytes(`${subject}\r\n 62.5 \r\n`)},
    {name: `${subject}.TC`, bytes: everyByte},
];

// The page's modules and the harness in a folder of their own, served as a lab's host would.
async function withHarness({config, connect = [], query = ''}, body) {
    const dir = await fs.mkdtemp(path.join(os.tmpdir(), 'kpx2-data-'));
    for (const name of ['store.js', 'deliver.js', 'recovery.js']) await fs.copyFile(path.join(pageDir, name), path.join(dir, name));
    for (const name of ['harness.html', 'harness.js']) await fs.copyFile(path.join(fixture, name), path.join(dir, name));
    const writeConfig = value => fs.writeFile(path.join(dir, 'kpx2-config.json'), typeof value === 'string' ? value : JSON.stringify(value));
    if (config !== undefined) await writeConfig(config);
    const server = await serve(dir, {csp: strictCsp(connect)});
    const chromium = await launch();
    try {
        await open(chromium.page, `${server.url}harness.html${query}`);
        await body({...chromium, server, dir, writeConfig});
    } finally {
        await chromium.close();
        await server.close();
        await fs.rm(dir, {recursive: true, force: true});
    }
}

async function open(page, url) {
    await page.goto(url, {waitUntil: 'load'});
    await page.waitForFunction(() => document.documentElement.dataset.ready === '1');
}

// Console errors other than the failed loads a test provokes on purpose.
function assertNoProblems(problems, expected = []) {
    const unexpected = problems.filter(problem => !expected.some(failure => problem.includes(typeof failure === 'number'
        ? `Failed to load resource: the server responded with a status of ${failure}` : failure)));
    assert.deepEqual(unexpected, []);
}

function storeRun(page, {subject, files, finished = false}) {
    return page.evaluate(async (subject, files, finished) => {
        const store = await kpx2.openStore();
        const runKey = await store.beginRun({subject, runStarted: '20261209-101500'});
        for (const file of files) await store.saveFile(runKey, file.name, new Uint8Array(file.bytes));
        if (finished) await store.finishRun(runKey);
        store.close();
        return runKey;
    }, subject, files, finished);
}

function storedRuns(page) {
    return page.evaluate(async () => {
        const store = await kpx2.openStore();
        const runs = await store.runs();
        store.close();
        return runs.map(run => ({...run, files: run.files.map(({name, bytes}) => ({name, bytes: Array.from(bytes)}))}));
    });
}

// Runs offerStoredRuns into the page and reads back what each offered run says.
function offerStored(page, delays = [1]) {
    return page.evaluate(async delays => {
        const store = await kpx2.openStore();
        const config = await kpx2.loadConfig(location.href);
        const count = await kpx2.offerStoredRuns(document.getElementById('stored'), store, config, {delays});
        const runs = [...document.querySelectorAll('.kpx2-stored-run')].map(section => ({
            runKey: section.dataset.runKey, text: section.querySelector('p').textContent,
            links: [...section.querySelectorAll('a')].map(link => ({download: link.download, text: link.textContent})),
            buttons: [...section.querySelectorAll('button')].map(button => button.textContent),
            elements: [...section.querySelectorAll('*')].map(node => node.localName),
        }));
        return {count, runs};
    }, delays);
}

function clickButton(page, runKey, text) {
    return page.evaluate((runKey, text) => [...document.querySelector(`[data-run-key="${runKey}"]`).querySelectorAll('button')]
        .find(button => button.textContent === text).click(), runKey, text);
}

// Clicks each download link of a run as a participant would and reads what Chromium saved.
async function downloadAll(chromium, runKey) {
    const folder = await fs.mkdtemp(path.join(os.tmpdir(), 'kpx2-downloads-'));
    const cdp = await chromium.browser.target().createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', {behavior: 'allowAndName', downloadPath: folder, eventsEnabled: true});
    const saved = [];
    try {
        const links = await chromium.page.$$(`[data-run-key="${runKey}"] a`);
        for (const link of links) {
            const begun = new Promise(resolve => cdp.once('Browser.downloadWillBegin', resolve));
            const done = new Promise(resolve => {
                const check = event => { if (event.state !== 'inProgress') { cdp.off('Browser.downloadProgress', check); resolve(event); } };
                cdp.on('Browser.downloadProgress', check);
            });
            await link.click();
            const {guid, suggestedFilename} = await begun;
            assert.equal((await done).state, 'completed');
            saved.push({name: suggestedFilename, bytes: Array.from(await fs.readFile(path.join(folder, guid)))});
        }
    } finally {
        await cdp.detach();
        await fs.rm(folder, {recursive: true, force: true});
    }
    return saved;
}

for (const rows of [0, 1, 7]) {
    test(`a reload right after the log with ${rows} answered rows was saved keeps every row, and the reopened page offers them`, async () => {
        await withHarness({}, async chromium => {
            const files = filesOf('S01', rows).slice(0, 1);
            const runKey = await storeRun(chromium.page, {subject: 'S01', files: [{name: files[0].name, bytes: bytes(header)}]});
            // The next save is followed at once by a reload, the moment its promise resolves.
            const reloaded = chromium.page.waitForNavigation({waitUntil: 'load'});
            await chromium.page.evaluate((runKey, file) => kpx2.openStore().then(store =>
                store.saveFile(runKey, file.name, new Uint8Array(file.bytes))).then(() => location.reload()), runKey, files[0]);
            await reloaded;
            await chromium.page.waitForFunction(() => document.documentElement.dataset.ready === '1');
            const [run] = await storedRuns(chromium.page);
            assert.deepEqual({runKey: run.runKey, state: run.state, files: run.files}, {runKey, state: 'trials', files});
            const {count, runs} = await offerStored(chromium.page);
            assert.equal(count, 1);
            assert.match(runs[0].text, new RegExp(`not finished.*${rows} answered trials? (is|are) stored`));
            assert.deepEqual(await downloadAll(chromium, runKey), files);
            assertNoProblems(chromium.problems, [404]);
        });
    });
}

test('two runs of the same subject keep their own files, oldest first, and only an unsent run is offered', async () => {
    await withHarness({}, async chromium => {
        const first = filesOf('S01', 2);
        const second = filesOf('S01', 5);
        const firstKey = await storeRun(chromium.page, {subject: 'S01', files: first, finished: true});
        const secondKey = await storeRun(chromium.page, {subject: 'S01', files: second});
        const sentKey = await storeRun(chromium.page, {subject: 'S02', files: filesOf('S02'), finished: true});
        await chromium.page.evaluate(async key => (await kpx2.openStore()).markSent(key), sentKey);
        assert.notEqual(firstKey, secondKey);
        const runs = await storedRuns(chromium.page);
        assert.deepEqual(runs.map(({runKey, state, files}) => ({runKey, state, files})),
            [{runKey: firstKey, state: 'finished', files: first}, {runKey: secondKey, state: 'trials', files: second},
                {runKey: sentKey, state: 'sent', files: filesOf('S02')}]);
        const offered = await offerStored(chromium.page);
        assert.deepEqual(offered.runs.map(run => run.runKey), [firstKey, secondKey]);
        assert.match(offered.runs[0].text, /finished run of subject “S01”.* is kept in this browser\. 2 answered trials/);
        assert.deepEqual(await downloadAll(chromium, secondKey), second);
        assertNoProblems(chromium.problems, [404]);
    });
});

test('a stored run is forgotten only after the explicit confirmation, and a save to a forgotten run fails', async () => {
    await withHarness({}, async chromium => {
        const runKey = await storeRun(chromium.page, {subject: 'S01', files: filesOf('S01')});
        await offerStored(chromium.page);
        await clickButton(chromium.page, runKey, 'Forget this run');
        await clickButton(chromium.page, runKey, 'Keep it');
        await clickButton(chromium.page, runKey, 'Forget this run');
        assert.equal((await storedRuns(chromium.page)).length, 1);
        await clickButton(chromium.page, runKey, 'Yes, forget it');
        await chromium.page.waitForFunction(() => document.querySelector('.kpx2-stored-run').textContent.includes('removed'));
        assert.deepEqual(await storedRuns(chromium.page), []);
        const refusal = await chromium.page.evaluate(async runKey => (await kpx2.openStore())
            .saveFile(runKey, 'S01.KPX', new Uint8Array([1])).then(() => 'saved', error => error.message), runKey);
        assert.match(refusal, /no stored run/);
        assertNoProblems(chromium.problems, [404]);
    });
});

// What the page may hand saveFile: a view into a larger buffer (the WebAssembly heap), a buffer, or
// something that is no file at all.
const saves = [
    ['a view into a larger buffer keeps only the viewed bytes', 'view', [1, 2, 3]],
    ['an ArrayBuffer is kept whole', 'buffer', [4, 5]],
    ['bytes changed after the save do not reach the stored copy', 'changed', [7, 8]],
    ['a string is refused', 'string', /Uint8Array/],
];
test('saveFile keeps exactly the bytes it was given, at the moment it was given them', async t => {
    await withHarness({}, async chromium => {
        for (const [name, kind, expected] of saves) {
            await t.test(name, async () => {
                const got = await chromium.page.evaluate(async kind => {
                    const store = await kpx2.openStore();
                    const runKey = await store.beginRun({subject: 'S01', runStarted: ''});
                    const changed = new Uint8Array([7, 8]);
                    const value = {view: new Uint8Array([9, 1, 2, 3, 9]).subarray(1, 4), buffer: new Uint8Array([4, 5]).buffer,
                        changed, string: 'S01'}[kind];
                    try {
                        const saved = store.saveFile(runKey, 'f', value);
                        changed[0] = 0;
                        await saved;
                    } catch (error) {
                        return {error: error.message};
                    }
                    const [file] = (await store.runs()).find(run => run.runKey === runKey).files;
                    return {bytes: Array.from(file.bytes), bufferLength: file.bytes.buffer.byteLength};
                }, kind);
                if (expected instanceof RegExp) assert.match(got.error, expected);
                else assert.deepEqual(got, {bytes: expected, bufferLength: expected.length});
            });
        }
        assertNoProblems(chromium.problems);
    });
});

// A request the browser refuses inside a store transaction (here an add over an existing key, which
// fails asynchronously, as a full disk does) must abort the whole transaction: the save is reported
// failed and nothing of it is kept.
const refusedWrites = [
    {name: 'a file write refused leaves the file as it was', store: 'files', act: 'save', kept: [1, 2]},
    {name: 'a refused write of the run\'s record keeps the file written beside it out too', store: 'runs', act: 'save',
        kept: [1, 2]},
    {name: 'a refused finishing leaves the run in its trials', store: 'runs', act: 'finish', kept: [1, 2]},
];
test('a request the browser refuses fails its save, and nothing of the save is kept', async t => {
    await withHarness({}, async chromium => {
        for (const {name, store: refusedStore, act, kept} of refusedWrites) {
            await t.test(name, async () => {
                const got = await chromium.page.evaluate(async (refusedStore, act) => {
                    const store = await kpx2.openStore();
                    const runKey = await store.beginRun({subject: 'S01', runStarted: ''});
                    await store.saveFile(runKey, 'S01.KPX', new Uint8Array([1, 2]));
                    const put = IDBObjectStore.prototype.put;
                    IDBObjectStore.prototype.put = function (value, key) {
                        if (this.name !== refusedStore) return put.call(this, value, key);
                        return key === undefined ? this.add(value) : this.add(value, key);
                    };
                    let outcome;
                    try {
                        await (act === 'save' ? store.saveFile(runKey, 'S01.KPX', new Uint8Array([3])) : store.finishRun(runKey));
                        outcome = 'reported done';
                    } catch (error) {
                        outcome = error.name;
                    } finally {
                        IDBObjectStore.prototype.put = put;
                    }
                    const run = (await store.runs()).find(each => each.runKey === runKey);
                    await store.forget(runKey);
                    return {outcome, state: run.state, files: run.files.map(file => [file.name, Array.from(file.bytes)])};
                }, refusedStore, act);
                assert.deepEqual(got, {outcome: 'ConstraintError', state: 'trials', files: [['S01.KPX', kept]]});
            });
        }
        assertNoProblems(chromium.problems);
    });
});

// A second tab of the same browser on the same page, as a participant opens one.
async function anotherTab(chromium) {
    const page = await chromium.browser.newPage();
    await open(page, `${chromium.server.url}harness.html`);
    return page;
}

const buttonsOf = (page, runKey) => page.evaluate(key => [...document.querySelector(`[data-run-key="${key}"]`)
    .querySelectorAll('button')].filter(button => !button.hidden).map(button => button.textContent), runKey);

test('a run going on in another tab is offered there for download only, and in full once its tab is gone', async () => {
    await withHarness({config: {dataUrl: 'https://lab.example.edu/receive'}}, async chromium => {
        const files = filesOf('S01', 4).slice(0, 1);
        const runKey = await storeRun(chromium.page, {subject: 'S01', files});
        const other = await anotherTab(chromium);
        const live = await offerStored(other);
        assert.deepEqual(live.runs.map(run => ({runKey: run.runKey, buttons: run.buttons, links: run.links.length})),
            [{runKey, buttons: [], links: 1}]);
        assert.match(live.runs[0].text, /“S01”.* is going on in another tab of this browser\. 4 answered trials are stored/);
        // Its tab goes; the other tab's section follows, unasked.
        await chromium.page.close({runBeforeUnload: false});
        await other.waitForFunction(key => document.querySelector(`[data-run-key="${key}"]`).dataset.live === 'false',
            {polling: 100, timeout: 10000}, runKey);
        assert.deepEqual(await buttonsOf(other, runKey), ['Send', 'Forget this run']);
        assert.match(await other.$eval('.kpx2-stored-run p', p => p.textContent), /was not finished.* 4 answered trials/);
    });
});

// What the run's own tab does with it frees it at once for every other tab.
const endsInItsTab = [
    {name: 'sent', act: 'markSent'},
    {name: 'forgotten', act: 'forget'},
];
for (const {name, act} of endsInItsTab) {
    test(`a run ${name} in its own tab is no longer shown as going on in another`, async () => {
        await withHarness({}, async chromium => {
            const runKey = await storeRun(chromium.page, {subject: 'S01', files: filesOf('S01', 2).slice(0, 1), finished: true});
            const other = await anotherTab(chromium);
            assert.deepEqual((await offerStored(other)).runs.map(run => run.buttons), [[]]);
            await chromium.page.evaluate(async (runKey, act) => (await kpx2.openStore())[act](runKey), runKey, act);
            await other.waitForFunction(key => document.querySelector(`[data-run-key="${key}"]`).textContent
                .includes('sent or removed from its own tab'), {polling: 100, timeout: 10000}, runKey);
            assert.deepEqual((await offerStored(other)).count, 0);
            assertNoProblems(chromium.problems, [404]);
        });
    });
}

const hostileSubjects = [
    ['markup', '<img src=x onerror="document.title=1"><b>bold</b>'],
    ['quotes and an entity', `"'&amp;<script>document.title=2</script>`],
    ['right-to-left and emoji', '\u202Eאבג\u202C 😀👍🏽 Zoë'],
];
test('hostile subject IDs shown by a reopened page appear as text, never as markup', async () => {
    await withHarness({config: {dataUrl: 'https://lab.invalid/receive'}}, async chromium => {
        for (const [, subject] of hostileSubjects) await storeRun(chromium.page, {subject, files: filesOf(subject)});
        const {runs} = await offerStored(chromium.page);
        for (const [index, [what, subject]] of hostileSubjects.entries()) {
            assert.ok(runs[index].text.includes(`“${subject}”`), what);
            assert.deepEqual(runs[index].links, filesOf(subject).map(({name}) => ({download: name, text: name})), what);
            assert.deepEqual([...new Set(runs[index].elements)].sort(), ['a', 'button', 'div', 'li', 'p', 'ul'], what);
        }
        assert.equal(await chromium.page.title(), 'data harness');
        assertNoProblems(chromium.problems);
    });
});

const configs = [
    ['no config file means no addresses', undefined, {}],
    ['empty addresses mean none', {dataUrl: '', completionUrl: '', subjectParameter: 'PROLIFIC_PID'}, {subjectParameter: 'PROLIFIC_PID'}],
    ['https addresses are taken', {dataUrl: 'https://lab.example/kpx2', completionUrl: 'https://panel.example/done?code=1'},
        {dataUrl: 'https://lab.example/kpx2', completionUrl: 'https://panel.example/done?code=1'}],
    ['a relative data address is beside the config', {dataUrl: 'receive.php'}, {dataUrl: 'PAGE/receive.php'}],
    ['a javascript: completion address is refused', {completionUrl: 'javascript:alert(1)'}, /completionUrl.*https/],
    ['a data: address is refused', {dataUrl: 'data:text/plain,x'}, /dataUrl.*https/],
    ['a file: address is refused', {dataUrl: 'file:///etc/passwd'}, /dataUrl.*https/],
    ['an ftp address is refused', {dataUrl: 'ftp://lab.example/in'}, /dataUrl.*https/],
    ['a misspelt setting is refused, not taken for none', {dataURL: 'https://lab.example/kpx2'}, /unknown setting "dataURL"/],
    ['an address that is not a string is refused', {dataUrl: ['https://lab.example']}, /dataUrl/],
    ['a file that is not JSON is refused', '{"dataUrl": ', /not valid JSON/],
];
test('kpx2-config.json alone decides the addresses, whatever the link says', async t => {
    const evil = 'https%3A%2F%2Fevil.example%2Fcollect';
    await withHarness({query: `?post=${evil}&data=${evil}&dataUrl=${evil}&completionUrl=${evil}&subject=S01`}, async chromium => {
        for (const [name, config, expected] of configs) {
            await t.test(name, async () => {
                if (config === undefined) await fs.rm(path.join(chromium.dir, 'kpx2-config.json'), {force: true});
                else await chromium.writeConfig(config);
                const got = await chromium.page.evaluate(() => kpx2.loadConfig(location.href).then(
                    config => ({config}), error => ({error: `${error.name}: ${error.message}`})));
                if (expected instanceof RegExp) assert.match(got.error ?? 'no error', expected);
                else assert.deepEqual(got, {config: JSON.parse(JSON.stringify(expected).replace('PAGE/', chromium.server.url))});
            });
        }
        const refused = await chromium.page.evaluate(() => kpx2.sendFiles('javascript:alert(1)', []).then(() => 'sent', error => error.message));
        assert.match(refused, /must be http/);
        assert.deepEqual(chromium.server.requests.filter(({url}) => !/^\/(harness\.html|\w+\.js)(\?|$)/.test(url)).map(({method, url}) => `${method} ${url}`),
            configs.map(() => 'GET /kpx2-config.json'));
        assertNoProblems(chromium.problems, [404]);
    });
});

test('the receiver named in the config gets one POST with the three files byte for byte, and "sent" follows its 2xx', async () => {
    const lab = await receiver([200]);
    const elsewhere = await receiver([200]);
    const link = encodeURIComponent(elsewhere.url);
    try {
        await withHarness({config: {dataUrl: lab.url}, connect: [lab.origin, elsewhere.origin], query: `?post=${link}&data=${link}&dataUrl=${link}`},
            async chromium => {
                const files = filesOf('Zoë');
                const runKey = await storeRun(chromium.page, {subject: 'Zoë', files, finished: true});
                await offerStored(chromium.page);
                await clickButton(chromium.page, runKey, 'Send');
                await chromium.page.waitForFunction(() => document.querySelector('.kpx2-status').dataset.sent === '1');
                assert.equal(lab.posts.length, 1);
                assert.equal(elsewhere.posts.length, 0);
                const {fields, files: received} = await partsOf(lab.posts[0]);
                assert.deepEqual(fields, {subject: 'Zoë', run_started: '20261209-101500', run_key: runKey, finished: '1'});
                assert.deepEqual(received, files.map(file => ({part: 'files[]', ...file})));
                assert.equal((await storedRuns(chromium.page))[0].state, 'sent');
                assertNoProblems(chromium.problems);
            });
    } finally {
        await lab.close();
        await elsewhere.close();
    }
});

test('two 503 answers are retried, and until the third succeeds the run is neither marked nor shown as sent', async () => {
    let chromium;
    const seen = [];
    const fail = async (req, res) => {
        seen.push(await chromium.page.evaluate(async () => ({
            status: document.querySelector('.kpx2-status').textContent,
            ...await (await kpx2.openStore()).runs().then(([run]) => ({state: run.state, files: run.files.length})),
        })));
        res.writeHead(503, {'Access-Control-Allow-Origin': '*'}).end();
    };
    const lab = await receiver([fail, fail, 201]);
    try {
        await withHarness({config: {dataUrl: lab.url}, connect: [lab.origin]}, async opened => {
            chromium = opened;
            const runKey = await storeRun(chromium.page, {subject: 'S01', files: filesOf('S01'), finished: true});
            await offerStored(chromium.page, [1, 2]);
            await clickButton(chromium.page, runKey, 'Send');
            await chromium.page.waitForFunction(() => document.querySelector('.kpx2-status').dataset.sent === '1');
            assert.equal(lab.posts.length, 3);
            assert.deepEqual(seen.map(({state, files}) => ({state, files})), [{state: 'finished', files: 3}, {state: 'finished', files: 3}]);
            assert.match(seen[1].status, /Not sent yet \(attempt 1: the data address answered 503\)/);
            assert.ok(seen.every(({status}) => !/^Sent/.test(status)));
            assert.equal(await chromium.page.$eval('.kpx2-status', status => status.textContent), 'Sent.');
            assert.equal((await storedRuns(chromium.page))[0].state, 'sent');
            assertNoProblems(chromium.problems, [503]);
        });
    } finally {
        await lab.close();
    }
});

const failures = [
    ['a server error', res => res.writeHead(500, {'Access-Control-Allow-Origin': '*'}).end(), {status: 500, error: 'the data address answered 500'}],
    ['a dropped connection', res => res.socket.destroy(), {error: /the network failed/}],
    ['a redirect, which would turn the POST into a GET', res => res.writeHead(303, {Location: '/upload', 'Access-Control-Allow-Origin': '*'}).end(),
        {error: 'the data address answered with a redirect'}],
    ['a request that is never answered', () => {}, {error: 'the data address gave no answer in time'}, {timeoutMs: 50}],
];
test('sendFiles tries again after each kind of failure and resolves only on the 2xx', async t => {
    let answer;
    const lab = await receiver([async (req, res) => answer(res), 200]);
    try {
        await withHarness({connect: [lab.origin]}, async chromium => {
            for (const [name, fail, expected, options = {}] of failures) {
                await t.test(name, async () => {
                    lab.posts.length = 0;
                    answer = fail;
                    const attempts = await chromium.page.evaluate(async (url, file, options) => {
                        const attempts = [];
                        await kpx2.sendFiles(url, [{name: file.name, bytes: new Uint8Array(file.bytes)}],
                            {...options, delays: [3], onAttempt: attempt => attempts.push(attempt)});
                        return attempts;
                    }, lab.url, filesOf('S01')[1], options);
                    // With a short timeout a slow machine may also time out the answered attempts: more
                    // attempts then, each a timeout, never an earlier "sent".
                    if (options.timeoutMs) assert.ok(attempts.length >= 2); else assert.equal(attempts.length, 2);
                    const {error, ...rest} = expected;
                    for (const [index, attempt] of attempts.slice(0, -1).entries()) {
                        assert.deepEqual({...attempt, error: undefined}, {attempt: index + 1, retryInMs: 3, error: undefined, ...rest});
                        if (error instanceof RegExp) assert.match(attempt.error, error); else assert.equal(attempt.error, error);
                    }
                    assert.deepEqual(attempts.at(-1), {attempt: attempts.length, status: 200});
                    assert.equal(lab.posts.length, attempts.length);
                });
            }
            assertNoProblems(chromium.problems, [404, 500, 'net::ERR_EMPTY_RESPONSE', 'net::ERR_ABORTED']);
        });
    } finally {
        await lab.close();
    }
});
