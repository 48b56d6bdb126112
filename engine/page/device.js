function (o) {
    'use strict';
    // What navigator and screen report to the page, set before the page's own scripts run.
    var define = function (proto, name, value) {
        try {
            Object.defineProperty(proto, name, {
                get: function () { return value; }, configurable: true, enumerable: true
            });
        } catch (e) {}
    };
    if ('platform' in o) define(Navigator.prototype, 'platform', o.platform);
    if ('maxTouchPoints' in o) define(Navigator.prototype, 'maxTouchPoints', o.maxTouchPoints);
    if ('hardwareConcurrency' in o) define(Navigator.prototype, 'hardwareConcurrency', o.hardwareConcurrency);
    if ('width' in o) define(Screen.prototype, 'width', o.width);
    if ('height' in o) define(Screen.prototype, 'height', o.height);
    if ('availWidth' in o) define(Screen.prototype, 'availWidth', o.availWidth);
    if ('availHeight' in o) define(Screen.prototype, 'availHeight', o.availHeight);
}
