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
            } else if (/[A-Za-z0-9_\-]/.test(c)) {
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

    CssSelectorGenerator.prototype.getClassSelectors = function (node) {
        var text = node.getAttribute('class');
        if (text === null) {
            return [];
        }
        text = text.replace(/\s+/g, ' ').replace(/^ | $/g, '');
        if (text === '') {
            return [];
        }
        // Every combination of the classes is tried; past a few classes their number
        // explodes, so only the first ones take part.
        var names = text.split(' ').slice(0, MAX_CLASSES);
        var parts = [];
        for (var i = 0; i < names.length; i++) {
            if (this.options.class_blacklist.indexOf(names[i]) < 0) {
                parts.push('.' + this.sanitizeItem(names[i]));
            }
        }
        return parts;
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
        return order.map(function (entry) { return entry.c.join(''); });
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
                if (picksOnly(doc, prefixes[p] + combos[i], node)) {
                    return prefixes[p] + combos[i];
                }
            }
            for (var j = 0; parent && j < combos.length; j++) {
                if (picksOnly(parent, prefixes[p] + combos[j], node)) {
                    return prefixes[p] + combos[j];
                }
            }
        }
        return null;
    };

    CssSelectorGenerator.prototype.getTagPart = function (node) {
        var tag = this.sanitizeItem(node.tagName.toLowerCase());
        var parent = node.parentNode;
        return parent && picksOnly(parent, tag, node) ? tag : null;
    };

    CssSelectorGenerator.prototype.getNthChildPart = function (node) {
        var parent = node.parentNode;
        if (!parent) {
            return null;
        }
        var children = parent.children;
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
                return part;
            }
        }
        return '*';
    };

    CssSelectorGenerator.prototype.getSelector = function (element) {
        if (!element || element.nodeType !== 1) {
            return null;
        }
        var doc = element.ownerDocument;
        var selector = '';
        for (var node = element; node && node.nodeType === 1; node = node.parentNode) {
            var part = this.getUniqueSelector(node);
            selector = selector === '' ? part : part + ' > ' + selector;
            if (picksOnly(doc, selector, element)) {
                return selector;
            }
        }
        return null;
    };

    return CssSelectorGenerator;
})();
