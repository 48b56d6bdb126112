(function () {
    'use strict';
    // Reports the top document's title whenever it changes.
    if (window !== window.top || window.__qirlenTitleWatch) return;
    Object.defineProperty(window, '__qirlenTitleWatch', { value: true });
    var report = window.__qirlenTitle;
    var last = null;
    var check = function () {
        var title = document.title;
        if (title !== last) {
            last = title;
            report(title);
        }
    };
    new MutationObserver(check).observe(document, { subtree: true, childList: true, characterData: true });
    document.addEventListener('DOMContentLoaded', check);
})();
