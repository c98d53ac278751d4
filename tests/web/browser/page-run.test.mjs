// The whole task in the browser, answered by the scripted participant: the page writes what
// kpx2-sim writes for the same seed and answers, and refuses what the desktop refuses.
import test from 'node:test';
import assert from 'node:assert/strict';
import {withPage, shortTimings, ParticipantRule, answerRun, simFiles, comparableLog, logRows, storedRuns, labelFit} from './page-rig.mjs';
import {receiver} from './receiver.mjs';

// Counts the files the page hands to the browser's storage, from before the page's first script runs.
async function countStoredFiles(page) {
    await page.evaluateOnNewDocument(() => {
        window.kpx2FilePuts = 0;
        const put = IDBObjectStore.prototype.put;
        IDBObjectStore.prototype.put = function (...args) {
            if (this.name === 'files') window.kpx2FilePuts += 1;
            return put.apply(this, args);
        };
    });
}

const nextShown = () => {
    const at = name => document.querySelector(`.kpx2-choice [data-name="${name}"]`);
    return !document.querySelector('.kpx2-break').hidden || (!document.querySelector('.kpx2-choice').hidden
        && at('VReward')?.dataset.fore === 'black' && at('Frame1').dataset.enabled === 'true');
};

// The keys' run leaves full screen after its fifth answer.
const wholeRuns = [
    {name: 'answered by arrow keys', subject: 'S1', seed: 7, value: 35, by: 'keys', leaveFullScreenAfter: 5},
    {name: 'answered by clicks', subject: 'Zoë', seed: 3, value: 60, by: 'clicks'},
    {name: 'by a participant who takes the immediate reward often', subject: '参加者-7', seed: 11, value: 20, by: 'keys'},
    {name: 'by a participant who mostly waits', subject: 'P4', seed: 19, value: 85, by: 'clicks'},
    {name: 'by keys and clicks mixed', subject: 'M5', seed: 23, value: 50, by: 'mixed'},
];

for (const run of wholeRuns) {
    test(`a whole run ${run.name} writes the files kpx2-sim writes for the same answers`, async () => {
        await withPage(async (page, url, problems) => {
            await countStoredFiles(page);
            const query = new URLSearchParams({subject: run.subject, seed: run.seed, 'test-timings': shortTimings});
            await page.goto(`${url}kpx2.html?${query}`);
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.ready === 'true');
            assert.equal(await page.$eval('.kpx2-setup', e => e.hidden), true, 'a valid prefilled setup is not shown');
            // The frames are measured over the page's first second, before a participant could read the
            // instructions; this one reads fast.
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.frameIntervalMs !== undefined);
            await page.click('.kpx2-instructions [data-name="Command1"]');
            // English fits its labels at the layout's sizes: nothing is drawn smaller, nothing reaches out.
            const misfits = new Set();
            const noteMisfits = async () => {
                const {outside, smaller} = await labelFit(page);
                for (const where of [...outside, ...smaller]) misfits.add(where);
            };
            const {answers, messages} = await answerRun(page, new ParticipantRule(run.value, run.by), async count => {
                if (count === run.leaveFullScreenAfter) await page.evaluate(() => document.exitFullscreen());
                await noteMisfits();
            });
            assert.deepEqual(messages, ['The task is now complete']);
            assert.deepEqual([...misfits], []);

            const [stored] = await storedRuns(page);
            assert.equal(stored.state, 'finished');
            const files = Object.fromEntries(stored.files.map(file => [file.name, file.text]));
            const expected = await simFiles(run.subject, run.seed, answers);
            for (const name of [`${run.subject}.KPX`, `${run.subject}.TC`])
                assert.equal(files[name], expected[name], name);
            const log = name => Object.keys(name).find(each => each.endsWith('.trials.csv'));
            const withInput = run.by === 'keys';
            assert.equal(comparableLog(files[log(files)], {withInput}), comparableLog(expected[log(expected)], {withInput}));
            // The display's frame interval in every row; full screen left once, after the fifth answer.
            const rows = logRows(files[log(files)]);
            for (const [i, row] of rows.entries()) {
                assert.match(row.frame_interval_ms, /^\d+\.\d{3}$/, `row ${i + 1}: ${JSON.stringify(row)}`);
                assert.equal(row.fullscreen_exits, run.leaveFullScreenAfter && i >= run.leaveFullScreenAfter ? '1' : '0',
                    `row ${i + 1}: ${JSON.stringify(row)}`);
            }
            // Stored after each answer, before the next trial showed.
            const saves = await page.evaluate(() => window.kpx2FilePuts);
            assert.ok(saves >= answers.length + 3, `${saves} files stored for ${answers.length} answers`);
            assert.deepEqual(problems, []);
        });
    });
}

