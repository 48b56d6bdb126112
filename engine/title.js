(function () {
    'use strict';
    // Reports the top document's title whenever it changes.
    if (window !== window.top || window.__qirlenTitleWatch) return;
    Object.defineProperty(window, '__qirlenTitleWatch', { value: true });
    var last = null;
    var check = function () {
        var title = document.title;
        if (title !== last) {
            last = title;
            window.__qirlenTitle(title);  // looked up now: it may arrive after this script
        }
    };
    new MutationObserver(check).observe(document, { subtree: true, childList: true, characterData: true });
    document.addEventListener('DOMContentLoaded', check);
})();
