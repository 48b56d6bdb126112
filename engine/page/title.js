function (maxTitle) {
    'use strict';
    // Reports the top document's title whenever it changes; only its head goes to the
    // engine, since a page may make its title as long as it likes.
    if (window !== window.top || window.__qirlenTitleWatch) return;
    Object.defineProperty(window, '__qirlenTitleWatch', { value: true });
    var last = null;
    var check = function () {
        var title = document.title;
        if (title !== last) {
            last = title;
            if (title.length > maxTitle) title = title.slice(0, maxTitle);
            window.__qirlenTitle(title);  // looked up now: it may arrive after this script
        }
    };
    new MutationObserver(check).observe(document, { subtree: true, childList: true, characterData: true });
    document.addEventListener('DOMContentLoaded', check);
}
