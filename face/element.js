// What the face does inside a document, in an isolated world of its own: the page's script
// cannot reach it, nor change the built-ins it calls. Each operation takes its texts as
// arguments; `this` is the element it works on (or the scope of a query).
({
  // The matches of a query under `scope` (the document when none): their number when
  // `counting`, else the nth of them (null when there are fewer).
  query(scope, by, text, nth, counting) {
    const root = scope || document;
    let found = [];
    if (by === 'css') {
      found = Array.from(root.querySelectorAll(text));
    } else if (by === 'id') {
      found = Array.from(root.querySelectorAll('[id]')).filter((e) => e.id === text);
    } else if (by === 'xpath') {
      const all = document.evaluate(text, root, null, XPathResult.ORDERED_NODE_SNAPSHOT_TYPE, null);
      for (let i = 0; i < all.snapshotLength; i++) {
        if (all.snapshotItem(i).nodeType === Node.ELEMENT_NODE) found.push(all.snapshotItem(i));
      }
    } else if (by === 'text') {
      const wanted = text.replace(/\s+/g, ' ').trim();
      const has = (e) => (e.textContent || '').replace(/\s+/g, ' ').includes(wanted);
      const skip = new Set(['SCRIPT', 'STYLE', 'NOSCRIPT', 'TEMPLATE', 'HEAD', 'TITLE']);
      const candidates = Array.from(root.querySelectorAll('*')).filter((e) => !skip.has(e.tagName) && has(e));
      // The innermost: an element none of whose children holds the text too.
      found = candidates.filter((e) => !Array.from(e.children).some((c) => !skip.has(c.tagName) && has(c)));
    } else {
      throw new TypeError('unknown kind of locator: ' + by);
    }
    if (counting) return found.length;
    return found[nth] || null;
  },

  // Where the element stands: whether it can be acted on, and its box in its frame.
  probe() {
    const e = this;
    const box = e.getBoundingClientRect();
    const style = e.ownerDocument.defaultView.getComputedStyle(e);
    const visible = box.width > 0 && box.height > 0 && style.visibility !== 'hidden';
    const x = box.left + box.width / 2, y = box.top + box.height / 2;
    const hit = e.ownerDocument.elementFromPoint(x, y);
    const tag = e.tagName.toLowerCase();
    return {
      attached: e.isConnected,
      visible,
      enabled: !e.matches(':disabled'),
      editable: e.isContentEditable || ((tag === 'input' || tag === 'textarea') && !e.readOnly),
      hit: !!hit && (hit === e || e.contains(hit)),
      box: [box.left, box.top, box.width, box.height],
      tag,
      type: (e.type || '').toLowerCase(),
      checked: !!e.checked,
    };
  },

  // The field focused with its whole text selected, so that typing replaces it.
  selectAll() {
    this.focus();
    if (typeof this.select === 'function') {
      this.select();
    } else {
      const range = this.ownerDocument.createRange();
      range.selectNodeContents(this);
      const selection = this.ownerDocument.getSelection();
      selection.removeAllRanges();
      selection.addRange(range);
    }
    return this.ownerDocument.activeElement === this;
  },

  focus() {
    this.focus();
    return this.ownerDocument.activeElement === this;
  },

  blur() {
    this.blur();
  },

  read(what, name) {
    if (what === 'text') return this.innerText !== undefined ? this.innerText : this.textContent;
    if (what === 'attribute') return this.getAttribute(name);
    if (what === 'value') {
      if (!('value' in this)) throw new TypeError('a ' + this.tagName.toLowerCase() + ' element has no value');
      return this.value;
    }
    if (what === 'title') return document.title;
    if (what === 'content') {
      const type = document.doctype ? new XMLSerializer().serializeToString(document.doctype) : '';
      return type + document.documentElement.outerHTML;
    }
    throw new TypeError('nothing to read: ' + what);
  },

  // Selects the option with this value, or else with this label; false when there is none.
  selectOption(wanted) {
    if (this.tagName !== 'SELECT') throw new TypeError('a ' + this.tagName.toLowerCase() + ' element has no options');
    const options = Array.from(this.options);
    const option = options.find((o) => o.value === wanted) || options.find((o) => o.label === wanted);
    if (!option) return false;
    option.selected = true;
    this.dispatchEvent(new Event('input', { bubbles: true, composed: true }));
    this.dispatchEvent(new Event('change', { bubbles: true }));
    return true;
  },
})
