function readSelector(obj) {
    var path = obj.nodeName.toLowerCase();
    for (var node = obj.parentNode; node && node.nodeType != 9; node = node.parentNode) {
        if (node.id) {
            path = "#" + node.id + " " + path;
        } else if (typeof node.className == "string" && node.className) {
            var names = node.className.split(" ");
            var piece = "";
            for (var i = 0; i < names.length; i++) {
                piece += "." + names[i];
            }
            path = piece + " " + path;
        } else {
            path = node.nodeName.toLowerCase() + " " + path;
        }
    }
    return path;
}
