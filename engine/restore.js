function (saved) {
    'use strict';
    // Puts back the local storage kept from earlier runs, before the page's own scripts
    // look at it. Keys the page has set in this run win.
    var items = saved[location.origin];
    if (!items) return;
    try {
        for (var i = 0; i < items.length; i++)
            if (localStorage.getItem(items[i][0]) === null) localStorage.setItem(items[i][0], items[i][1]);
    } catch (e) {}
    window.__qirlenRestored(location.origin);
}
