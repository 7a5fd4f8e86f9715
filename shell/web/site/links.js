// Help and the web: the help viewer in its own window, and the About box's address.
import { HH_DISPLAY_INDEX, HH_DISPLAY_SEARCH } from './codes.js';

export function openAddress(address) {
  try {
    window.open(address, '_blank', 'noopener');
  } catch (error) {
    // A blocked window is the browser's choice.
  }
}

export function showHelp(command) {
  const view = command === HH_DISPLAY_INDEX ? 'index' : command === HH_DISPLAY_SEARCH ? 'search' : 'contents';
  try {
    const help = window.open('help/viewer.html#' + view, 'brindlewick-puzzle-help');
    if (help) help.focus();
    return !!help;
  } catch (error) {
    return false;
  }
}
