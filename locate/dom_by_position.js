function GetDomByPosition(x, y) {
    var sx = document.documentElement.scrollLeft;
    var sy = document.documentElement.scrollTop;
    var dom = document.elementFromPoint(x - sx, y - sy);
    if (dom == null) {
        return null;
    }
    window.top.GetNowFrameId();
    while (dom.tagName.toLowerCase() == "iframe" || dom.tagName.toLowerCase() == "frame") {
        dom.contentWindow.GetNowFrameId();
        x = x - Math.ceil(dom.getBoundingClientRect().left);
        y = y - Math.ceil(dom.getBoundingClientRect().top);
        dom = dom.contentWindow.document.elementFromPoint(x, y);
        if (dom == null) {
            return null;
        }
    }
    return dom;
}
