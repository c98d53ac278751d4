// The browser's copy of every run: each file of a run (the trial log after every answer, the .KPX and
// .TC at the end) is kept in IndexedDB, whole, so that a tab that is closed, reloaded or crashes
// loses nothing that was saved. A save counts only once its transaction has completed.
//
// Two object stores: "runs" (one record per run, keyed by an ever-growing number so that the oldest
// comes first) and "files" (keyed by [runKey, name]). A run's files are found by its runKey alone, so
// two runs never share a file, even with the same subject and file names.

const version = 1;

function request(req) {
    return new Promise((resolve, reject) => {
        req.onsuccess = () => resolve(req.result);
        req.onerror = () => reject(req.error);
    });
}

// Resolves once the transaction has completed (its writes are durable), rejects when it aborts: a
// full quota or a closed database is a failure the caller must hear of, never a silent success.
function completion(tx) {
    return new Promise((resolve, reject) => {
        tx.oncomplete = () => resolve();
        tx.onabort = () => reject(tx.error ?? new Error('the browser storage refused the write'));
    });
}

function openDatabase(databaseName) {
    return new Promise((resolve, reject) => {
        const req = indexedDB.open(databaseName, version);
        req.onupgradeneeded = () => {
            const db = req.result;
            const runs = db.createObjectStore('runs', {autoIncrement: true});
            runs.createIndex('runKey', 'runKey', {unique: true});
            db.createObjectStore('files', {keyPath: ['runKey', 'name']});
        };
        req.onsuccess = () => resolve(req.result);
        req.onerror = () => reject(req.error);
        // onblocked needs nothing: every open copy closes itself on versionchange, and the open goes on.
    });
}

// Not a counter: a runKey must stay unique even if the browser's storage was cleared in between.
function newRunKey() {
    const random = new Uint8Array(8);
    crypto.getRandomValues(random);
    return `${Date.now().toString(36)}-${Array.from(random, b => b.toString(16).padStart(2, '0')).join('')}`;
}

// The bytes to keep: a copy of exactly the viewed bytes. Storing a view would clone its whole buffer
// (for a view into the WebAssembly heap, the whole heap), and a later change by the caller must not
// reach the stored copy either.
function ownBytes(bytes) {
    if (bytes instanceof Uint8Array) return bytes.slice();
    if (bytes instanceof ArrayBuffer) return new Uint8Array(bytes.slice(0));
    throw new TypeError('a file is saved from a Uint8Array or an ArrayBuffer');
}

// A transaction that flushes to disk before it completes where the browser offers the choice.
function writeTransaction(db, stores) {
    try {
        return db.transaction(stores, 'readwrite', {durability: 'strict'});
    } catch (error) {
        if (error instanceof TypeError) return db.transaction(stores, 'readwrite');
        throw error;
    }
}

// A run in progress holds a browser lock named after it until it is sent or forgotten, or its tab
// goes away (the browser then frees it), so that another tab of the same browser tells a live run
// from one that was cut off, and never sends or deletes a run that is still taking answers there.
// Browsers without the Web Locks API (or pages not served securely) go without: every run then
// counts as idle, as before.
const lockName = (databaseName, runKey) => `kpx2-run ${databaseName} ${runKey}`;

// This page's own runs' locks, by name, each with the function that frees it: whichever store object
// of the page began a run, any of them may send or forget it.
const ownLocks = new Map();

// Resolves, once the lock is granted, with the function that frees it.
function holdLock(name) {
    if (!navigator.locks) return Promise.resolve(() => {});
    return new Promise(granted => {
        // A page the browser grants no locks (a sandboxed frame) goes without, as above.
        navigator.locks.request(name, {mode: 'exclusive'}, () => new Promise(release => granted(release)))
            .catch(() => granted(() => {}));
    });
}

async function heldLocks() {
    try {
        const {held = []} = navigator.locks ? await navigator.locks.query() : {};
        return new Set(held.map(lock => lock.name));
    } catch {
        return new Set();
    }
}

class Store {
    constructor(db, databaseName) {
        this.db = db;
        this.databaseName = databaseName;
        // Another tab opening a newer version of this page must not be kept waiting for us.
        db.onversionchange = () => db.close();
    }