// Runs in another language, each text as its catalogue (translations/<lang>.po) writes it.
const translatedRuns = [
    {name: 'German', lang: 'de', subject: 'D1', seed: 7, value: 35, texts: {
        instructions: 'In dieser Aufgabe treffen Sie eine Reihe von Entscheidungen.  Jedes Mal wählen Sie zwischen einem '
            + 'veränderlichen Geldbetrag, den Sie JETZT erhalten, und einem festen Geldbetrag, den Sie nach einer Wartezeit '
            + 'erhalten.  Sie können bei jeder Entscheidung erst antworten, wenn die Möglichkeiten schwarz erscheinen.  '
            + 'Bitte überlegen Sie jede Entscheidung sorgfältig und antworten Sie so, als ginge es um echtes Geld.  Manche '
            + 'Fragen können sich wiederholen.  Bitte klicken Sie auf OK, wenn Sie bereit sind.',
        breakFirst: 'Wählen Sie nun zwischen 100 €', prompt: 'Bitte wählen Sie zwischen den beiden Möglichkeiten:',
        now: 'JETZT', available: 'erhalten', amount: /^\d+ €$/, completion: 'Die Aufgabe ist jetzt beendet',
        sending: 'Ihre Antworten werden gesendet…', sent: 'gesendet', continue: 'Weiter',
        notSent503: 'Noch nicht gesendet (Versuch 1: die Datenadresse antwortete mit 503); es wird erneut versucht. '
            + 'Bitte lassen Sie diese Seite geöffnet.',
        smallerAtBreak: ['kpx2-break Label1: Wählen Sie nun zwischen 100 €'],
        smallerInTrials: ['kpx2-choice VDelay: IN 3 MONATEN', 'kpx2-choice VDelay: IN 6 MONATEN']}},
    {name: 'Spanish', lang: 'es', subject: 'E1', seed: 23, value: 60, texts: {
        instructions: /^En esta tarea se le presentará una serie de elecciones\./,
        breakFirst: 'Ahora elija entre 100 €', prompt: 'Elija entre las dos opciones siguientes:',
        now: 'AHORA', available: 'disponible', amount: /^\d+ €$/, completion: 'La tarea ha terminado',
        sending: 'Enviando sus respuestas…', sent: 'enviado', continue: 'Continuar',
        notSent503: 'Aún no enviado (intento 1: la dirección de datos respondió 503); se volverá a intentar. '
            + 'Por favor, mantenga esta página abierta.',
        smallerAtBreak: [], smallerInTrials: ['kpx2-choice VDelay: EN 1 SEMANA']}},
];

const seesText = (actual, expected, what) =>
    (expected instanceof RegExp ? assert.match(actual, expected, what) : assert.equal(actual, expected, what));

