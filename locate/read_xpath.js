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
