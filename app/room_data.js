// Reads the live room that the page embeds as data: the streamed chunks of a server-rendered
// page (self.__rsc_f / self.__pace_f pushes of "<hex id>:<JSON>" lines whose values may be
// "$<hex id>" references to other lines), a state object the page assigns to a global, or a
// page that is the room's JSON itself. Gives one JSON text: the room's status, title, owner
// and every address by quality; or what the page is when it holds no room.
// It runs apart from the page's script: it sees the document but no page global, so pushes
// and state objects are read from the page's own script elements, as written there.
var MAX_DEPTH = 60;

// The texts the page's scripts push into one of its chunk arrays, in order.
function pushedTexts(name) {
    var texts = [];
    var marker = name + '.push(';
    Array.prototype.forEach.call(document.scripts, function (script) {
        var text = script.textContent;
        for (var at = text.indexOf(marker); at !== -1; at = text.indexOf(marker, at + 1)) {
            var start = at + marker.length;
            var end = endOfJsonArray(text, start);
            if (end < 0) continue;
            try {
                var entry = JSON.parse(text.slice(start, end));
                if (entry[0] === 1 && typeof entry[1] === 'string') texts.push(entry[1]);
            } catch (e) {}
        }
    });
    return texts;
}

// A literal of plain data at `at` in a script's text: objects (keys quoted or bare), arrays,
// strings in either quote, numbers, true, false, null. Undefined for anything else, which
// is never run.
function literalAt(text, at) {
    var i = at;
    var ESCAPES = { n: '\n', t: '\t', r: '\r', b: '\b', f: '\f', v: '\v', 0: '\0' };
    function fail() { throw new SyntaxError('not plain data'); }
    function space() { while (i < text.length && /\s/.test(text.charAt(i))) i++; }
    function hex(length) {
        var digits = text.substr(i, length);
        if (!/^[0-9a-fA-F]+$/.test(digits) || digits.length !== length) fail();
        i += length;
        return String.fromCharCode(parseInt(digits, 16));
    }
    function string() {
        var quote = text.charAt(i++), out = '';
        while (i < text.length) {
            var c = text.charAt(i++);
            if (c === quote) return out;
            if (c !== '\\') { out += c; continue; }
            var e = text.charAt(i++);
            if (e === 'u') out += hex(4);
            else if (e === 'x') out += hex(2);
            else if (e === '\n') continue;
            else out += Object.prototype.hasOwnProperty.call(ESCAPES, e) ? ESCAPES[e] : e;
        }
        fail();
    }
    function key() {
        var c = text.charAt(i);
        if (c === '"' || c === "'") return string();
        var bare = /^(?:[A-Za-z_$][\w$]*|\d+)/.exec(text.slice(i, i + 256));
        if (!bare) fail();
        i += bare[0].length;
        return bare[0];
    }
    // Items up to `close`, a trailing comma allowed.
    function items(close, one) {
        i++;
        for (;;) {
            space();
            if (text.charAt(i) === close) { i++; return; }
            one();
            space();
            var c = text.charAt(i++);
            if (c === close) return;
            if (c !== ',') fail();
        }
    }
    function value(depth) {
        if (depth > MAX_DEPTH) fail();
        space();
        var c = text.charAt(i);
        if (c === '{') {
            var object = {};
            items('}', function () {
                var name = key();
                space();
                if (text.charAt(i++) !== ':') fail();
                Object.defineProperty(object, name, { value: value(depth + 1), enumerable: true,
                    writable: true, configurable: true });
            });
            return object;
        }
        if (c === '[') {
            var array = [];
            items(']', function () { array.push(value(depth + 1)); });
            return array;
        }
        if (c === '"' || c === "'") return string();
        var word = /^(?:true|false|null|-?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)/.exec(text.slice(i, i + 64));
        if (!word) fail();
        i += word[0].length;
        return word[0] === 'true' ? true : word[0] === 'false' ? false : word[0] === 'null' ? null : Number(word[0]);
    }
    try { return value(0); } catch (e) { return undefined; }
}

// The object a page script assigns to the global `name` ("window.name = {...}",
// "name={...}", "name = JSON.parse('...')"), read from the script's text.
function stateFromScripts(name) {
    var scripts = document.scripts;
    for (var k = 0; k < scripts.length; k++) {
        var text = scripts[k].textContent;
        var assignment = new RegExp(name + '[\'"]?\\]?\\s*=(?!=)\\s*', 'g');
        for (var found; (found = assignment.exec(text));) {
            var at = found.index + found[0].length;
            var state = literalAt(text, at);
            if (text.slice(at, at + 11) === 'JSON.parse(') state = parsed(literalAt(text, at + 11));
            if (state && typeof state === 'object') return state;
        }
    }
    return undefined;
}

// Where the JSON array starting at `start` ends (one past its "]"), or -1.
function endOfJsonArray(text, start) {
    if (text.charAt(start) !== '[') return -1;
    var depth = 0, inString = false;
    for (var i = start; i < text.length; i++) {
        var c = text.charAt(i);
        if (inString) {
            if (c === '\\') i++;
            else if (c === '"') inString = false;
        } else if (c === '"') {
            inString = true;
        } else if (c === '[' || c === '{') {
            depth++;
        } else if (c === ']' || c === '}') {
            if (--depth === 0) return i + 1;
        }
    }
    return -1;
}

