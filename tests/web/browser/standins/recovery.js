// Test stand-in for the data branch's recovery.js: offers nothing.
export async function offerStoredRuns() {
    return 0;
}
