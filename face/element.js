// What the face does inside a document, in an isolated world of its own: the page's script
// cannot reach it, nor change the built-ins it calls. Installed once in each document's world;
// each call names an operation and gives its texts as arguments, never as script.
({
  // What an action needs of its element before it acts (the same bits as the face's Need).
  VISIBLE: 1,
  ENABLED: 2,
  EDITABLE: 4,
  STILL: 8,
  RECEIVES_CLICK: 16,
  IN_VIEW: 32,
  GONE: 64, // done when nothing matches
  HIDDEN: 128, // done when nothing visible matches

  // The matches of one query under `root`.
  query(root, by, text) {
    if (by === 'css') return Array.from(root.querySelectorAll(text));
    if (by === 'id') return Array.from(root.querySelectorAll('[id]')).filter((e) => e.id === text);
    if (by === 'xpath') {
      const found = [];
      const all = document.evaluate(text, root, null, XPathResult.ORDERED_NODE_SNAPSHOT_TYPE, null);
      for (let i = 0; i < all.snapshotLength; i++) {
        if (all.snapshotItem(i).nodeType === Node.ELEMENT_NODE) found.push(all.snapshotItem(i));
      }
      return found;
    }
    if (by === 'text') {
      const wanted = text.replace(/\s+/g, ' ').trim();
      const has = (e) => (e.textContent || '').replace(/\s+/g, ' ').includes(wanted);
      const skip = new Set(['SCRIPT', 'STYLE', 'NOSCRIPT', 'TEMPLATE', 'HEAD', 'TITLE']);
      const candidates = Array.from(root.querySelectorAll('*')).filter((e) => !skip.has(e.tagName) && has(e));
      // The innermost: an element none of whose children holds the text too.
      return candidates.filter((e) => !Array.from(e.children).some((c) => !skip.has(c.tagName) && has(c)));
    }
    throw new TypeError('unknown kind of locator: ' + by);
  },

  // The element that `steps` ([kind, text, nth] each, each inside the one before) find now.
  find(steps) {
    let scope = document;
    for (const [by, text, nth] of steps) {
      scope = this.query(scope, by, text)[nth];
      if (!scope) return null;
    }
    return scope === document ? document.documentElement : scope;
  },

  // How many elements the last of `steps` finds inside what the others find.
  count(steps) {
    if (!steps.length) return 1;
    const scope = steps.length > 1 ? this.find(steps.slice(0, -1)) : document;
    if (!scope) return 0;
    const [by, text] = steps[steps.length - 1];
    return this.query(scope, by, text).length;
  },

  // Why the element cannot be acted on yet ('' when it can), as far as one look tells.
  lacks(e, needs) {
    const box = e.getBoundingClientRect();
    const style = e.ownerDocument.defaultView.getComputedStyle(e);
    const tag = e.tagName.toLowerCase();
    if (!e.isConnected) return 'it is detached';
    if (needs & this.VISIBLE && !(box.width > 0 && box.height > 0 && style.visibility !== 'hidden')) {
      return 'it is not visible';
    }
    if (needs & this.ENABLED && e.matches(':disabled')) return 'it is disabled';
    const editable = e.isContentEditable || ((tag === 'input' || tag === 'textarea') && !e.readOnly);
    if (needs & this.EDITABLE && !editable) return 'it is not editable';
    return '';
  },

  // Still: no animation or transition runs on it or its ancestors, or its box stays the same
  // over a frame while one does (a colour that pulses).
  async still(e) {
    const moving = [];
    for (let at = e; at; at = at.parentElement || (at.getRootNode() && at.getRootNode().host)) {
      moving.push(...at.getAnimations().filter((a) => a.playState === 'running'));
    }
    if (!moving.length) return true;
    const before = JSON.stringify(e.getBoundingClientRect());
    // A page that draws no frames (hidden) still answers: then a short while stands for one.
    await new Promise((resolve) => {
      requestAnimationFrame(() => resolve());
      setTimeout(resolve, 100);
    });
    return JSON.stringify(e.getBoundingClientRect()) === before;
  },

  // The point an action aims at: the centre of the element's first box, in its viewport.
  point(e) {
    const box = e.getClientRects()[0] || e.getBoundingClientRect();
    return { x: box.left + box.width / 2, y: box.top + box.height / 2 };
  },

  // Whether a click at the point lands on the element (or inside it).
  receivesClick(e) {
    const { x, y } = this.point(e);
    const root = e.getRootNode();
    let hit = (root.elementFromPoint ? root : e.ownerDocument).elementFromPoint(x, y);
    for (; hit; hit = hit.parentElement || (hit.getRootNode() && hit.getRootNode().host)) {
      if (hit === e) return true;
    }
    return false;
  },

  async attempt(steps, needs, action, args) {
    const e = this.find(steps);
    if (needs & (this.GONE | this.HIDDEN)) {
      if (!e || (needs & this.HIDDEN && this.lacks(e, this.VISIBLE))) return { state: 'done', value: null };
      return { state: 'found', lacks: needs & this.GONE ? 'it is still there' : 'it is still visible' };
    }
    if (!e) return { state: 'missing' };
    let lacks = this.lacks(e, needs);
    if (!lacks && needs & this.STILL && !(await this.still(e))) lacks = 'it still moves';
    if (!lacks && needs & this.IN_VIEW) {
      e.scrollIntoViewIfNeeded(true);
      if (needs & this.RECEIVES_CLICK && !this.receivesClick(e)) lacks = 'another element covers it';
    }
    if (lacks) return { state: 'found', lacks };
    return { state: 'done', value: this.actions[action].apply(this, [e].concat(args)) };
  },

  // Resolves at the document's next change, at the latest after a short while (for what no
  // change of the document tells: an animation that ends, a layout that settles).
  change(ms) {
    return new Promise((resolve) => {
      const observer = new MutationObserver(() => done());
      const timer = setTimeout(() => done(), Math.max(0, Math.min(ms, 50)));
      const done = () => {
        observer.disconnect();
        clearTimeout(timer);
        resolve();
      };
      observer.observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
    });
  },

  // Finds the element, waits up to `waitMs` until it meets `needs`, then does `action` on it.
  // {state: 'done', value} / 'missing' / 'found' with what it lacks; with `byReference` the
  // element an action gives comes back itself, any other answer as JSON text.
  async act(steps, needs, action, args, waitMs, byReference) {
    const deadline = Date.now() + waitMs;
    let result = await this.attempt(steps, needs, action, args);
    while (result.state !== 'done' && Date.now() < deadline) {
      await this.change(deadline - Date.now());
      result = await this.attempt(steps, needs, action, args);
    }
    if (!byReference) return result;
    return result.state === 'done' && result.value instanceof Element ? result.value : JSON.stringify(result);
  },

  // After `fill`: the field it filled loses the focus, so that it fires change.
  blurFilled() {
    const field = this.filled && this.filled.deref();
    if (field) field.blur();
    this.filled = null;
  },

  // The document's own texts.
  document(what) {
    if (what === 'title') return document.title;
    const type = document.doctype ? new XMLSerializer().serializeToString(document.doctype) : '';
    return type + document.documentElement.outerHTML;
  },

  actions: {
    none() {
      return null;
    },
    element(e) {
      return e;
    },
    point(e) {
      return this.point(e);
    },
    // Its box in the document, for a picture of it.
    box(e) {
      const box = e.getBoundingClientRect();
      const view = e.ownerDocument.defaultView;
      return { x: box.left + view.scrollX, y: box.top + view.scrollY, width: box.width, height: box.height };
    },
    text(e) {
      return e.innerText !== undefined ? e.innerText : e.textContent;
    },
    attribute(e, name) {
      return e.getAttribute(name);
    },
    value(e) {
      if (!('value' in e)) throw new TypeError('a ' + e.tagName.toLowerCase() + ' element has no value');
      return e.value;
    },
    // Focused with its whole text selected, so that typing replaces it.
    fill(e) {
      e.focus();
      if (typeof e.select === 'function') {
        e.select();
      } else {
        const range = e.ownerDocument.createRange();
        range.selectNodeContents(e);
        const selection = e.ownerDocument.getSelection();
        selection.removeAllRanges();
        selection.addRange(range);
      }
      this.filled = new WeakRef(e);
      return e.ownerDocument.activeElement === e;
    },
    focus(e) {
      e.focus();
      return e.ownerDocument.activeElement === e;
    },
    checkState(e) {
      return { type: (e.type || '').toLowerCase(), checked: !!e.checked };
    },
    fileInput(e) {
      if (e.tagName !== 'INPUT' || e.type !== 'file') throw new TypeError('the element is no file input');
      return e;
    },
    // Selects the option with this value, or else with this label; false when there is none.
    selectOption(e, wanted) {
      if (e.tagName !== 'SELECT') throw new TypeError('a ' + e.tagName.toLowerCase() + ' element has no options');
      const options = Array.from(e.options);
      const option = options.find((o) => o.value === wanted) || options.find((o) => o.label === wanted);
      if (!option) return false;
      option.selected = true;
      e.dispatchEvent(new Event('input', { bubbles: true, composed: true }));
      e.dispatchEvent(new Event('change', { bubbles: true }));
      return true;
    },
  },
})
