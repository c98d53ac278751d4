// Test stand-in for the data branch's deliver.js: the lab's config beside the page, one POST, and
// download links.
export async function loadConfig(pageUrl = location.href) {
    const response = await fetch(new URL('kpx2-config.json', pageUrl));
    return response.ok ? response.json() : {};
}

export async function sendFiles(dataUrl, files, {fields = {}, onAttempt} = {}) {
    const body = new FormData();
    for (const [key, value] of Object.entries(fields)) body.append(key, value);
    for (const file of files) body.append('file', new Blob([file.bytes]), file.name);
    const response = await fetch(dataUrl, {method: 'POST', body});
    onAttempt?.({attempt: 1, status: response.status});
    if (!response.ok) throw new Error(`status ${response.status}`);
}

export function offerDownloads(container, files) {
    for (const file of files) {
        const link = document.createElement('a');
        link.download = file.name;
        link.href = URL.createObjectURL(new Blob([file.bytes]));
        link.textContent = file.name;
        container.append(link);
    }
}
