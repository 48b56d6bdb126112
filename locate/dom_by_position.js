// x, y: a point of this frame's document, scrolling included. The walk works in viewport
// points throughout: this frame's scroll comes off once, and each frame element on the way
// down takes off where its content box begins, at the scale it is drawn (a zoom or a scale
// transform: its box against its layout size); a frame's own scroll needs nothing more,
// since its elementFromPoint already works in its own viewport. The element found becomes
// `l_Object` of the frame that holds it too, so that the frame GetNowFrameId reported can
// go on with "EnterElement".
function GetDomByPosition(x, y) {
    function keepInItsFrame(dom) {
        var win = dom.ownerDocument.defaultView;
        if (win === window) return;
        var slot = Object.getOwnPropertyDescriptor(win, 'l_Object');
        if (!slot) {
            Object.defineProperty(win, 'l_Object',
                { value: dom, writable: true, enumerable: true, configurable: true });
        } else if ('value' in slot && slot.writable) {
            Object.defineProperty(win, 'l_Object', { value: dom });
        }
    }
    var px = x - window.pageXOffset;
    var py = y - window.pageYOffset;
    var dom = document.elementFromPoint(px, py);
    if (dom == null) {
        return null;
    }
    window.GetNowFrameId();
    while (dom.tagName.toLowerCase() == "iframe" || dom.tagName.toLowerCase() == "frame") {
        var box = dom.getBoundingClientRect();
        var style = dom.ownerDocument.defaultView.getComputedStyle(dom);
        var padLeft = parseFloat(style.paddingLeft) || 0;
        var padTop = parseFloat(style.paddingTop) || 0;
        var scaleX = dom.offsetWidth > 0 ? box.width / dom.offsetWidth : 1;
        var scaleY = dom.offsetHeight > 0 ? box.height / dom.offsetHeight : 1;
        px = (px - box.left) / scaleX - dom.clientLeft - padLeft;
        py = (py - box.top) / scaleY - dom.clientTop - padTop;
        var width = dom.clientWidth - padLeft - (parseFloat(style.paddingRight) || 0);
        var height = dom.clientHeight - padTop - (parseFloat(style.paddingBottom) || 0);
        if (px < 0 || py < 0 || px >= width || py >= height) {
            break;  // on the frame's border or padding: the frame element itself
        }
        dom.contentWindow.GetNowFrameId();
        dom = dom.contentWindow.document.elementFromPoint(px, py);
        if (dom == null) {
            return null;
        }
    }
    keepInItsFrame(dom);
    return dom;
}
