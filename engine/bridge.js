function (names) {
    'use strict';
    // Calls from page script into bound native functions. The call's arguments go out
    // through the protocol binding, then the script pauses at the debugger statement
    // below; the engine runs the native function, puts its answer into slot.value and
    // resumes, so the caller gets the answer as the call's own result.
    var bridge = window.__qirlenBridge;
    if (!bridge) {
        var send = window.__qirlenCall;
        var stringify = JSON.stringify;
        var slot = { value: undefined };
        var describe = function (v) {
            if (v === null) return ['null', 'null'];
            if (Array.isArray(v)) return ['array', String(v)];
            var text;
            try { text = String(v); } catch (e) { text = '[object Object]'; }
            return [typeof v, text];
        };
        var __qirlenBridgeCall = function __qirlenBridgeCall(name, args) {
            var payload = [name];
            for (var i = 0; i < args.length; i++) payload.push(describe(args[i]));
            send(stringify(payload));
            debugger;
            var answer = slot.value;
            slot.value = undefined;
            return answer;
        };
        bridge = { call: __qirlenBridgeCall };
        Object.defineProperty(window, '__qirlenBridge', { value: bridge });
    }
    names.forEach(function (name) {
        window[name] = function () { return bridge.call(name, arguments); };
    });
}
