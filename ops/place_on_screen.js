// Where the browser's own picture of an element equals a drawing of it alone: the element
// in the top document, shown, at one device pixel per CSS pixel, unscaled and untransformed
// up to the root, whole inside the viewport and not covered at its centre. Answers with its
// rectangle in document coordinates, rounded to whole pixels, as JSON; otherwise with ''.
function placeOnScreen(element) {
    var view = window.visualViewport;
    if (window !== window.top || document.visibilityState !== 'visible' ||
        window.devicePixelRatio !== 1 || !view || view.scale !== 1) return '';
    for (var node = element; node && node.nodeType === 1; node = node.parentNode) {
        var style = getComputedStyle(node);
        if (style.transform !== 'none' || style.scale !== 'none' || style.rotate !== 'none' ||
            (style.zoom !== '' && style.zoom !== '1')) return '';
    }
    var box = element.getBoundingClientRect();
    var left = Math.round(box.left), top = Math.round(box.top);
    var right = Math.round(box.right), bottom = Math.round(box.bottom);
    if (left < 0 || top < 0 || right > view.width || bottom > view.height || right <= left ||
        bottom <= top) return '';
    var atCentre = document.elementFromPoint((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    if (!atCentre || !element.contains(atCentre)) return '';
    return JSON.stringify({ x: left + view.pageLeft, y: top + view.pageTop,
                            width: right - left, height: bottom - top });
}
