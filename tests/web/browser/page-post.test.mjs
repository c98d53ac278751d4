// A whole run on a site whose kpx2-config.json names the lab's receiver: the files reach it once,
// as the page wrote them, and "sent" follows only its 2xx; a link naming other addresses changes nothing.
import test from 'node:test';
import assert from 'node:assert/strict';
import {withPage, shortTimings, ParticipantRule, answerRun, simFiles} from './page-rig.mjs';
import {receiver, partsOf} from './receiver.mjs';

const sendStatus = page => page.$eval('.kpx2-send-status', e => e.textContent);

test('a whole run sends its three files once to the configured receiver, whatever addresses the link names', async () => {
    const lab = await receiver([200]);
    const elsewhere = await receiver([200]);
    try {
        const completionUrl = `${lab.origin}/done`;
        await withPage(async (page, url, problems) => {
            const hostile = Object.fromEntries(['post', 'dataUrl', 'data', 'completionUrl', 'upload']
                .map(name => [name, elsewhere.url]));
            const query = new URLSearchParams({subject: 'P1', seed: 13, 'test-timings': shortTimings, ...hostile});
            await page.goto(`${url}kpx2.html?${query}`);
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.ready === 'true');
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.frameIntervalMs !== undefined);
            await page.click('.kpx2-instructions [data-name="Command1"]');
            const {answers, messages} = await answerRun(page, new ParticipantRule(40));
            assert.deepEqual(messages, ['The task is now complete']);
            assert.equal(await sendStatus(page), 'sent');

            assert.equal(lab.posts.length, 1);
            assert.equal(lab.posts[0].method, 'POST');
            assert.equal(elsewhere.posts.length, 0);
            const {fields, files} = await partsOf(lab.posts[0]);
            assert.equal(fields.subject, 'P1');
            const received = Object.fromEntries(files.map(file => [file.name, Buffer.from(file.bytes).toString('utf8')]));
            const offered = await page.$$eval('.kpx2-downloads a[download]', all => all.map(a => a.getAttribute('download')));
            assert.deepEqual(Object.keys(received).sort(), [...offered].sort());
            assert.equal(files.length, 3);
            const expected = await simFiles('P1', 13, answers);
            for (const name of ['P1.KPX', 'P1.TC']) assert.equal(received[name], expected[name], name);
            const stored = await page.evaluate(async () => {
                const {openStore} = await import('./store.js');
                const [run] = await (await openStore()).runs();
                return {state: run.state, files: run.files.map(file => ({name: file.name, text: new TextDecoder().decode(file.bytes)}))};
            });
            assert.equal(stored.state, 'sent');
            for (const file of stored.files) assert.equal(received[file.name], file.text, file.name);

            const links = await page.$$eval('a[href]', all => all.map(a => a.href));
            assert.ok(links.every(href => !href.startsWith(elsewhere.origin)), links.join(', '));
            assert.equal(await page.$eval('.kpx2-completion-link', a => a.href), completionUrl);
            assert.deepEqual(problems, []);
        }, {config: {dataUrl: lab.url, completionUrl}, connect: [lab.origin, elsewhere.origin]});
    } finally {
        await lab.close();
        await elsewhere.close();
    }
});

test('a whole run whose receiver answers 503 twice says neither "sent" nor the completion until the third attempt succeeds', async () => {
    let page;
    const shown = [];
    // Before each answer the receiver notes what the page shows while it waits on that attempt.
    const noting = status => async (req, res) => {
        shown.push(await page.evaluate(() => ({status: document.querySelector('.kpx2-send-status').textContent,
            dialog: document.querySelector('.kpx2-dialog').hidden ? '' : document.querySelector('.kpx2-dialog-text').textContent,
            ended: document.querySelector('.kpx2-ended-text').textContent})));
        res.writeHead(status, {'Access-Control-Allow-Origin': '*'}).end();
    };
    const lab = await receiver([noting(503), noting(503), noting(200)]);
    try {
        await withPage(async (chromiumPage, url, problems) => {
            page = chromiumPage;
            const query = new URLSearchParams({subject: 'B1', seed: 29, 'test-timings': shortTimings});
            await page.goto(`${url}kpx2.html?${query}`);
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.ready === 'true');
            await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.frameIntervalMs !== undefined);
            await page.click('.kpx2-instructions [data-name="Command1"]');
            const {messages} = await answerRun(page, new ParticipantRule(55));
            assert.deepEqual(messages, ['The task is now complete']);
            assert.equal(lab.posts.length, 3);
            assert.equal(shown.length, 3);
            for (const [i, seen] of shown.entries()) {
                assert.doesNotMatch(seen.status, /^sent/i, `attempt ${i + 1}`);
                assert.equal(seen.dialog, '', `attempt ${i + 1}`);
                assert.doesNotMatch(seen.ended, /complete/, `attempt ${i + 1}`);
            }
            assert.match(shown[1].status, /attempt 1: .*503/);
            assert.match(shown[2].status, /attempt 2: .*503/);
            assert.equal(await sendStatus(page), 'sent');
            const state = await page.evaluate(async () => {
                const {openStore} = await import('./store.js');
                return (await (await openStore()).runs())[0].state;
            });
            assert.equal(state, 'sent');
            // Chromium logs each 503 it was answered; nothing else may go wrong.
            assert.deepEqual(problems.filter(problem => !problem.includes('responded with a status of 503')), []);
        }, {config: {dataUrl: lab.url}, connect: [lab.origin]});
    } finally {
        await lab.close();
    }
});
