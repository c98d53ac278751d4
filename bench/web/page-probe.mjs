// What bench/web puts into the page before the page's own scripts run (evaluateOnNewDocument). It
// changes nothing the page does; it notes, in window.kpx2Bench:
// - each change of what the page shows, with the time of the animation frame that presents it: the
//   frame in whose callback (or in whose promises' work) the page changed the DOM, or, for a change
//   made in another task (a key's), the next frame, as the page itself times them;
// - each key press's event timeStamp (auto-repeats left out, as the page ignores them);
// - when the page said it was ready (data-ready), and the boxes of the choice window's frames, its
//   labels and the break message, in CSS pixels, for reading the screencast's pictures.
// Run in the page, so it may refer to nothing outside itself.
export function pageProbe() {
    const bench = {frame: NaN, inFrame: false, untimed: [], events: [], keys: [], ready: NaN, boxes: [], waiters: []};
    window.kpx2Bench = bench;
    const raf = window.requestAnimationFrame.bind(window);
    window.requestAnimationFrame = callback => raf(time => {
        bench.frame = time;
        bench.inFrame = true;
        for (const event of bench.untimed.splice(0)) event.time = time;
        // The frame's work ends with the tasks that follow it, as the page holds.
        setTimeout(() => { if (bench.frame === time) bench.inFrame = false; }, 0);
        callback(time);
    });
    const leave = () => { bench.inFrame = false; };
    addEventListener('keydown', event => {
        leave();
        if (!event.repeat) bench.keys.push({key: event.key, timeStamp: event.timeStamp});
    }, true);
    for (const type of ['keyup', 'mousedown', 'mouseup', 'click', 'pointerdown', 'pointerup', 'resize'])
        addEventListener(type, leave, true);

    const at = (root, name) => document.querySelector(`#${root} [data-name="${name}"]`);
    const box = element => {
        const {left, top, right, bottom} = element.getBoundingClientRect();
        return {left, top, right, bottom};
    };
    const shown = () => {
        const html = document.documentElement;
        const choice = document.getElementById('choice');
        const state = {
            message: !document.getElementById('break').hidden,
            dialog: !document.getElementById('dialog').hidden,
            ended: html.dataset.ended === 'true',
            options: 'hidden',
            amount: null,
        };
        const reward = at('choice', 'VReward');
        if (choice.hidden || !reward) return state;
        state.amount = reward.textContent;
        if ([at('choice', 'Frame1'), at('choice', 'Frame2')].some(frame => frame.dataset.back === 'green')) state.options = 'green';
        else if (at('choice', 'Frame1').dataset.visible === 'false') state.options = 'blank';
        else state.options = reward.dataset.fore === 'black' ? 'black' : 'white';
        return state;
    };
    const noteBoxes = (time, state) => {
        if (state.options === 'hidden' || state.options === 'blank') return;
        const message = state.message ? box(at('break', 'MsgForm')) : bench.boxes[bench.boxes.length - 1]?.message ?? null;
        const boxes = {at: performance.now(), left: box(at('choice', 'Frame2')), right: box(at('choice', 'Frame1')),
            labels: {top: box(at('choice', 'VReward')).top, bottom: box(at('choice', 'VDelay')).bottom}, message};
        const last = bench.boxes[bench.boxes.length - 1];
        const same = last && JSON.stringify({...last, at: 0}) === JSON.stringify({...boxes, at: 0});
        if (!same) bench.boxes.push(boxes);
    };
    const note = () => {
        const state = shown();
        const last = bench.events[bench.events.length - 1];
        if (last && ['message', 'dialog', 'ended', 'options'].every(key => last[key] === state[key])) return;
        const event = {...state, time: bench.inFrame ? bench.frame : undefined, at: performance.now()};
        if (event.time === undefined) bench.untimed.push(event);
        bench.events.push(event);
        noteBoxes(event.time, state);
        for (const wake of bench.waiters.splice(0)) wake();
    };
    bench.changedSince = count => new Promise(resolve => {
        if (bench.events.length > count) resolve();
        else bench.waiters.push(resolve);
    });
    document.addEventListener('DOMContentLoaded', () => {
        new MutationObserver(() => {
            if (Number.isNaN(bench.ready) && document.documentElement.dataset.ready === 'true') bench.ready = performance.now();
            note();
        }).observe(document.documentElement, {subtree: true, attributes: true,
            attributeFilter: ['hidden', 'class', 'data-back', 'data-fore', 'data-visible', 'data-ready', 'data-ended']});
    });
}
