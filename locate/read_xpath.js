function readXPath(element) {
    var doc = element.ownerDocument;
    // An id names the element only when no other element has it, and it can be quoted.
    if (element.id !== "" && element.id.indexOf('"') < 0 &&
        doc.querySelectorAll('[id="' + CSS.escape(element.id) + '"]').length == 1) {
        return '//*[@id="' + element.id + '"]';
    }
    if (element == doc.body) {
        return "/html/" + element.tagName.toLowerCase();
    }
    // The document element ends the walk: above it there is no element to name.
    if (element == doc.documentElement) {
        return "/" + element.tagName.toLowerCase();
    }
    // An element outside the HTML namespace (inline SVG, MathML) is not matched by a plain
    // name test in an HTML document; it is named by its local name, counted among the
    // siblings that the same test matches.
    if (element.namespaceURI != "http://www.w3.org/1999/xhtml") {
        var name = element.localName;
        var position = 1;
        for (var s = element.previousElementSibling; s; s = s.previousElementSibling) {
            if (s.localName == name) position++;
        }
        return readXPath(element.parentNode) + "/*[local-name()='" + name + "'][" + position + "]";
    }
    var ix = 1;
    var siblings = element.parentNode.childNodes;
    for (var i = 0; i < siblings.length; i++) {
        var sibling = siblings[i];
        if (sibling == element) {
            return readXPath(element.parentNode) + "/" + element.tagName.toLowerCase() + "[" + ix + "]";
        }
        if (sibling.nodeType == 1 && sibling.tagName == element.tagName) {
            ix++;
        }
    }
}