for (const run of translatedRuns) {
    test(`a whole run in ${run.name} shows the catalogue's texts, the page's own among them, and writes the files of the English run`, async () => {
        let page;
        const whileSending = [];
        // The receiver notes what the page says while the files are on their way; it fails the first attempt.
        const noting = status => async (req, res) => {
            whileSending.push(await page.evaluate(() => ({ended: document.querySelector('.kpx2-ended-text').textContent,
                status: document.querySelector('.kpx2-send-status').textContent})));
            res.writeHead(status, {'Access-Control-Allow-Origin': '*'}).end();
        };
        const lab = await receiver([noting(503), noting(200)]);
        try {
            await withPage(async (chromiumPage, url, problems) => {
                page = chromiumPage;
                const query = new URLSearchParams({subject: run.subject, seed: run.seed, lang: run.lang,
                    'test-timings': shortTimings});
                await page.goto(`${url}kpx2.html?${query}`);
                await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.frameIntervalMs !== undefined);
                const caption = name => page.$eval(name, e => e.textContent);
                seesText(await caption('.kpx2-instructions [data-name="Label1"]'), run.texts.instructions, 'instructions');
                await page.click('.kpx2-instructions [data-name="Command1"]');
                await page.waitForFunction(() => !document.querySelector('.kpx2-break').hidden, {polling: 'raf'});
                seesText(await caption('.kpx2-break [data-name="Label1"]'), run.texts.breakFirst, 'break message');
                // Every text within its label, a too wide one drawn smaller: the break message's first line
                // here, and each block's delay as the choice window shows it.
                const atBreak = await labelFit(page);
                assert.deepEqual(atBreak.outside, []);
                assert.deepEqual(atBreak.smaller, run.texts.smallerAtBreak);
                const outside = new Set();
                const smaller = new Set();
                const {answers, messages} = await answerRun(page, new ParticipantRule(run.value, 'keys'), async count => {
                    const fit = await labelFit(page);
                    fit.outside.forEach(where => outside.add(where));
                    fit.smaller.forEach(where => smaller.add(where));
                    if (count !== 1) return;
                    const at = name => caption(`.kpx2-choice [data-name="${name}"]`);
                    seesText(await at('Label2'), run.texts.prompt, 'prompt');
                    seesText(await at('Label3'), run.texts.now, 'NOW');
                    seesText(await at('Label5'), run.texts.available, 'available');
                    seesText(await at('VReward'), run.texts.amount, 'amount');
                });
                assert.deepEqual(messages, [run.texts.completion]);
                assert.deepEqual([...outside], []);
                assert.deepEqual([...smaller].sort(), run.texts.smallerInTrials);
                assert.deepEqual(whileSending, [{ended: run.texts.sending, status: ''},
                    {ended: run.texts.sending, status: run.texts.notSent503}]);
                assert.equal(await caption('.kpx2-send-status'), run.texts.sent);
                assert.equal(await caption('.kpx2-ended-text'), run.texts.completion);
                assert.equal(await caption('.kpx2-completion-link'), run.texts.continue);

                const [stored] = await storedRuns(page);
                const files = Object.fromEntries(stored.files.map(file => [file.name, file.text]));
                const english = await simFiles(run.subject, run.seed, answers);
                const translated = await simFiles(run.subject, run.seed, answers, {language: run.lang});
                for (const name of [`${run.subject}.KPX`, `${run.subject}.TC`]) {
                    assert.equal(files[name], english[name], `${name} as in English`);
                    assert.equal(files[name], translated[name], name);
                }
                const log = all => all[Object.keys(all).find(name => name.endsWith('.trials.csv'))];
                assert.equal(comparableLog(log(files)), comparableLog(log(translated)));
                const rows = logRows(log(files));
                assert.equal(rows.length, answers.length);
                for (const [i, row] of rows.entries()) assert.equal(row.language, run.lang, `row ${i + 1}`);
                // Chromium logs the 503 it was answered; nothing else may go wrong.
                assert.deepEqual(problems.filter(problem => !problem.includes('responded with a status of 503')), []);
            }, {config: {dataUrl: lab.url, completionUrl: `${lab.origin}/done`}, connect: [lab.origin]});
        } finally {
            await lab.close();
        }
    });
}

class Reloaded extends Error {}

// What the reopened page says of the run, in the link's language; (\d+) is the answers stored.
const reloads = [
    {name: '', lang: '', startNew: 'Start a new run', forget: 'Forget this run',
        says: /^A run of subject “R1”, started \S+ was not finished \(the page was closed or reloaded\)\. (\d+) answered trials? (is|are) stored in this browser\.$/},
    {name: ' in German', lang: 'de', startNew: 'Einen neuen Durchlauf beginnen', forget: 'Diesen Durchlauf verwerfen',
        says: /^Ein Durchlauf der Versuchsperson „R1“, begonnen \S+ wurde nicht beendet \(die Seite wurde geschlossen oder neu geladen\)\. (\d+) beantwortete?r? Durchg(ang|änge) (ist|sind) in diesem Browser gespeichert\.$/},
];

