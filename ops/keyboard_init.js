// Keyboard events made by createEvent are initialised with initMouseEvent(type, bubbles,
// cancelable) by the automation scripts; this engine has no such method on them.
if (typeof KeyboardEvent === 'function' && !KeyboardEvent.prototype.initMouseEvent) {
    Object.defineProperty(KeyboardEvent.prototype, 'initMouseEvent', {
        value: function (type, bubbles, cancelable) {
            this.initKeyboardEvent(type, bubbles, cancelable);
        },
        configurable: true,
        writable: true
    });
}
