var All_Object = [];
function ParsingElenment(Object, p_code) {
    var Children = Object.childNodes;
    for (var i = 0; i < Children.length; i++) {
        var Child = Children[i];
        if (Child.nodeName != "#text" && Child.nodeName != "#comment") {
            All_Object.push(Child);
        }
        ParsingElenment(Child, p_code);
    }
}
for (var l_Top = 0; l_Top < document.childNodes.length; l_Top++) {
    ParsingElenment(document.childNodes[l_Top], 0);
}
function findElementAll(type, Tagtype, TagCount) {
    var Found = 0;
    for (var i = 0; i < All_Object.length; i++) {
        var Node = All_Object[i];
        if (Node.getAttribute && Node.getAttribute(type) == Tagtype) {
            if (Found == TagCount) {
                return Node;
            }
            Found++;
        }
    }
    return Object.create(null);
}
