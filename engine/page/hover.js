(function () {
    'use strict';
    // Reports the address of the link under the mouse whenever it changes.
    if (window.__qirlenHoverWatch) return;
    Object.defineProperty(window, '__qirlenHoverWatch', { value: true });
    var last = '';
    document.addEventListener('mouseover', function (e) {
        var link = e.target && e.target.closest ? e.target.closest('a[href]') : null;
        var url = link ? link.href : '';
        if (url !== last) {
            last = url;
            window.__qirlenHover(url);  // looked up now: it may arrive after this script
        }
    }, true);
})();
