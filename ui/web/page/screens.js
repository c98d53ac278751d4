// Drawing only: the windows' controls are placed from the core's layout (the display fit rule is
// the core's), and the choice window shows the picture the core hands over at each present.
// Text reaches the page through textContent alone.

function px(value) {
    return `${value}px`;
}

function placeControl(element, control) {
    element.style.left = px(control.left);
    element.style.top = px(control.top);
    element.style.width = px(control.width);
    element.style.height = px(control.height);
    if (control.font) {
        element.style.fontSize = `${control.font.points}pt`;
        element.style.fontWeight = control.font.bold ? '700' : '400';
    }
}

// Builds a window's controls once, by name; later layouts only move them. `fit(element, control,
// text)` gives the size a label's text is drawn at (the core's shrink rule for a text too wide).
export class WindowView {
    constructor(root, fit) {
        this.root = root;
        this.fit = fit;
        this.controls = new Map();
        this.layouts = new Map();
    }

    layOut(window) {
        for (const control of window.controls) {
            let element = this.controls.get(control.name);
            if (!element) {
                element = document.createElement(control.kind === 'button' ? 'button' : 'div');
                element.dataset.name = control.name;
                element.classList.add('control', control.kind);
                if (control.kind === 'button') element.type = 'button';
                if (control.wrapped) element.classList.add('wrapped');
                if (control.caption) element.textContent = control.caption;
                const parent = control.parent ? this.controls.get(control.parent) : this.root;
                parent.append(element);
                this.controls.set(control.name, element);
            }
            this.layouts.set(control.name, control);
            placeControl(element, control);
            this.fitText(control.name);
        }
    }

    // The size a label draws a text at: the largest that fits it, the layout's where that fits.
    pointsFor(name, text) {
        const element = this.controls.get(name);
        const control = this.layouts.get(name);
        if (!this.fit || !control?.font || control.kind !== 'label' || !text) return undefined;
        return this.fit(element, control, text);
    }

    // Draws a label's text at the size it fits at.
    fitText(name) {
        const element = this.controls.get(name);
        const control = this.layouts.get(name);
        const points = this.pointsFor(name, element.textContent);
        if (points === undefined) return;
        element.style.fontSize = `${points}pt`;
        element.dataset.points = String(points);
        element.dataset.designPoints = String(control.font.points);
    }

    control(name) {
        return this.controls.get(name);
    }
}

const Foreground = ['fore-black', 'fore-white', 'fore-buttontext'];
const Background = ['back-green', 'back-buttonface'];

// The choice window's picture: what each control shows, its colours, and the frames' enabled state
// (a disabled frame takes no clicks, which the core decides; the page only keeps it for the tests
// and the cursor).
export function drawChoice(view, state) {
    view.root.hidden = !state.shown;
    for (const [name, control] of Object.entries(state.controls)) {
        const element = view.control(name);
        if (!element) continue;
        element.classList.toggle('invisible', !control.visible);
        element.classList.remove(...Background);
        element.classList.add(`back-${control.back}`);
        if (control.caption !== undefined && element.classList.contains('label')) {
            if (element.textContent !== control.caption) {
                element.textContent = control.caption;
                view.fitText(name);
            }
            element.classList.remove(...Foreground);
            element.classList.add(`fore-${control.fore}`);
        }
        element.dataset.fore = control.fore;
        element.dataset.back = control.back;
        element.dataset.enabled = String(control.enabled);
        element.dataset.visible = String(control.visible);
    }
    view.root.dataset.acceptKeys = String(state.acceptKeys);
}
