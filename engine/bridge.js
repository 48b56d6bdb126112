function (names, replyOnly) {
    'use strict';
    // Calls from page script into bound native functions. The call's arguments go out
    // through the protocol binding, then the script pauses at the debugger statement
    // below; the engine runs the native function, sets `answer` to its result and
    // resumes, so the caller gets the answer as the call's own result. Functions bound as
    // reply-only always answer undefined, so their calls need no pause.
    var bridge = window.__qirlenBridge;
    if (!bridge) {
        // The protocol binding may be installed after this script runs: look it up per call.
        var send = function (message) { window.__qirlenCall(message); };
        var stringify = JSON.stringify;
        var answer;
        var describe = function (v) {
            if (v === null) return ['null', 'null'];
            if (Array.isArray(v)) return ['array', String(v)];
            var text;
            try { text = String(v); } catch (e) { text = '[object Object]'; }
            return [typeof v, text];
        };
        var encode = function (name, args) {
            var payload = [name];
            for (var i = 0; i < args.length; i++) payload.push(describe(args[i]));
            return stringify(payload);
        };
        var __qirlenBridgeCall = function __qirlenBridgeCall(name, args) {
            send(encode(name, args));
            debugger;
            var result = answer;
            answer = undefined;
            return result;
        };
        var post = function (name, args) {
            send(encode(name, args));
        };
        bridge = { call: __qirlenBridgeCall, post: post };
        Object.defineProperty(window, '__qirlenBridge', { value: bridge });
    }
    names.forEach(function (name) {
        window[name] = replyOnly.indexOf(name) >= 0
            ? function () { bridge.post(name, arguments); }
            : function () { return bridge.call(name, arguments); };
    });
}
