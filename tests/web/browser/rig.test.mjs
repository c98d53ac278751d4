// The rig's own promise: a page served by it runs under the strict policy, so a page that passes the
// other browser tests would also pass on a host that sends the same header.
import test from 'node:test';
import assert from 'node:assert/strict';
import {fileURLToPath} from 'node:url';
import {serve, launch} from './rig.mjs';

test('the strict policy blocks an inline script and lets a served one run', async () => {
    const server = await serve(fileURLToPath(new URL('fixtures/', import.meta.url)));
    const chromium = await launch();
    try {
        await chromium.page.goto(`${server.url}inline-script.html`, {waitUntil: 'load'});
        assert.equal(await chromium.page.title(), 'inline script');
        assert.equal(await chromium.page.evaluate(() => document.documentElement.dataset.external), 'ran');
        assert.ok(chromium.problems.some(problem => problem.includes('CSP violation: script-src')), chromium.problems.join('\n'));
    } finally {
        await chromium.close();
        await server.close();
    }
});
