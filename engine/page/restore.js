function (saved) {
    'use strict';
    // Puts back the local storage kept from earlier runs, before the page's own scripts
    // look at it: an origin's items only under the top-level page they were kept under, so
    // that another site framing that origin never sees them. Keys the page has set in this
    // run win.
    var partition;
    try {
        partition = window.top.location.origin + ' ' + location.origin;
    } catch (e) {
        return;
    }
    var items = saved[partition];
    if (!items) return;
    try {
        for (var i = 0; i < items.length; i++)
            if (localStorage.getItem(items[i][0]) === null) localStorage.setItem(items[i][0], items[i][1]);
    } catch (e) {}
    window.__qirlenRestored(partition);
}
