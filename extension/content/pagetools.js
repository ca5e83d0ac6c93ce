// The page tools inside one frame of a page: highlighting the search words in five colours and
// finding the first word one occurrence after the other, by the page model's matching rules
// (NORVEX_MATCHING, generated from the C++ core at build time). The page's markup is never
// changed: highlights are ranges in the browser's highlight registry (CSS.highlights), painted
// by ::highlight(norvex-N) rules, and a found word becomes the selection.
//
// Injected on demand into every frame of the tab; the extension calls
// window.__norvexPageTools.run(op) through chrome.scripting.
(() => {
  if (window.__norvexPageTools) return;

  const M = NORVEX_MATCHING;
  const HTML_NS = 'http://www.w3.org/1999/xhtml';
  const fold = new Uint16Array(65536);
  for (let c = 0; c < 65536; ++c) fold[c] = c;
  for (const [first, count, delta] of M.foldRuns) {
    for (let c = first; c < first + count; ++c) fold[c] = c + delta;
  }
  const white = new Uint8Array(65536);
  for (const ch of M.white) white[ch.charCodeAt(0)] = 1;
  // A folded kana and a folded sound mark after it read as one character (joined[base << 16 |
  // mark]); `joins[c]` is 1 for a base and 2 for a mark of such a pair.
  const joined = new Map();
  const joins = new Uint8Array(65536);
  for (const [base, mark, one] of M.compose) {
    joined.set(base * 65536 + mark, one);
    joins[base] |= 1;
    joins[mark] |= 2;
  }
  const join = (base, mark) => ((joins[base] & 1) && (joins[mark] & 2) ? joined.get(base * 65536 + mark) || 0 : 0);
  const wide = new Set(M.wide);
  const blocks = new Set(M.blocks);
  const hidden = new Set(M.hidden);
  const preformatted = new Set(M.preformatted);
  const SPACE = 32;
  const NBSP = 0xa0;

  // What the reader makes of an element: 1 ends a line, 2 hidden, 4 preformatted.
  function classOf(el) {
    if (el.namespaceURI !== HTML_NS) return M.foreignHidden ? 2 : 0;
    return classOfName(el.localName);
  }

  // What the reader makes of each element name (HTML elements), worked out once per name.
  const classes = new Map();
  function classOfName(name) {
    let k = classes.get(name);
    if (k === undefined) {
      k = (blocks.has(name) ? 1 : 0) | (hidden.has(name) ? 2 : 0) | (preformatted.has(name) ? 4 : 0);
      classes.set(name, k);
    }
    return k;
  }

  // The reader's text of the document from `start` (an element whose start is a line start) on,
  // kept as the page's own characters, so that reading a large page costs no work per
  // character: the text nodes' data one after the other, LINE (a noncharacter) where the page
  // model ends a line (blocks, line breaks, hidden blocks), and in preformatted text every white
  // space character as PRE_SPACE (one space that does not collapse) and a line feed as LINE.
  // Hidden content is left out. The rest of the model's reading — white space runs read as one
  // space, case and width folded — is in the search pattern (pattern below). `stop` (a node)
  // ends the reading at the first line end after it. Returns {text, texts, starts, length}:
  // texts[i] is a text node whose data begins at text index starts[i].
  const LINE = '\uFDD0';
  const PRE_SPACE = '\uFDD1';
  const PRE_NOTHING = '\uFDD2'; // a carriage return inside preformatted text, which is not read
  function read(start, stop) {
    const reading = newReading();
    let preDepth = 0;
    let passedStop = false;
    for (let a = start.parentNode; a; a = a.parentNode) {
      if (a.nodeType === 1 && (classOf(a) & 4)) ++preDepth;
    }
    const foreign = M.foreignHidden ? 2 : 0;
    let node = start;
    const root = document.documentElement;
    let entering = true;
    for (;;) {
      if (!node) break;
      if (entering) {
        if (node === stop) passedStop = true;
        const type = node.nodeType;
        if (type === 3) {
          let data = node.data;
          if (preDepth > 0) data = preformattedText(data);
          reading.text(node, data);
          entering = false;
          continue;
        }
        if (type === 1) {
          const k = node.namespaceURI === HTML_NS ? classOfName(node.localName) : foreign;
          if (k & 1) {
            reading.line();
            if (passedStop && stop) break;
          }
          if (k & 2) {
            // Not read: on behind it, without a leave step.
            if (node === root) break;
            if (node.nextSibling) node = node.nextSibling; else { node = node.parentNode; entering = false; }
            continue;
          }
          if (k & 4) ++preDepth;
          if (node.firstChild) { node = node.firstChild; continue; }
          entering = false;
        } else if ((type === 9 || type === 11) && node.firstChild) {
          node = node.firstChild;
          continue;
        } else {
          entering = false;
          if (type !== 9 && type !== 11) continue;
        }
      }
      // Leaving `node`.
      if (node.nodeType === 1) {
        const k = node.namespaceURI === HTML_NS ? classOfName(node.localName) : foreign;
        if ((k & 4) && preDepth > 0) --preDepth;
        if (k & 1) {
          reading.line();
          if (passedStop && stop) break;
        }
      }
      if (node === root) break;
      if (node.nextSibling) {
        node = node.nextSibling;
        entering = true;
      } else {
        node = node.parentNode;
      }
    }
    return reading.done();
  }

  // A reading as it is made: text nodes' data one after the other, and line ends (LINE).
  function newReading() {
    const parts = [];
    const texts = [];
    let starts = new Int32Array(1024);
    let length = 0;
    return {
      text(node, data) {
        if (texts.length === starts.length) {
          const grown = new Int32Array(starts.length * 2);
          grown.set(starts);
          starts = grown;
        }
        starts[texts.length] = length;
        texts.push(node);
        parts.push(data);
        length += data.length;
      },
      line() {
        parts.push(LINE);
        ++length;
      },
      done(more) {
        return { text: parts.join(''), texts, starts, length, ...more };
      },
    };
  }

  // The reader's text of a whole HTML document, read from its text nodes alone: with no work
  // for each element, a large page is read in the time it takes to visit its text nodes. The
  // hidden elements' texts and the preformatted elements' texts are found by their names
  // (querySelectorAll, which the browser answers without visiting the page from script); the
  // line ends between text nodes are not in the text (`lines` is 'between'): a match that spans
  // text nodes asks whether a line ends between them (lineBetween), which only such matches
  // visit the elements for. Content in other namespaces is what stands in svg and math elements,
  // as HTML's parser makes it. Other documents (XML) are read node by node.
  const HIDDEN_SELECTOR = [...M.hidden, ...(M.foreignHidden ? ['svg', 'math'] : [])].join(',');
  const PRE_SELECTOR = M.preformatted.join(',');
  function readDocument() {
    const root = document.documentElement;
    if (!root || document.contentType !== 'text/html' || root.namespaceURI !== HTML_NS || (classOf(root) & 6)) {
      return read(root || document, null);
    }
    const textsOf = (elements, into) => {
      for (const el of elements) {
        if (el === root) continue;
        const it = document.createNodeIterator(el, NodeFilter.SHOW_TEXT);
        for (let t = it.nextNode(); t; t = it.nextNode()) into.add(t);
      }
    };
    const skipped = new Set();
    textsOf(root.querySelectorAll(HIDDEN_SELECTOR), skipped);
    const pre = new Set();
    if (PRE_SELECTOR) textsOf(root.querySelectorAll(PRE_SELECTOR), pre);
    const reading = newReading();
    const it = document.createNodeIterator(root, NodeFilter.SHOW_TEXT);
    for (let node = it.nextNode(); node; node = it.nextNode()) {
      if (skipped.size && skipped.has(node)) continue;
      let data = node.data;
      if (pre.size && pre.has(node)) data = preformattedText(data);
      reading.text(node, data);
    }
    const done = reading.done({ lines: 'between' });
    done.lineAfter = new Uint8Array(done.texts.length);
    return done;
  }

  function preformattedText(data) {
    return data.replace(/[\t\n\f\r ]/g, (c) => (c === '\n' ? LINE : c === '\r' ? PRE_NOTHING : PRE_SPACE));
  }

  // True when a line of the reader's text ends between text node `a` and the later text node
  // `b`: an element that ends a line starts or ends between them (content not read skipped).
  function lineBetween(a, b) {
    let node = a;
    for (;;) {
      const next = node.nextSibling;
      if (!next) {
        node = node.parentNode;
        if (!node) return true;
        if (node.nodeType === 1 && (classOf(node) & 1)) return true;
        continue;
      }
      node = next;
      // Entering `node` and its first descendants.
      for (;;) {
        if (node === b) return false;
        if (node.nodeType !== 1) break;
        const k = classOf(node);
        if (k & 1) return true;
        if ((k & 2) || !node.firstChild) break;
        node = node.firstChild;
      }
    }
  }

  // True when a line ends inside text [from, to) of a reading whose line ends are between its
  // text nodes (remembered per pair of neighbours).
  function crossesLine(reading, from, to) {
    if (reading.lines !== 'between' || to - from < 2) return false;
    const first = nodeIndexOf(reading, from);
    const last = nodeIndexOf(reading, to - 1);
    for (let i = first; i < last; ++i) {
      let known = reading.lineAfter[i];
      if (!known) {
        known = lineBetween(reading.texts[i], reading.texts[i + 1]) ? 2 : 1;
        reading.lineAfter[i] = known;
      }
      if (known === 2) return true;
    }
    return false;
  }

  // The characters (not white space) that fold to the folded character `f`, in code order,
  // found in the folding's runs when a search pattern asks.
  function unfolded(f) {
    const chars = [];
    if (fold[f] === f && !white[f]) chars.push(f);
    for (const [first, count, delta] of M.foldRuns) {
      const c = f - delta;
      if (c >= first && c < first + count && !white[c]) chars.push(c);
    }
    return chars.sort((a, b) => a - b);
  }
  const hex = (c) => '\\u' + c.toString(16).padStart(4, '0');
  const WHITE_CLASS = '[' + [...M.white].map((ch) => hex(ch.charCodeAt(0))).join('') + ']';

  // The page's characters that fold to `c`, as a pattern.
  function charClass(c) {
    const chars = unfolded(c);
    if (chars.length <= 1) return hex(chars.length ? chars[0] : c);
    return '[' + chars.map(hex).join('') + ']';
  }
  // The pairs [base, mark] that read as each joined character.
  const joinedFrom = new Map();
  for (const [base, mark, one] of M.compose) {
    if (!joinedFrom.has(one)) joinedFrom.set(one, []);
    joinedFrom.get(one).push([base, mark]);
  }

  // The search pattern of a word, matching the page's characters where find matches the
  // reader's text: a run of white space (or one no-break space, or one space of preformatted
  // text) for a space of the key — a run that ends a line only counts before more of the line —
  // and for any other character every character that folds as it does (for a kana that a sound
  // mark makes, also every pair of characters that fold to the kana and the mark).
  function pattern(word) {
    const key = searchKey(word);
    if (!key) return null;
    let source = '';
    for (let i = 0; i < key.length; ++i) {
      const c = key.charCodeAt(i);
      if (c === SPACE) {
        const last = i === key.length - 1;
        source += '(?:' + WHITE_CLASS + '+' + (last ? `(?=[^${WHITE_CLASS.slice(1, -1)}${hex(0xfdd0)}])` : '') +
          `|[${hex(NBSP)}${hex(0xfdd1)}])`;
        continue;
      }
      const pairs = joinedFrom.get(c);
      if (pairs) {
        // Or a kana and a sound mark that read as this one character.
        source += '(?:' + charClass(c) + pairs.map(([base, mark]) => '|' + charClass(base) + hex(0xfdd2) + '*' + charClass(mark)).join('') + ')';
      } else {
        source += charClass(c);
      }
      // A carriage return of preformatted text is not read: it may stand between two characters.
      if (i < key.length - 1) source += hex(0xfdd2) + '*';
    }
    const re = new RegExp(source, 'g');
    // A space at the key's end is a run of white space that more of the line follows.
    re.spaceAtEnd = key.charCodeAt(key.length - 1) === SPACE;
    return re;
  }

  // The search key of a word as find compares it: white space runs (and no-break spaces) as one
  // space, none at the start, characters folded, a kana and a sound mark after it joined.
  function searchKey(word) {
    let key = '';
    let space = false;
    for (let i = 0; i < word.length; ++i) {
      const c = word.charCodeAt(i);
      if (white[c] || c === NBSP) { space = true; continue; }
      if (space && key.length) key += ' ';
      space = false;
      const one = key.length ? join(key.charCodeAt(key.length - 1), fold[c]) : 0;
      key = one ? key.slice(0, -1) + String.fromCharCode(one) : key + String.fromCharCode(fold[c]);
    }
    if (space && key.length) key += ' ';
    return key;
  }

  // The number of the text node that holds text index `at` (the last one that starts there or
  // before), searched from text node `lo` on.
  function nodeIndexOf(reading, at, lo = 0) {
    let hi = reading.texts.length - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (reading.starts[mid] <= at) lo = mid; else hi = mid - 1;
    }
    return lo;
  }

  // The text node that holds text index `at`, and the offset there.
  function placeOf(reading, at) {
    const i = nodeIndexOf(reading, at);
    return [reading.texts[i], at - reading.starts[i]];
  }

  function rangeOf(reading, from, to) {
    const [startNode, startOffset] = placeOf(reading, from);
    const [endNode, endLast] = placeOf(reading, to - 1);
    return new StaticRange({ startContainer: startNode, startOffset, endContainer: endNode, endOffset: endLast + 1 });
  }

  // True when the characters at text indexes `before` and `after` (a carriage return of
  // preformatted text, not read, may stand between them) read as one joined kana: a match
  // cannot end or begin between them.
  function joinedAcross(reading, before, after) {
    const text = reading.text;
    while (before >= 0 && text.charCodeAt(before) === 0xfdd2) --before;
    while (after < text.length && text.charCodeAt(after) === 0xfdd2) ++after;
    if (before < 0 || after >= text.length) return false;
    return join(fold[text.charCodeAt(before)], fold[text.charCodeAt(after)]) !== 0 &&
           !crossesLine(reading, before, after + 1);
  }

  // The occurrences of a pattern from text index `from` on, each search going on from the end of
  // the last match (as highlighting wraps them), as [from, to) pairs; at most `limit`. In a
  // reading without its line ends in the text, a match across a line end (or, for a space at the
  // key's end, before one) is none, and the search goes on from its second character; so is a
  // match that begins with a sound mark joined to the kana before it, or ends with a kana that
  // the sound mark after it joins.
  function occurrences(reading, re, from = 0, limit = Infinity) {
    const found = [];
    if (!re) return found;
    const text = reading.text;
    const between = reading.lines === 'between';
    re.lastIndex = from;
    let m;
    while (found.length < limit && (m = re.exec(text))) {
      const at = m.index;
      const end = at + m[0].length;
      if (m[0].length === 0) ++re.lastIndex;
      if (between) {
        const next = re.spaceAtEnd && white[text.charCodeAt(end - 1)] ? end + 1 : end;
        if (crossesLine(reading, at, next)) {
          re.lastIndex = at + 1;
          continue;
        }
      }
      if (((joins[fold[text.charCodeAt(at)]] & 2) && joinedAcross(reading, at - 1, at)) ||
          ((joins[fold[text.charCodeAt(end - 1)]] & 1) && joinedAcross(reading, end - 1, end))) {
        re.lastIndex = at + 1;
        continue;
      }
      found.push([at, end]);
    }
    return found;
  }

  // ---- The frame's place among the page's frames ----------------------------------------------

  function frameIndex() {
    if (window === window.top) return -1;
    try {
      const frames = window.parent.frames;
      for (let i = 0; i < frames.length; ++i) if (frames[i] === window) return i;
    } catch (e) { /* fall through */ }
    return -2;
  }
  const level = window === window.top ? 0 : window.parent === window.top ? 1 : 2;
  const hasBody = () => !!document.body && document.body.localName === 'body';
  const token = Math.random().toString(36).slice(2) + Date.now().toString(36);

  // ---- Highlighting -----------------------------------------------------------------------------

  const NAMES = [0, 1, 2, 3, 4].map((n) => 'norvex-' + n);
  let words = [];      // the words highlighted now
  let results = null;  // per word, [from, to) pairs of the last reading
  let lastReading = null;
  let generation = 0;  // grows with every change of the page
  let readGeneration = -1;

  function clearHighlights() {
    for (const name of NAMES) CSS.highlights.delete(name);
  }

  function paint(reading, perWord) {
    const sets = NAMES.map(() => []);
    perWord.forEach((list, j) => {
      for (const [from, to] of list) sets[j % 5].push(rangeOf(reading, from, to));
    });
    clearHighlights();
    sets.forEach((ranges, n) => {
      if (!ranges.length) return;
      const h = new Highlight(...ranges);
      h.priority = n;
      CSS.highlights.set(NAMES[n], h);
    });
  }

  function readAll() {
    if (readGeneration !== generation || !lastReading) {
      lastReading = readDocument();
      readGeneration = generation;
    }
    return lastReading;
  }

  const costs = {};
  function highlightAll() {
    let t = performance.now();
    const reading = readAll();
    costs.read = performance.now() - t;
    t = performance.now();
    results = words.map((w) => occurrences(reading, pattern(w)));
    costs.match = performance.now() - t;
    t = performance.now();
    paint(reading, results);
    costs.paint = performance.now() - t;
    return results.map((r) => r.length);
  }

  // The part of the page in view first: from the line of the top left corner's block to the line
  // after the bottom right corner. Lines are read whole, so its matches are those of the whole
  // page there.
  function highlightVisible() {
    const top = caretNode(0, 0);
    const bottom = caretNode(window.innerWidth - 1, window.innerHeight - 1);
    if (!top) return false;
    let start = top.nodeType === 1 ? top : top.parentNode;
    while (start && start !== document.body && !(start.nodeType === 1 && (classOf(start) & 1))) {
      start = start.parentNode;
    }
    if (!start || start === document.body || start === document.documentElement) return false;
    const reading = read(start, bottom || null);
    paint(reading, words.map((w) => occurrences(reading, pattern(w))));
    return true;
  }

  function caretNode(x, y) {
    const p = document.caretPositionFromPoint ? document.caretPositionFromPoint(x, y) : null;
    return p ? p.offsetNode : document.elementFromPoint(x, y);
  }

  // Follows content that the page adds later: a change of the page reads it again, at most once
  // per animation frame and never more often than four times what a reading costs.
  let observer = null;
  let scheduled = false;
  let lastCost = 0;
  function observe() {
    if (observer) return;
    observer = new MutationObserver(() => {
      ++generation;
      if (!words.length || scheduled) return;
      scheduled = true;
      setTimeout(() => {
        scheduled = false;
        if (!words.length) return;
        const t0 = performance.now();
        highlightAll();
        lastCost = performance.now() - t0;
      }, Math.max(50, 4 * lastCost));
    });
    observer.observe(document, { subtree: true, childList: true, characterData: true });
  }
  observe();

  // ---- Find next ------------------------------------------------------------------------------

  // The last match of this document: live ranges, so that they keep their places while the page
  // changes, and the match's units for the next step.
  const find = {
    word: '',            // the word of the last top-level find
    continuing: false,   // a top-level match to go on from
    frameContinuing: false,
    repeatCount: 0,
    start: null,         // a live range collapsed at the last match's start
    frameSelection: null,
    selection: null,     // [from, to) of the last selection made here, with the reading's generation
  };

  // The text index of a live range's start (its text node's, or the first text at or after it).
  function indexOf(reading, range) {
    const node = range.startContainer;
    if (node.nodeType === 3) {
      const i = reading.texts.indexOf(node);
      if (i >= 0) return reading.starts[i] + range.startOffset;
    }
    let lo = 0, hi = reading.texts.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (range.comparePoint(reading.texts[mid], 0) < 0) lo = mid + 1; else hi = mid;
    }
    return lo < reading.texts.length ? reading.starts[lo] : reading.length;
  }

  // One forward search for `word` from the last match's start plus one character (continuing)
  // or from the top. The match becomes the selection and is scrolled to the top of the view.
  function findOnce(word, continuing) {
    const reading = readAll();
    let from = 0;
    if (continuing && find.start) from = indexOf(reading, find.start) + 1;
    const [match] = occurrences(reading, pattern(word), from, 1);
    if (!match) return null;
    const r = rangeOf(reading, match[0], match[1]);
    const live = document.createRange();
    live.setStart(r.startContainer, r.startOffset);
    live.setEnd(r.endContainer, r.endOffset);
    const selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(live);
    const el = r.startContainer.parentElement;
    if (el) el.scrollIntoView({ block: 'start' });
    const start = document.createRange();
    start.setStart(r.startContainer, r.startOffset);
    find.start = start;
    return { match, range: live };
  }

  function sameAsLastSelection(range) {
    const last = find.selection;
    if (!last) return false;
    return last.compareBoundaryPoints(Range.START_TO_START, range) === 0 &&
           last.compareBoundaryPoints(Range.END_TO_END, range) === 0;
  }

  // A word without the white space at its ends (IsWideSpace), as find next searches again.
  function trimWide(word) {
    let b = 0, e = word.length;
    while (b < e && wide.has(word[b])) ++b;
    while (e > b && wide.has(word[e - 1])) --e;
    return word.slice(b, e);
  }

  // FindNext of the top document: `word` is the first search word. A search again (from the
  // top, or past a selection that did not move) is of the word trimmed.
  function findNext(word, wrapped) {
    if (!word) return null;
    if (word !== find.word) find.continuing = false;
    find.word = word;
    const found = findOnce(word, find.continuing);
    if (found) {
      find.continuing = true;
      let repeat = false;
      if (find.selection) {
        if (sameAsLastSelection(found.range)) {
          if (find.repeatCount <= 50) repeat = true;
          ++find.repeatCount;
        } else {
          find.repeatCount = 0;
        }
      }
      find.selection = found.range.cloneRange();
      if (repeat && !wrapped) return findNext(trimWide(word), false);
      return place(found.range);
    }
    if (find.continuing && !wrapped) {
      find.continuing = false;
      find.start = null;
      return findNext(trimWide(word), true);
    }
    find.start = null;
    return null;
  }

  // FindInFrame: `fresh` when the last frame search was in another document; `lastHere` when
  // the last frame selection of the page was made in this document (there is one such
  // selection for all the frames).
  function findInFrame(word, fresh, lastHere) {
    if (fresh) {
      find.frameContinuing = false;
      find.start = null;
    }
    if (!lastHere) find.frameSelection = null;
    if (!hasBody()) return null;
    const found = findOnce(word, find.frameContinuing);
    if (!found) return null;
    find.frameContinuing = true;
    const selection = found.range.cloneRange();
    let result = place(found.range);
    if (find.frameSelection && sameRange(find.frameSelection, selection)) {
      result = findInFrame(word, false, true);
    }
    find.frameSelection = selection;
    return result;
  }

  function sameRange(a, b) {
    return a.compareBoundaryPoints(Range.START_TO_START, b) === 0 &&
           a.compareBoundaryPoints(Range.END_TO_END, b) === 0;
  }

  // ---- Places as the tests compare them -------------------------------------------------------

  // Text nodes in document order, a template's content where the template stands (as the page
  // model keeps it).
  function textNodeNumbers() {
    const numbers = new Map();
    let n = 0;
    const visit = (node) => {
      if (node.nodeType === 3) numbers.set(node, n++);
      if (node.nodeType === 1 && node.localName === 'template' && node.content) visit(node.content);
      for (let c = node.firstChild; c; c = c.nextSibling) visit(c);
    };
    visit(document);
    return numbers;
  }

  function place(range, numbers) {
    numbers = numbers || textNodeNumbers();
    const at = (node, offset) => (numbers.has(node) ? [numbers.get(node), offset] : null);
    return {
      index: frameIndex(),
      start: at(range.startContainer, range.startOffset),
      end: at(range.endContainer, range.endOffset),
      text: range.toString(),
    };
  }

  // ---- Operations -------------------------------------------------------------------------------

  function info() {
    return {
      level, index: frameIndex(), url: document.URL, token, hasBody: hasBody(),
      charset: document.characterSet || '',
      lang: (document.documentElement && (document.documentElement.getAttribute('lang') ||
             document.documentElement.getAttribute('xml:lang'))) || '',
    };
  }

  function run(op) {
    switch (op.op) {
      case 'info':
        return info();
      case 'highlight': {
        // The top document and its first-level frames, those with a body.
        if (level > 1 || !hasBody()) {
          words = [];
          clearHighlights();
          return { ...info(), counts: null };
        }
        words = op.words.slice();
        const t0 = performance.now();
        // The frame that shows a change: its animation frame, then a task after its painting.
        const frame = () => new Promise((resolve) => requestAnimationFrame(() => {
          const channel = new MessageChannel();
          channel.port1.onmessage = () => resolve();
          channel.port2.postMessage(0);
        }));
        // The part in view first, painted in a frame of its own, then the whole page; each time
        // counted until the frame that shows it, and told as a moment (milliseconds since 1970,
        // as the extension's pages can compare them with their own).
        // A page that is not shown has no part in view and paints no frames.
        const shown = op.visibleFirst && document.visibilityState === 'visible';
        return (async () => {
          const moment = () => performance.timeOrigin + performance.now();
          let visibleMs = null;
          let visibleAt = null;
          if (shown && highlightVisible()) {
            await frame();
            visibleMs = performance.now() - t0;
            visibleAt = moment();
          }
          const t1 = performance.now();
          const counts = highlightAll();
          lastCost = performance.now() - t1;
          let t2 = performance.now();
          if (shown) await frame();
          costs.frame = performance.now() - t2;
          return { ...info(), counts, visibleMs, visibleAt, wholeMs: performance.now() - t0, wholeAt: moment(), costs };
        })();
      }
      case 'unhighlight':
        words = [];
        results = null;
        clearHighlights();
        return info();
      case 'counts':
        return { ...info(), counts: words.length ? highlightAll() : null };
      case 'find':
        return { ...info(), found: hasBody() ? findNext(op.word, false) : null };
      case 'findInFrame':
        return { ...info(), found: findInFrame(op.word, !!op.fresh, !!op.lastHere) };
      case 'matches': {
        // The highlight's matches as places (for the tests), and the reader's text.
        if (!words.length || !results) return { ...info(), matches: null };
        const reading = readAll();
        const numbers = textNodeNumbers();
        const matches = results.map((list) => list.map(([f, t]) => {
          const p = place(rangeOf(reading, f, t), numbers);
          return [p.start, p.end];
        }));
        return { ...info(), matches };
      }
      case 'reader': {
        const reading = read(document.documentElement || document, null);
        return { ...info(), reader: reading.text };
      }
      default:
        return { error: 'unknown op ' + op.op };
    }
  }

  window.__norvexPageTools = { run };
})();