for (const reload of reloads) {
    test(`a reload at a random trial keeps every answered row, and the page then offers them${reload.name}`, async () => {
        const reloadAfter = 1 + Math.floor(Math.random() * 30);
        await withPage(async (page, url, problems) => {
            const query = new URLSearchParams({subject: 'R1', seed: 5, 'test-timings': shortTimings,
                ...(reload.lang ? {lang: reload.lang} : {})});
            await page.goto(`${url}kpx2.html?${query}`);
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.ready === 'true');
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.frameIntervalMs !== undefined);
            await page.click('.kpx2-instructions [data-name="Command1"]');
            let answers = [];
            await answerRun(page, new ParticipantRule(45), async count => {
                if (count !== reloadAfter) return;
                // The next trial, or the break message when the answer ended a block, shows only once
                // the answer's row is stored.
                await page.waitForFunction(nextShown, {polling: 'raf', timeout: 60000});
                answers = count;
                // Leaving during the trials asks first; the participant confirms.
                page.once('dialog', dialog => dialog.accept());
                await page.reload();
                throw new Reloaded();
            }).catch(error => { if (!(error instanceof Reloaded)) throw error; });
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.ready === 'true');
            assert.equal(await page.$eval('.kpx2-recovery', e => e.hidden), false, `after ${reloadAfter} answers`);
            const said = await page.$eval('.kpx2-stored-run p', e => e.textContent);
            assert.match(said, reload.says);
            assert.equal(Number(said.match(reload.says)[1]), answers, said);
            assert.equal(await page.$eval('.kpx2-recovery-continue', e => e.textContent), reload.startNew);
            assert.ok((await page.$$eval('.kpx2-stored-run button', all => all.map(b => b.textContent))).includes(reload.forget));
            const [stored] = await storedRuns(page);
            assert.equal(stored.state, 'trials');
            const log = stored.files.find(file => file.name.endsWith('.trials.csv'));
            assert.equal(logRows(log.text).length, answers, `reloaded after ${reloadAfter} answers`);
            const links = await page.$$eval('.kpx2-recovery-runs a[download]', all => all.map(a => a.getAttribute('download')));
            assert.ok(links.includes(log.name), links.join(', '));
            assert.deepEqual(problems, []);
        });
    });
}

const refusedSubjects = [
    {name: 'a slash', subject: 'a/b'},
    {name: 'a line break', subject: 'a\nb'},
    {name: 'nothing', subject: ''},
];

for (const refused of refusedSubjects) {
    test(`a subject ID in the link holding ${refused.name} is refused and the setup asks again`, async () => {
        await withPage(async (page, url, problems) => {
            await page.goto(`${url}kpx2.html?${new URLSearchParams({subject: refused.subject})}`);
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.ready === 'true');
            assert.equal(await page.$eval('.kpx2-setup', e => e.hidden), false);
            assert.equal(await page.$eval('.kpx2-instructions', e => e.hidden), true);
            const message = await page.$eval('.kpx2-setup-message', e => e.textContent);
            assert.match(message, refused.subject ? /cannot be used/ : /Enter Subject ID/);
            assert.deepEqual(problems, []);
        });
    });
}

const refusedLanguages = [
    {name: 'one not shipped', lang: 'fr'},
    {name: 'a shipped one without its region', lang: 'zh'},
    {name: 'a shipped one in capitals', lang: 'DE'},
];

for (const refused of refusedLanguages) {
    test(`a link asking for ${refused.name} is refused with the languages shipped and nothing runs`, async () => {
        await withPage(async (page, url, problems) => {
            await page.goto(`${url}kpx2.html?${new URLSearchParams({subject: 's1', lang: refused.lang})}`);
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.ready === 'true');
            assert.equal(await page.$eval('.kpx2-dialog', e => e.hidden), false);
            const message = await page.$eval('.kpx2-dialog-text', e => e.textContent);
            assert.match(message, new RegExp(`'${refused.lang}'.*en, de, es, zh_CN`));
            for (const id of ['setup', 'instructions', 'choice'])
                assert.equal(await page.$eval(`.kpx2-${id}`, e => e.hidden), true, id);
            assert.deepEqual(await storedRuns(page), []);
            assert.deepEqual(problems, []);
        });
    });
}

const withoutStorage = [
    {name: 'English', lang: '', says: 'The task has met an error and cannot go on:\n'
        + 'this browser keeps no storage for the page (IndexedDB is off)'},
    {name: 'German', lang: 'de', says: 'Bei der Aufgabe ist ein Fehler aufgetreten; sie kann nicht fortgesetzt werden:\n'
        + 'dieser Browser bietet der Seite keinen Speicher (IndexedDB ist ausgeschaltet)'},
];

for (const browser of withoutStorage) {
    test(`a browser that keeps no storage is told so in ${browser.name} and no run starts`, async () => {
        await withPage(async (page, url) => {
            await page.evaluateOnNewDocument(() => Object.defineProperty(window, 'indexedDB', {value: undefined}));
            const query = new URLSearchParams({subject: 'N1', ...(browser.lang ? {lang: browser.lang} : {})});
            await page.goto(`${url}kpx2.html?${query}`);
            await page.waitForFunction(() => !document.querySelector('.kpx2-dialog')?.hidden);
            assert.equal(await page.$eval('.kpx2-dialog-text', e => e.textContent), browser.says);
            for (const name of ['setup', 'instructions', 'choice'])
                assert.equal(await page.$eval(`.kpx2-${name}`, e => e.hidden), true, name);
        });
    });
}
