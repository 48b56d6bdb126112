var TagName = "script";
var l_Dom = document.getElementsByTagName(TagName);
for (var i = 0; i < l_Dom.length; i++) {
    window.top.enumresources("script", l_Dom[i].src);
}
