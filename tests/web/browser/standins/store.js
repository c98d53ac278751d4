// Test stand-in for the data branch's store.js: the contract's calls, kept in memory, with every
// saved file visible to the test through globalThis.kpx2StandinRuns.
const runs = [];
globalThis.kpx2StandinRuns = runs;

export async function openStore() {
    let next = 0;
    const find = runKey => {
        const run = runs.find(each => each.runKey === runKey);
        if (!run) throw new Error(`no run ${runKey}`);
        return run;
    };
    return {
        async beginRun({subject, runStarted}) {
            const runKey = `run-${Date.now()}-${next++}`;
            runs.push({runKey, subject, runStarted, state: 'trials', files: [], saves: 0});
            return runKey;
        },
        async saveFile(runKey, name, bytes) {
            const run = find(runKey);
            run.files = run.files.filter(file => file.name !== name).concat([{name, text: new TextDecoder().decode(bytes)}]);
            run.saves += 1;
        },
        async finishRun(runKey) { find(runKey).state = 'finished'; },
        async markSent(runKey) { find(runKey).state = 'sent'; },
        async runs() { return runs; },
        async forget(runKey) { runs.splice(runs.indexOf(find(runKey)), 1); },
    };
}
