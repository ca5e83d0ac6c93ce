// The side panel: the whole toolbar, staying open across clicks and navigations.
import { Toolbar } from './ui/toolbar.js';

const toolbar = new Toolbar({ mode: 'panel' });
window.__norvexToolbar = toolbar;
chrome.runtime.onMessage.addListener((message) => {
  if (message && message.focusSearch) toolbar.input.focus();
});
toolbar.start();
chrome.runtime.onMessage.addListener((message) => {
  if (message && message.refresh) toolbar.refresh();
});
