// What the page takes as an answer, and what it guards: a key before black or held down is none,
// and leaving the page during the trials asks first.
import test from 'node:test';
import assert from 'node:assert/strict';
import {withPage, shortTimings, frames, choiceState} from './page-rig.mjs';

// Long white phases, so the test acts within them whatever the machine's speed.
const longWhite = '0.02,0.03,2000';

async function startRun(page, url, timings) {
    await page.goto(`${url}kpx2.html?${new URLSearchParams({subject: 'K1', seed: '5', 'test-timings': timings})}`);
    await page.waitForFunction(() => document.querySelector('.kpx2-task')?.dataset.ready === 'true');
    await page.click('.kpx2-instructions [data-name="Command1"]');
    await page.waitForFunction(() => !document.querySelector('.kpx2-break').hidden);
    await page.keyboard.press('Space');
    await page.waitForFunction(() => document.querySelector('.kpx2-break').hidden);
}

test('a key pressed while the options are white, and held down once they are black, answers nothing', async () => {
    await withPage(async (page, url, problems) => {
        await startRun(page, url, longWhite);
        assert.equal((await choiceState(page)).fore, 'white');
        await page.keyboard.down('ArrowRight');
        await frames(page, 3);
        assert.equal((await choiceState(page)).back, 'buttonface', 'a key in the white phase is no answer');
        await page.waitForFunction(() => document.querySelector('.kpx2-choice [data-name="VReward"]').dataset.fore === 'black',
            {polling: 'raf', timeout: 10000});
        await frames(page, 1);
        // The same key, still held: the browser repeats it.
        await page.keyboard.down('ArrowRight');
        await frames(page, 3);
        assert.deepEqual(await choiceState(page), {fore: 'black', back: 'buttonface', enabled: 'true', breakShown: false});
        await page.keyboard.up('ArrowRight');
        // A fresh press answers (pressed again should DevTools lose it on a loaded machine).
        let taken = false;
        for (let attempt = 0; attempt < 3 && !taken; ++attempt) {
            await page.keyboard.press('ArrowRight');
            taken = await page.waitForFunction(
                () => document.querySelector('.kpx2-choice [data-name="VDelay"]').dataset.back === 'green',
                {polling: 'raf', timeout: 5000}).then(() => true, () => false);
        }
        assert.ok(taken, 'a fresh press answers');
        assert.deepEqual(problems, []);
    });
});

test('leaving the page during the trials asks first', async () => {
    await withPage(async (page, url) => {
        await startRun(page, url, shortTimings);
        const asked = new Promise(resolve => page.once('dialog', async dialog => {
            resolve(dialog.type());
            await dialog.dismiss();
        }));
        // Dismissed: the page stays, its run with it.
        await Promise.race([page.reload(), asked]);
        assert.equal(await asked, 'beforeunload');
        assert.equal(await page.evaluate(() => document.querySelector('.kpx2-choice').hidden), false);
    });
});