// Where a text row of `bytes` UTF-8 bytes that starts at `from` ends.
function endOfUtf8Bytes(text, from, bytes) {
    var i = from;
    while (i < text.length && bytes > 0) {
        var code = text.charCodeAt(i);
        if (code >= 0xD800 && code <= 0xDBFF) { bytes -= 4; i += 2; continue; }
        bytes -= code < 0x80 ? 1 : code < 0x800 ? 2 : 3;
        i++;
    }
    return i;
}

// The lines "<hex id>:<value>" of the joined chunks. A value is JSON, JSON after a kind
// letter ("I[...]", "HL[...]"), or a text row "T<hex length>,<text>".
function rowsOf(text) {
    var rows = {};
    var i = 0;
    while (i < text.length) {
        var colon = text.indexOf(':', i);
        var newline = text.indexOf('\n', i);
        if (colon < 0) break;
        if (newline >= 0 && newline < colon) { i = newline + 1; continue; }
        var id = text.slice(i, colon);
        var rest = colon + 1;
        var textRow = /^T([0-9a-fA-F]+),/.exec(text.slice(rest, rest + 16));
        if (/^[0-9a-fA-F]+$/.test(id) && textRow) {
            var from = rest + textRow[0].length;
            var end = endOfUtf8Bytes(text, from, parseInt(textRow[1], 16));
            rows[id] = text.slice(from, end);
            i = end;
            continue;
        }
        var stop = newline < 0 ? text.length : newline;
        if (/^[0-9a-fA-F]+$/.test(id)) {
            var body = text.slice(rest, stop).replace(/^[A-Z]+(?=[\[{"])/, '');
            try { rows[id] = JSON.parse(body); } catch (e) {}
        }
        i = stop + 1;
    }
    return rows;
}

// A value with its "$<hex id>" references followed; "$$..." is a "$" text.
function dereferencer(rows) {
    return function deref(value) {
        for (var hops = 0; hops < 16 && typeof value === 'string'; hops++) {
            var ref = /^\$([0-9a-fA-F]+)$/.exec(value);
            if (!ref) break;
            value = rows[ref[1].toLowerCase()] !== undefined ? rows[ref[1].toLowerCase()] : rows[ref[1]];
        }
        // A reference that never resolves (a cycle) is no value, never the reference's text.
        if (typeof value === 'string' && /^\$[0-9a-fA-F]+$/.test(value)) return undefined;
        if (typeof value === 'string' && value.slice(0, 2) === '$$') value = value.slice(1);
        return value;
    };
}

function plain(value) { return value; }

// The first field of `object` under one of `names` (camelCase and snake_case spellings).
function field(object, names, deref) {
    object = deref(object);
    if (!object || typeof object !== 'object') return undefined;
    for (var i = 0; i < names.length; i++) {
        if (object[names[i]] !== undefined) return deref(object[names[i]]);
    }
    return undefined;
}

function fieldPath(object, path, deref) {
    for (var i = 0; i < path.length && object !== undefined; i++) object = field(object, path[i], deref);
    return object;
}

var STREAM = ['streamUrl', 'stream_url'];

// The room: an object under a "room" key, or any object with a stream. Rooms with a stream
// or a status come first.
function findRoom(root, deref) {
    var found = [];
    var seen = new Set();
    (function walk(value, depth) {
        value = deref(value);
        if (!value || typeof value !== 'object' || depth > MAX_DEPTH || seen.has(value)) return;
        seen.add(value);
        if (!Array.isArray(value)) {
            if (field(value, STREAM, deref) !== undefined) found.push(value);
            var room = deref(value.room);
            if (room && typeof room === 'object' && !Array.isArray(room)) found.push(room);
        }
        for (var key in value) {
            if (Object.prototype.hasOwnProperty.call(value, key)) walk(value[key], depth + 1);
        }
    })(root, 0);
    for (var i = 0; i < found.length; i++) {
        if (field(found[i], STREAM, deref) !== undefined || field(found[i], ['status'], deref) !== undefined)
            return found[i];
    }
    return found[0];
}

function parsed(value) {
    if (typeof value !== 'string') return value;
    try { return JSON.parse(value); } catch (e) { return undefined; }
}

function text(value) {
    return value === undefined || value === null ? '' : String(value);
}

// What the room says of its streams, as written: the player's tiers (each with its main
// and backup line, resolution and codec), the player's names for them, and the address maps
// keyed FULL_HD1, HD1, ... with their own names. Which entries are one stream is decided
// by the program.
function streamsOf(room, deref) {
    var stream = field(room, STREAM, deref);
    var pull = fieldPath(stream, [['liveCoreSdkData', 'live_core_sdk_data'], ['pullData', 'pull_data']], deref);
    var data = parsed(field(pull, ['streamData', 'stream_data'], deref));
    data = data && data.data ? data.data : data;
    var tiers = [];
    if (data && typeof data === 'object') {
        Object.keys(data).forEach(function (key) {
            var main = data[key] && data[key].main;
            if (!main || typeof main !== 'object') return;
            var backup = data[key].backup && typeof data[key].backup === 'object' ? data[key].backup : {};
            var params = parsed(main.sdk_params) || {};
            tiers.push({ key: key, hls: text(main.hls), flv: text(main.flv),
                backupHls: text(backup.hls), backupFlv: text(backup.flv),
                resolution: text(params.resolution), codec: text(params.VCodec) });
        });
    }
    var playerNames = [];
    var qualities = field(fieldPath(pull, [['options']], deref), ['qualities'], deref);
    if (Array.isArray(qualities)) {
        qualities.forEach(function (q) {
            q = deref(q);
            var key = field(q, ['sdk_key', 'sdkKey'], deref);
            if (key === undefined) return;
            playerNames.push({ key: String(key), name: text(field(q, ['name'], deref)),
                resolution: text(field(q, ['resolution'], deref)),
                codec: text(field(q, ['v_codec', 'vCodec'], deref)) });
        });
    }
    function map(names) {
        var object = deref(field(stream, names, deref));
        var out = {};
        if (!object || typeof object !== 'object' || Array.isArray(object)) return out;
        Object.keys(object).forEach(function (key) {
            var value = deref(object[key]);
            if (typeof value === 'string' && value) out[key] = value;
        });
        return out;
    }
    return {
        tiers: tiers,
        playerNames: playerNames,
        hlsMap: map(['hlsPullUrlMap', 'hls_pull_url_map']),
        flvMap: map(['flvPullUrl', 'flv_pull_url']),
        mapNames: map(['resolutionName', 'resolution_name']),
        defaultHls: text(field(stream, ['hlsPullUrl', 'hls_pull_url'], deref)),
        defaultKey: text(field(stream, ['defaultResolution', 'default_resolution'], deref))
    };
}

// The first entry of a list, as a text; empty for anything else.
function firstText(list, deref) {
    return Array.isArray(list) && list.length ? text(deref(list[0])) : '';
}

function describe(room, deref) {
    var owner = field(room, ['owner'], deref);
    return {
        found: true,
        status: Number(field(room, ['status'], deref)) || 0,
        roomId: text(field(room, ['idStr', 'id_str', 'roomId', 'room_id', 'id'], deref)),
        title: text(field(room, ['title'], deref)),
        owner: text(field(owner, ['nickname'], deref)),
        webRid: text(field(owner, ['webRid', 'web_rid'], deref)),
        avatar: firstText(fieldPath(owner, [['avatarThumb', 'avatar_thumb'], ['urlList', 'url_list']], deref), deref),
        streams: streamsOf(room, deref)
    };
}

// The sources of room data, most specific first; each gives a root and its dereferencer.
function sources() {
    var list = [];
    ['__rsc_f', '__pace_f'].forEach(function (name) {
        var texts = pushedTexts(name);
        if (!texts.length) return;
        var rows = rowsOf(texts.join(''));
        list.push({ root: rows, deref: dereferencer(rows) });
    });
    ['__INIT_PROPS__', '__INITIAL_STATE__', '__INITIAL_PROPS__'].forEach(function (name) {
        var state = stateFromScripts(name);
        if (state) list.push({ root: state, deref: plain });
    });
    var render = document.getElementById('RENDER_DATA');
    if (render) {
        try { list.push({ root: JSON.parse(decodeURIComponent(render.textContent)), deref: plain }); } catch (e) {}
    }
    var body = document.body ? document.body.innerText.trim() : '';
    if (body.charAt(0) === '{') {
        try { list.push({ root: JSON.parse(body), deref: plain }); } catch (e) {}
    }
    return list;
}

// A page that checks whether a person is there, instead of showing the room.
function isVerificationPage() {
    var marked = document.querySelector('#captcha_container, #captcha-verify-image, ' +
        '[class*="captcha"], [id*="captcha"], [class*="secsdk"], [id*="verify-bar"]');
    var words = document.body ? document.body.innerText : '';
    return !!marked || words.indexOf('安全验证') !== -1 || words.indexOf('验证') !== -1;
}

// How the page itself came: the HTTP status of its document (0 where the browser does not
// say), and whether it is empty, as a platform that turns a client away answers.
function answer() {
    var navigation = performance.getEntriesByType ? performance.getEntriesByType('navigation')[0] : null;
    var root = document.documentElement;
    return {
        httpStatus: navigation && navigation.responseStatus ? navigation.responseStatus : 0,
        emptyPage: !root || (root.textContent.trim() === '' && !document.querySelector('body *'))
    };
}

function readRoom() {
    var all = sources();
    var out = { found: false };
    for (var i = 0; i < all.length && !out.found; i++) {
        var room = findRoom(all[i].root, all[i].deref);
        if (room) out = describe(room, all[i].deref);
    }
    if (!out.found) out.verification = isVerificationPage();
    var page = answer();
    out.httpStatus = page.httpStatus;
    out.emptyPage = page.emptyPage;
    return out;
}

return JSON.stringify(readRoom());
