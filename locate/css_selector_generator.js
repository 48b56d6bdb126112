var CssSelectorGenerator = (function () {
    var DEFAULTS = {
        selectors: ['id', 'class', 'tag', 'nthchild'],
        prefix_tag: false,
        attribute_blacklist: [],
        attribute_whitelist: [],
        quote_attribute_when_needed: false,
        id_blacklist: [],
        class_blacklist: []
    };
    var MAX_CLASSES = 8;
    var SPECIAL = ' !"#$%&\'()*+,./;<=>?@[\\]^`{|}~';

    function CssSelectorGenerator(options) {
        this.options = {};
        for (var key in DEFAULTS) {
            this.options[key] = DEFAULTS[key];
        }
        this.setOptions(options);
    }

    CssSelectorGenerator.prototype.setOptions = function (options) {
        if (!options) {
            return;
        }
        for (var key in options) {
            if (Object.prototype.hasOwnProperty.call(DEFAULTS, key)) {
                this.options[key] = options[key];
            }
        }
    };

    // A name may not begin with a digit, nor with a hyphen and a digit: such a digit is
    // written as a hex escape.
    function startsWithDigit(item, i) {
        return i === 0 || (i === 1 && item.charAt(0) === '-');
    }

    // One character at a time: a colon and CSS punctuation are escaped; any other character
    // that is not a letter, digit, hyphen or underscore becomes a hex escape, closed by a
    // space so that a following hex digit is not read as part of it.
    CssSelectorGenerator.prototype.sanitizeItem = function (item) {
        var out = '';
        for (var i = 0; i < item.length; i++) {
            var c = item.charAt(i);
            if (c === ':') {
                out += '\\3A ';
            } else if (SPECIAL.indexOf(c) >= 0) {
                out += '\\' + c;
            } else if (/[A-Za-z_\-]/.test(c) || (/[0-9]/.test(c) && !startsWithDigit(item, i))) {
                out += c;
            } else {
                var code = item.codePointAt(i);
                if (code > 0xFFFF) {
                    i++;  // the second half of the pair is part of this character
                }
                out += '\\' + code.toString(16).toUpperCase() + ' ';
            }
        }
        return out;
    };

    // How many nodes `selector` picks below `root`; a selector the browser rejects picks none.
    function countMatches(root, selector) {
        try {
            return root.querySelectorAll(selector);
        } catch (e) {
            return [];
        }
    }

    function picksOnly(root, selector, node) {
        var found = countMatches(root, selector);
        return found.length === 1 && found[0] === node;
    }

    CssSelectorGenerator.prototype.getIdSelector = function (node) {
        var id = node.getAttribute('id');
        if (id === null || id === '' || /\s/.test(id) || /^[0-9]/.test(id) ||
            this.options.id_blacklist.indexOf(id) >= 0) {
            return null;
        }
        var selector = '#' + this.sanitizeItem(id);
        return countMatches(node.ownerDocument, selector).length === 1 ? selector : null;
    };

    // The classes of the node, each as its name and as its part of a selector.
    CssSelectorGenerator.prototype.getClassSelectors = function (node) {
        var text = node.getAttribute('class');
        if (text === null) {
            return [];
        }
        text = text.replace(/\s+/g, ' ').replace(/^ | $/g, '');
        if (text === '') {
            return [];
        }
        var classes = [];
        var names = text.split(' ');
        for (var i = 0; i < names.length && classes.length < MAX_CLASSES; i++) {
            if (this.options.class_blacklist.indexOf(names[i]) < 0) {
                classes.push({ name: names[i], part: '.' + this.sanitizeItem(names[i]) });
            }
        }
        return classes;
    };

    // Every non-empty combination, fewest items first, in the order they were built.
    function combinations(items) {
        var built = [];
        for (var i = 0; i < items.length; i++) {
            var count = built.length;
            for (var k = 0; k < count; k++) {
                built.push(built[k].concat([items[i]]));
            }
            built.push([items[i]]);
        }
        var order = built.map(function (c, at) { return { c: c, at: at }; });
        order.sort(function (a, b) { return a.c.length - b.c.length || a.at - b.at; });
        return order.map(function (entry) {
            return {
                names: entry.c.map(function (x) { return x.name; }).join(' '),
                part: entry.c.map(function (x) { return x.part; }).join('')
            };
        });
    }

    // Whether the elements below `root` with all the classes of `combo` (and, with a
    // prefix, of that tag too) are the node alone. The browser keeps class lists of a
    // document ready, so this is far cheaper than querySelectorAll on the same selector.
    function classesPickOnly(root, combo, prefix, node, known) {
        var found = root.getElementsByClassName(combo.names);
        if (!prefix) {
            if (found.length !== 1 || found[0] !== node) {
                return false;
            }
            try {
                return node.matches(combo.part);  // the text must say what the names say
            } catch (e) {
                return false;
            }
        }
        // Which element alone has them does not depend on the node: named once in a list.
        var selector = prefix + combo.part;
        var key = combo.names + '\n' + selector;
        var seen = known ? remembered(known.classHits, root) : null;
        if (seen && seen.has(key)) {
            return seen.get(key) === node;
        }
        var hit = soleMatch(found, selector);
        if (seen) {
            seen.set(key, hit);
        }
        return hit === node;
    }

    // The one element of `found` that matches `selector`; null for none or several.
    function soleMatch(found, selector) {
        var hit = null;
        for (var i = 0; i < found.length; i++) {
            var matches = false;
            try {
                matches = found[i].matches(selector);
            } catch (e) {}
            if (matches) {
                if (hit) {
                    return null;
                }
                hit = found[i];
            }
        }
        return hit;
    }

    // What a list remembers about one node (a root, a parent, a document).
    function remembered(table, node) {
        var entry = table.get(node);
        if (!entry) {
            entry = new Map();
            table.set(node, entry);
        }
        return entry;
    }

    CssSelectorGenerator.prototype.getClassPart = function (node) {
        var combos = combinations(this.getClassSelectors(node));
        if (combos.length === 0) {
            return null;
        }
        var doc = node.ownerDocument;
        var parent = node.parentNode;
        var tag = this.sanitizeItem(node.tagName.toLowerCase());
        var prefixes = ['', tag];
        for (var p = 0; p < prefixes.length; p++) {
            for (var i = 0; i < combos.length; i++) {
                if (classesPickOnly(doc, combos[i], prefixes[p], node, this.known)) {
                    return prefixes[p] + combos[i].part;
                }
            }
            for (var j = 0; parent && parent.getElementsByClassName && j < combos.length; j++) {
                if (classesPickOnly(parent, combos[j], prefixes[p], node, this.known)) {
                    return prefixes[p] + combos[j].part;
                }
            }
        }
        return null;
    };

    // The parent's own list of its descendants with the tag is kept ready by the browser;
    // the tag's text is then checked against the node itself.
    CssSelectorGenerator.prototype.getTagPart = function (node) {
        var tag = this.sanitizeItem(node.tagName.toLowerCase());
        var parent = node.parentNode;
        if (!parent || !parent.getElementsByTagName) {
            return parent && picksOnly(parent, tag, node) ? tag : null;
        }
        var found = parent.getElementsByTagName(node.tagName);
        if (found.length !== 1 || found[0] !== node) {
            return null;
        }
        try {
            return node.matches(tag) ? tag : null;
        } catch (e) {
            return null;
        }
    };

    CssSelectorGenerator.prototype.getNthChildPart = function (node) {
        var parent = node.parentNode;
        if (!parent) {
            return null;
        }
        var children = parent.children;
        if (this.known) {
            var places = this.known.places.get(parent);
            if (!places) {
                places = new Map();
                for (var k = 0; k < children.length; k++) {
                    places.set(children[k], k + 1);
                }
                this.known.places.set(parent, places);
            }
            return places.has(node) ? ':nth-child(' + places.get(node) + ')' : null;
        }
        for (var i = 0; i < children.length; i++) {
            if (children[i] === node) {
                return ':nth-child(' + (i + 1) + ')';
            }
        }
        return null;
    };

    CssSelectorGenerator.prototype.getUniqueSelector = function (node) {
        var kinds = this.options.selectors;
        for (var i = 0; i < kinds.length; i++) {
            var part = null;
            if (kinds[i] === 'id') {
                part = this.getIdSelector(node);
            } else if (kinds[i] === 'class') {
                part = this.getClassPart(node);
            } else if (kinds[i] === 'tag') {
                part = this.getTagPart(node);
            } else if (kinds[i] === 'nthchild') {
                part = this.getNthChildPart(node);
            }
            if (part) {
                this.lastKind = kinds[i];
                return part;
            }
        }
        this.lastKind = '*';
        return '*';
    };

    CssSelectorGenerator.prototype.getSelector = function (element) {
        if (!element || element.nodeType !== 1) {
            return null;
        }
        var doc = element.ownerDocument;
        var selector = '';
        var belowAllNth = true;  // every part so far is a :nth-child
        for (var node = element; node && node.nodeType === 1; node = node.parentNode) {
            var part = this.getUniqueSelector(node);
            var first = selector === '';
            selector = first ? part : part + ' > ' + selector;
            var known = this.known && belowAllNth ?
                this.knownUnique(doc, node, part, first, element) : null;
            if (known !== null ? known : picksOnly(doc, selector, element)) {
                return selector;
            }
            belowAllNth = belowAllNth && this.lastKind === 'nthchild';
        }
        return null;
    };

    // Whether the selector picks the element alone, where a list knows it without asking
    // the document; null where it does not. The element alone is the k-th child of its
    // parent in the document when no other element there is a k-th child. Below an element
    // its id names alone, a chain of :nth-child parts picks one element.
    CssSelectorGenerator.prototype.knownUnique = function (doc, node, part, first, element) {
        if (first && this.lastKind === 'nthchild') {
            if (element.getRootNode() !== doc) {
                return null;
            }
            var counts = this.known.childCounts.get(doc);
            if (!counts) {
                counts = childCounts(doc);
                this.known.childCounts.set(doc, counts);
            }
            return counts[this.known.places.get(element.parentNode).get(element)] === 1;
        }
        if (!first && this.lastKind === 'id') {
            try {
                return node.matches(part) ? true : null;
            } catch (e) {
                return null;
            }
        }
        return null;
    };

    // How many elements of the document are the first, second, ... child of their parent.
    function childCounts(doc) {
        var counts = [];
        var all = doc.getElementsByTagName('*');
        for (var i = 0; i < all.length; i++) {
            for (var k = all[i].children.length; k > 0; k--) {
                counts[k] = (counts[k] || 0) + 1;
            }
        }
        if (doc.documentElement && doc.documentElement.matches(':nth-child(1)')) {
            counts[1] = (counts[1] || 0) + 1;
        }
        return counts;
    }

    // A list of elements named at once, the document unchanged meanwhile: the same selectors
    // as one at a time, with what one element's selector learnt serving the next ones.
    CssSelectorGenerator.prototype.getSelectors = function (elements) {
        this.known = { classHits: new Map(), places: new Map(), childCounts: new Map() };
        try {
            var selectors = [];
            for (var i = 0; i < elements.length; i++) {
                selectors.push(this.getSelector(elements[i]));
            }
            return selectors;
        } finally {
            this.known = null;
        }
    };

    return CssSelectorGenerator;
})();
