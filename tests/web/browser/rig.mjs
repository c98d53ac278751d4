// What every browser test shares: a plain static server (the way a lab hosts the page), with the
// strict Content-Security-Policy the page must work under, and headless Chromium driven through
// puppeteer-core. Nothing here downloads a browser: it is the system's chromium.
import http from 'node:http';
import fs from 'node:fs/promises';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

// No inline scripts, no eval; WebAssembly may compile. connect-src is widened per test to a receiver.
export function strictCsp(connect = []) {
    return ["default-src 'self'", "script-src 'self' 'wasm-unsafe-eval'", "style-src 'self'", "font-src 'self'",
        "img-src 'self' data: blob:", `connect-src 'self' ${connect.join(' ')}`.trim(), "object-src 'none'",
        "base-uri 'none'", "frame-ancestors 'none'"].join('; ');
}

const types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript',
    '.wasm': 'application/wasm', '.json': 'application/json', '.css': 'text/css', '.ttf': 'font/ttf',
    '.txt': 'text/plain; charset=utf-8',
};

// Serves the files below root on 127.0.0.1 at a free port. handle(req, res) may answer a request
// first (a receiver, a scripted failure) by returning true. Returns {url, close, requests}.
export async function serve(root, {csp = strictCsp(), handle} = {}) {
    const requests = [];
    const server = http.createServer(async (req, res) => {
        requests.push({method: req.method, url: req.url});
        if (handle && await handle(req, res)) return;
        const url = new URL(req.url, 'http://127.0.0.1');
        const file = path.normalize(path.join(root, decodeURIComponent(url.pathname)));
        if (!file.startsWith(path.normalize(root))) { res.writeHead(403).end(); return; }
        try {
            const body = await fs.readFile(file);
            res.writeHead(200, {'Content-Type': types[path.extname(file)] ?? 'application/octet-stream',
                'Content-Security-Policy': csp, 'Cache-Control': 'no-store'});
            res.end(body);
        } catch {
            res.writeHead(404).end();
        }
    });
    await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
    return {
        url: `http://127.0.0.1:${server.address().port}/`,
        requests,
        close: () => new Promise(resolve => { server.closeAllConnections(); server.close(resolve); }),
    };
}

export const chromiumPath = process.env.KPX2_CHROMIUM ?? '/usr/bin/chromium';

// A headless Chromium with one page whose console errors, uncaught exceptions and CSP violations are
// gathered in `problems`, so a test can require none.
export async function launch({width = 1366, height = 768} = {}) {
    const browser = await puppeteer.launch({
        executablePath: chromiumPath, headless: true,
        args: ['--no-sandbox', '--disable-dev-shm-usage', `--window-size=${width},${height}`],
        defaultViewport: {width, height},
    });
    const page = await browser.newPage();
    const problems = [];
    page.on('pageerror', error => problems.push(`uncaught: ${error.message}`));
    page.on('console', message => { if (message.type() === 'error') problems.push(`console: ${message.text()}`); });
    await page.evaluateOnNewDocument(() => {
        document.addEventListener('securitypolicyviolation',
            event => console.error(`CSP violation: ${event.violatedDirective} ${event.blockedURI}`));
    });
    return {browser, page, problems, close: () => browser.close()};
}
