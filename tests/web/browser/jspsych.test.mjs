// The plugin in the real jsPsych 8 (the pinned npm package), in the example study that ships with
// the site: one trial runs the whole task, and its data holds every answer and the files kpx2-sim
// writes for the same seed and answers; a refused entry is told and ends the trial without a run.
import test from 'node:test';
import assert from 'node:assert/strict';
import {withPage, withJsPsych, shortTimings, ParticipantRule, answerRun, simFiles, logRows, storedRuns}
    from './page-rig.mjs';

const studyData = page => page.evaluate(() => window.kpx2Study.data.get().values());
const finished = page => page.waitForFunction(() => document.documentElement.dataset.studyFinished === 'true');

// What no two runs share, or what only a display tells.
const timeColumns = ['run_started', 'rt_ms', 'white_onset_ms', 'answerable_onset_ms', 'response_ms', 'display_scale',
    'frame_interval_ms', 'fullscreen_exits'];
// jsPsych's own style embeds its face as data: addresses, which the strict policy refuses (jsPsych's
// texts then take the system's face); any other problem is the plugin's.
const ours = problems => problems.filter(problem => !problem.includes("Loading the font 'data:font/woff2;")
    && problem !== 'console: CSP violation: font-src data');

const withoutTimes = rows => rows.map(row => Object.fromEntries(Object.entries(row).filter(([name]) => !timeColumns.includes(name))));

test('a jsPsych timeline of the plugin alone ends with every answer in jsPsych.data and the files kpx2-sim writes', async () => {
    await withPage(async (page, url, problems) => {
        const query = new URLSearchParams({subject: 'J1', seed: 17, 'test-timings': shortTimings});
        await page.goto(`${url}kpx2-jspsych-example.html?${query}`);
        await page.waitForFunction(() => document.querySelector('.jspsych-content .kpx2-task')?.dataset.frameIntervalMs !== undefined);
        assert.equal(await page.$eval('.kpx2-setup', e => e.hidden), true, 'the plugin shows no setup');
        await page.click('.kpx2-instructions [data-name="Command1"]');
        const {answers, messages} = await answerRun(page, new ParticipantRule(45, 'keys'));
        assert.deepEqual(messages, ['The task is now complete']);
        await finished(page);

        const data = await studyData(page);
        assert.equal(data.length, 1);
        const [trial] = data;
        assert.equal(trial.trial_type, 'kpx2');
        assert.equal(trial.completed, true);
        assert.equal(trial.refused, '');
        const expected = await simFiles('J1', 17, answers);
        assert.equal(trial.kpx, expected['J1.KPX']);
        assert.equal(trial.tc, expected['J1.TC']);
        const simLog = Object.keys(expected).find(name => name.endsWith('.trials.csv'));
        assert.equal(trial.rows.length, answers.length);
        assert.deepEqual(withoutTimes(trial.rows), withoutTimes(logRows(expected[simLog])));

        // The rows are the stored trial log's, field for field, times and all.
        const [stored] = await storedRuns(page);
        assert.equal(stored.state, 'finished');
        const log = stored.files.find(file => file.name === trial.log_name);
        assert.ok(log, `${trial.log_name} among ${stored.files.map(file => file.name).join(', ')}`);
        assert.deepEqual(trial.rows, logRows(log.text));
        assert.deepEqual(ours(problems), []);
    }, {prepare: withJsPsych});
});

const refusals = [
    {name: 'a subject ID holding a slash', query: {subject: 'a/b'}, message: /cannot be used/},
    {name: 'an empty subject ID', query: {subject: ''}, message: /Enter Subject ID/},
    {name: 'a language not shipped', query: {subject: 'J2', lang: 'fr'}, message: /'fr'.*en, de, es, zh_CN/},
];

for (const refusal of refusals) {
    test(`the plugin given ${refusal.name} says why and ends its trial without a run`, async () => {
        await withPage(async (page, url, problems) => {
            await page.goto(`${url}kpx2-jspsych-example.html?${new URLSearchParams(refusal.query)}`);
            await page.waitForFunction(() => !document.querySelector('.kpx2-dialog')?.hidden);
            assert.match(await page.$eval('.kpx2-dialog-text', e => e.textContent), refusal.message);
            assert.equal(await page.$eval('.kpx2-instructions', e => e.hidden), true);
            await page.click('.kpx2-dialog-ok');
            await finished(page);
            const [trial] = await studyData(page);
            assert.match(trial.refused, refusal.message);
            assert.equal(trial.completed, false);
            assert.deepEqual(trial.rows, []);
            assert.deepEqual(await storedRuns(page), []);
            assert.deepEqual(ours(problems), []);
        }, {prepare: withJsPsych});
    });
}
