// A lab's receiver for the browser tests, on a port of its own, and the multipart parts it was sent.
import http from 'node:http';

// A receiver of the lab's, on another port: answers[i] answers the i-th request (the last repeats).
export async function receiver(answers) {
    const posts = [];
    const server = http.createServer(async (req, res) => {
        const chunks = [];
        for await (const chunk of req) chunks.push(chunk);
        const post = {method: req.method, url: req.url, type: req.headers['content-type'], body: Buffer.concat(chunks)};
        posts.push(post);
        // A fresh connection for every request: Chromium itself resends a request whose reused
        // connection drops, which would hide the dropped connection from the page.
        res.setHeader('Connection', 'close');
        const answer = answers[Math.min(posts.length, answers.length) - 1];
        if (typeof answer === 'function') await answer(req, res);
        else res.writeHead(answer, {'Access-Control-Allow-Origin': '*'}).end();
    });
    await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
    const origin = `http://127.0.0.1:${server.address().port}`;
    return {url: `${origin}/upload`, origin, posts,
        close: () => new Promise(resolve => { server.closeAllConnections(); server.close(resolve); })};
}

// The form fields and file parts of one received POST.
export async function partsOf(post) {
    const form = await new Response(post.body, {headers: {'content-type': post.type}}).formData();
    const fields = {};
    const files = [];
    for (const [name, value] of form) {
        if (typeof value === 'string') fields[name] = value;
        else files.push({part: name, name: value.name, bytes: Array.from(Buffer.from(await value.arrayBuffer()))});
    }
    return {fields, files};
}
