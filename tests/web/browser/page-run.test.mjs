// The whole task in the browser, answered by the scripted participant: the page writes what
// kpx2-sim writes for the same seed and answers, and refuses what the desktop refuses.
import test from 'node:test';
import assert from 'node:assert/strict';
import {withPage, shortTimings, ParticipantRule, answerRun, simFiles, comparableLog, logRows} from './page-rig.mjs';

async function storedRun(page) {
    return page.evaluate(() => globalThis.kpx2StandinRuns.map(run => ({...run})));
}

// The keys' run leaves full screen after its fifth answer.
const wholeRuns = [
    {name: 'answered by arrow keys', subject: 'S1', seed: 7, value: 35, by: 'keys', leaveFullScreenAfter: 5},
    {name: 'answered by clicks', subject: 'Zoë', seed: 3, value: 60, by: 'clicks'},
];

for (const run of wholeRuns) {
    test(`a whole run ${run.name} writes the files kpx2-sim writes for the same answers`, async () => {
        await withPage(async (page, url, problems) => {
            const query = new URLSearchParams({subject: run.subject, seed: run.seed, 'test-timings': shortTimings});
            await page.goto(`${url}kpx2.html?${query}`);
            await page.waitForFunction(() => document.documentElement.dataset.ready === 'true');
            assert.equal(await page.$eval('#setup', e => e.hidden), true, 'a valid prefilled setup is not shown');
            // The frames are measured over the page's first second, before a participant could read the
            // instructions; this one reads fast.
            await page.waitForFunction(() => document.documentElement.dataset.frameIntervalMs !== undefined);
            await page.click('#instructions [data-name="Command1"]');
            const {answers, messages} = await answerRun(page, new ParticipantRule(run.value, run.by), async count => {
                if (count === run.leaveFullScreenAfter) await page.evaluate(() => document.exitFullscreen());
            });
            assert.deepEqual(messages, ['The task is now complete']);

            const [stored] = await storedRun(page);
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
            assert.ok(stored.saves >= answers.length + 3, `${stored.saves} saves for ${answers.length} answers`);
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
            await page.waitForFunction(() => document.documentElement.dataset.ready === 'true');
            assert.equal(await page.$eval('#setup', e => e.hidden), false);
            assert.equal(await page.$eval('#instructions', e => e.hidden), true);
            const message = await page.$eval('#setup-message', e => e.textContent);
            assert.match(message, refused.subject ? /cannot be used/ : /Enter Subject ID/);
            assert.deepEqual(problems, []);
        });
    });
}
