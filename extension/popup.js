// The action's popup: a quick search (the search box, its history and the search agent's
// engines); it closes when the search has opened.
import { Toolbar } from './ui/toolbar.js';

const toolbar = new Toolbar({ mode: 'popup' });
window.__norvexToolbar = toolbar;
toolbar.input.focus();
toolbar.start();
