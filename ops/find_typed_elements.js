// Reports every element of one everyday type in this frame and, when isTag is 1, numbers
// it visibly. Each element is reported before it is marked.
function i_FindElement(TagName, l_String, l_now_frame, isTag, Attributetype, TagText) {
    var exactFilters = ['text|password|file', 'button|submit|reset', 'image'];
    var byAttribute = exactFilters.indexOf(l_String) != -1;
    var elements = document.getElementsByTagName(TagName);
    var counter = 0;
    function wanted(element) {
        return !(byAttribute || TagName == 'input') || l_String.indexOf(element.type) != -1;
    }
    // Unmarked, nothing changes the document meanwhile: every selector is named at once.
    var selectors = null, reported = 0;
    if (isTag != 1) {
        var chosen = [];
        for (var k = 0; k < elements.length; k++) {
            if (wanted(elements[k])) chosen.push(elements[k]);
        }
        selectors = CssSelector.getSelectors(chosen);
    }
    function report(element) {
        window.top.GetElementInformation(element.id, element.innerText, element.outerHTML,
            element.nodeName, element.className, l_now_frame,
            selectors ? selectors[reported++] : CssSelector.getSelector(element));
    }
    // A label after the element, added once; the element itself stays as it is, with its
    // state and its handlers.
    function labelAfter(element, label) {
        var next = element.nextSibling;
        if (next && next.nodeName == 'FONT' && next.textContent == label) return;
        if (element.outerHTML.indexOf(TagText + counter) != -1) return;
        element.insertAdjacentHTML('afterend', '<font color=red>' + label + '</font>');
    }
    for (var i = 0; i < elements.length; i++) {
        var element = elements[i];
        if (!wanted(element)) continue;
        report(element);
        if (isTag != 1) continue;
        counter++;
        if (byAttribute) {
            element.setAttribute(Attributetype, TagText + counter);
        } else if (TagName == 'a') {
            if (element.innerHTML.indexOf(TagText + counter) == -1)
                element.innerHTML += '<font color=red>_' + TagText + counter + '</font>';
        } else {
            labelAfter(element, '[' + TagText + counter + ']');
        }
    }
}
