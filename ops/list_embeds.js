var TagName = "embed";
var l_Dom = document.getElementsByTagName(TagName);
for (var i = 0; i < l_Dom.length; i++) {
    window.top.enumresources("embed", l_Dom[i].src);
}
TagName = "bgsound";
l_Dom = document.getElementsByTagName(TagName);
for (i = 0; i < l_Dom.length; i++) {
    window.top.enumresources("embed", l_Dom[i].src);
}
