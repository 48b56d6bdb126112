function (names, replyOnly, runOnly, secret, maxCall) {
    'use strict';
    // Calls from page script into bound native functions. The call's arguments go out
    // through the protocol binding, then the script pauses at the debugger statement
    // below; the engine runs the native function, sets `answer` to its result and
    // resumes, so the caller gets the answer as the call's own result. Functions bound as
    // reply-only always answer undefined, so their calls need no pause: they are gathered
    // and go out together, before the next call that waits, when the current task's
    // microtasks run (which is still inside the script run that made them), or once many
    // have gathered.
    //
    // The page shares this world: everything the bridge uses is taken before any page
    // script runs, and messages are built as plain strings, so that nothing the page puts
    // on a prototype (push, toJSON, an indexed accessor) sees or changes a call.
    //
    // One call carries at most maxCall characters of message: a larger one throws a
    // RangeError where it was made and never leaves the page, and a batch of gathered calls
    // goes out before it would grow past that.
    //
    // Every engine run starts by handing its bridge a token, dropped again when the run's
    // task ends; each call carries the token it was made under. Functions bound run-only
    // are accepted only under the token of the run in progress, so calls made at other
    // times (the page's own timers) never wait for an answer: they go out at once, and
    // the engine counts and drops them.
    var bridge = window.__qirlenBridge;
    if (!bridge) {
        var Obj = Object;
        var create = Obj.create, defineProperty = Obj.defineProperty, freeze = Obj.freeze;
        var describeOwn = Obj.getOwnPropertyDescriptor, protoOf = Obj.getPrototypeOf;
        var ownKeys = Reflect.ownKeys, isArray = Array.isArray;
        var objectProto = Obj.prototype, toText = String, stringify = JSON.stringify;
        var TooLarge = RangeError, callLimit = maxCall;
        var uncurry = Function.prototype.bind.bind(Function.prototype.call);
        var hasOwn = uncurry(objectProto.hasOwnProperty);
        var getter = function (proto, name) { return uncurry(describeOwn(proto, name).get); };
        var nodeType = getter(Node.prototype, 'nodeType');
        var collectionLength = getter(HTMLCollection.prototype, 'length');
        var nodeListLength = getter(NodeList.prototype, 'length');
        var later = uncurry(window.queueMicrotask, window);
        var rawSend = null;
        var sender = function () {
            if (rawSend) return rawSend;
            // The protocol binding, taken and fixed in place the first time it is there.
            var binding = describeOwn(window, '__qirlenCall');
            if (!binding || !hasOwn(binding, 'value') || typeof binding.value !== 'function')
                return null;
            rawSend = binding.value;
            try {
                var fixed = create(null);
                fixed.value = rawSend;
                fixed.writable = false;
                fixed.configurable = false;
                defineProperty(window, '__qirlenCall', fixed);
            } catch (e) {}
            return rawSend;
        };
        sender();
        var send = function (message) {
            var s = sender();
            if (s) s(message);
        };
        var set = function (list) {
            var s = create(null);
            for (var i = 0; i < list.length; i++) s[list[i]] = true;
            return s;
        };
        var replyOnlySet = create(null), runOnlySet = create(null);
        var token = '';
        var answer;
        var gathered = '', gatheredCount = 0, flushQueued = false;
        var endRun = function () { token = ''; };
        var argument = function (v) {
            var type = typeof v, text;
            if (v === null) {
                type = 'null';
                text = 'null';
            } else if (isArray(v)) {
                type = 'array';
                text = toText(v);
            } else {
                try { text = toText(v); } catch (e) { text = '[object Object]'; }
            }
            if (text.length > callLimit) throw new TooLarge('a bound call carries too much');
            return '[' + stringify(type) + ',' + stringify(text) + ']';
        };
        // [token, name, [type, text]...]
        var encode = function (name, args) {
            var call = '[' + stringify(token) + ',' + stringify(toText(name));
            for (var i = 0; i < args.length; i++) {
                call += ',' + argument(args[i]);
                if (call.length > callLimit) throw new TooLarge('a bound call carries too much');
            }
            return call + ']';
        };
        var flush = function () {
            flushQueued = false;
            if (gatheredCount === 0) return;
            var batch = gathered;
            gathered = '';
            gatheredCount = 0;
            send('[[' + batch + ']]');
        };
        var __qirlenBridgeCall = function __qirlenBridgeCall(name, args) {
            var call = encode(name, args);
            flush();
            send(call);
            debugger;
            var result = answer;
            answer = undefined;
            return result;
        };
        var post = function (name, args) {
            var call = encode(name, args);
            if (gatheredCount > 0 && gathered.length + call.length > callLimit) flush();
            gathered += (gatheredCount++ ? ',' : '') + call;
            if (gatheredCount >= 512 || gathered.length >= (1 << 20)) {
                flush();
            } else if (!flushQueued) {
                flushQueued = true;
                later(flush);
            }
        };
        var dispatch = function (name, args) {
            if (replyOnlySet[name] || (runOnlySet[name] && token === '')) {
                post(name, args);
                return undefined;
            }
            return __qirlenBridgeCall(name, args);
        };
        var install = function (list, replies, runs) {
            replyOnlySet = set(replies);
            runOnlySet = set(runs);
            for (var i = 0; i < list.length; i++) {
                var name = list[i];
                var fn = (function (n) { return function () { return dispatch(n, arguments); }; })(name);
                var fixed = create(null);
                fixed.value = fn;
                fixed.writable = false;
                fixed.configurable = false;
                fixed.enumerable = false;
                try { defineProperty(window, name, fixed); } catch (e) {}
            }
        };
        // Where the element operations keep their state: absent, or a plain writable value.
        var ownState = ['l_Object', 'l_obj', 'l_Rect', 'l_evt', 'l_i', 'l_length', 'All_Object'];
        var plainSlot = function (win, name) {
            var d = describeOwn(win, name);
            return !d || (hasOwn(d, 'value') && hasOwn(d, 'writable') && d.writable === true);
        };
        var isElement = function (v) {
            try { return nodeType(v) === 1; } catch (e) { return false; }
        };
        bridge = create(null);
        var mine = secret;
        // Called by the engine first thing in every run, with that run's token; the page
        // cannot (it lacks the secret), so outside runs its calls carry no token.
        bridge.run = function (s, t) {
            if (s !== mine) return;
            token = toText(t);
            later(endRun);
        };
        bridge.flush = flush;
        // Whether `index` names a match of `list` (a collection, node list or array), read
        // without the page's accessors: past the end, an index would reach the prototypes.
        bridge.within = function (list, index) {
            var length;
            try { length = collectionLength(list); } catch (e) {
                try { length = nodeListLength(list); } catch (e2) {
                    if (!isArray(list)) return false;
                    length = list.length;
                }
            }
            return typeof index === 'number' && index >= 0 && index < length;
        };
        // What an operation may act on: a real element, nothing, or the empty object of an
        // attribute match that found nothing (given no prototype, so that nothing the page
        // adds to Object.prototype answers for it). Anything else stops the run.
        bridge.located = function (value, win) {
            for (var i = 0; i < ownState.length; i++)
                if (!plainSlot(win, ownState[i])) throw new Error('page-defined ' + ownState[i]);
            if (value === null || value === undefined || isElement(value)) return value;
            if (typeof value === 'object' && ownKeys(value).length === 0) {
                var p = protoOf(value);
                if (p === null || p === objectProto) return create(null);
            }
            throw new Error('not an element');
        };
        // Later bindings reach this document's bridge through the engine's secret only:
        // the page must not change how a function is called.
        bridge.configure = function (s, list, replies, runs) {
            if (s === mine) install(list, replies, runs);
        };
        freeze(bridge);
        var fixedBridge = create(null);
        fixedBridge.value = bridge;
        defineProperty(window, '__qirlenBridge', fixedBridge);
    }
    bridge.configure(secret, names, replyOnly, runOnly);
}