    async beginRun({subject, runStarted}) {
        const runKey = newRunKey();
        const tx = writeTransaction(this.db, ['runs']);
        tx.objectStore('runs').add({runKey, subject: String(subject), runStarted: String(runStarted ?? ''),
            state: 'trials', names: []});
        await completion(tx);
        const name = lockName(this.databaseName, runKey);
        ownLocks.set(name, await holdLock(name));
        return runKey;
    }

    #release(runKey) {
        const name = lockName(this.databaseName, runKey);
        ownLocks.get(name)?.();
        ownLocks.delete(name);
    }

    // The run's record and its primary key, within tx; a runKey that is not stored is an error, so
    // that a save after "Forget this run" never looks as if it had been kept.
    async #run(tx, runKey) {
        const runs = tx.objectStore('runs');
        const key = await request(runs.index('runKey').getKey(String(runKey)));
        if (key === undefined) throw new Error(`no stored run ${runKey}`);
        return {runs, key, run: await request(runs.get(key))};
    }

    async #update(runKey, stores, change) {
        const tx = writeTransaction(this.db, stores);
        const done = completion(tx);
        try {
            const {runs, key, run} = await this.#run(tx, runKey);
            change(run, tx);
            runs.put(run, key);
        } catch (error) {
            done.catch(() => {});
            try {
                tx.abort();
            } catch {
                // already aborted by the failed request
            }
            throw error;
        }
        await done;
    }

    // Replaces the file's whole content; resolves only after the transaction holding it completed.
    async saveFile(runKey, name, bytes) {
        const kept = ownBytes(bytes);
        name = String(name);
        await this.#update(runKey, ['runs', 'files'], (run, tx) => {
            if (!run.names.includes(name)) run.names.push(name);
            tx.objectStore('files').put({runKey: run.runKey, name, bytes: kept});
        });
    }

    finishRun(runKey) {
        return this.#update(runKey, ['runs'], run => {
            if (run.state === 'trials') run.state = 'finished';
        });
    }

    async markSent(runKey) {
        await this.#update(runKey, ['runs'], run => { run.state = 'sent'; });
        this.#release(runKey);
    }

    // Every stored run, oldest first, each with its files in the order they were first saved.
    // `live`: the run is in progress in another tab of this browser.
    async runs() {
        const held = await heldLocks();
        const tx = this.db.transaction(['runs', 'files'], 'readonly');
        const [runs, files] = await Promise.all([request(tx.objectStore('runs').getAll()),
            request(tx.objectStore('files').getAll())]);
        const live = runKey => held.has(lockName(this.databaseName, runKey)) && !ownLocks.has(lockName(this.databaseName, runKey));
        return runs.map(({runKey, subject, runStarted, state, names}) => ({
            runKey, subject, runStarted, state, live: live(runKey),
            files: names.map(name => files.find(file => file.runKey === runKey && file.name === name))
                .filter(Boolean).map(({name, bytes}) => ({name, bytes})),
        }));
    }

    // Resolves once no tab holds the run any more (it was sent or forgotten, or its tab ended).
    async whenIdle(runKey) {
        if (!navigator.locks) return;
        await navigator.locks.request(lockName(this.databaseName, String(runKey)), {mode: 'exclusive'}, () => {});
    }

    async forget(runKey) {
        const tx = writeTransaction(this.db, ['runs', 'files']);
        const done = completion(tx);
        const runs = tx.objectStore('runs');
        const key = await request(runs.index('runKey').getKey(String(runKey)));
        if (key !== undefined) runs.delete(key);
        // Arrays sort after every string, so this range holds each of the run's file names.
        tx.objectStore('files').delete(IDBKeyRange.bound([String(runKey), ''], [String(runKey), []]));
        await done;
        this.#release(runKey);
    }

    close() {
        this.db.close();
    }
}

export async function openStore(databaseName = 'kpx2') {
    if (typeof indexedDB === 'undefined')
        throw Object.assign(new Error('this browser keeps no storage for the page (IndexedDB is off)'), {name: 'NoStorageError'});
    return new Store(await openDatabase(databaseName), databaseName);
}
