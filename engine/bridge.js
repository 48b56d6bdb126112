function (names, replyOnly) {
    'use strict';
    // Calls from page script into bound native functions. The call's arguments go out
    // through the protocol binding, then the script pauses at the debugger statement
    // below; the engine runs the native function, sets `answer` to its result and
    // resumes, so the caller gets the answer as the call's own result. Functions bound as
    // reply-only always answer undefined, so their calls need no pause: they are gathered
    // and go out together, before the next call that waits, when the current task's
    // microtasks run (which is still inside the script run that made them), or once many
    // have gathered.
    var bridge = window.__qirlenBridge;
    if (!bridge) {
        // The protocol binding may be installed after this script runs: look it up per call.
        var send = function (message) { window.__qirlenCall(message); };
        var stringify = JSON.stringify;
        var later = window.queueMicrotask.bind(window);
        var answer;
        var gathered = [], gatheredSize = 0, flushQueued = false;
        var describe = function (v) {
            if (v === null) return ['null', 'null'];
            if (Array.isArray(v)) return ['array', String(v)];
            var text;
            try { text = String(v); } catch (e) { text = '[object Object]'; }
            return [typeof v, text];
        };
        var encode = function (name, args) {
            var call = [name];
            for (var i = 0; i < args.length; i++) {
                var pair = describe(args[i]);
                gatheredSize += pair[1].length;
                call.push(pair);
            }
            return call;
        };
        var flush = function () {
            flushQueued = false;
            if (gathered.length === 0) return;
            var batch = gathered;
            gathered = [];
            gatheredSize = 0;
            send(stringify([batch]));
        };
        var __qirlenBridgeCall = function __qirlenBridgeCall(name, args) {
            flush();
            send(stringify(encode(name, args)));
            debugger;
            var result = answer;
            answer = undefined;
            return result;
        };
        var post = function (name, args) {
            gathered.push(encode(name, args));
            if (gathered.length >= 512 || gatheredSize >= (1 << 20)) {
                flush();
            } else if (!flushQueued) {
                flushQueued = true;
                later(flush);
            }
        };
        bridge = { call: __qirlenBridgeCall, post: post, flush: flush };
        Object.defineProperty(window, '__qirlenBridge', { value: bridge });
    }
    names.forEach(function (name) {
        window[name] = replyOnly.indexOf(name) >= 0
            ? function () { bridge.post(name, arguments); }
            : function () { return bridge.call(name, arguments); };
    });
}
