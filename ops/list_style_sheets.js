var TagName = "link";
var l_Dom = document.getElementsByTagName(TagName);
for (var i = 0; i < l_Dom.length; i++) {
    if (l_Dom[i].type == "text/css") {
        window.top.enumresources("CSS", l_Dom[i].href);
    } else if (l_Dom[i].rel == "stylesheet") {
        window.top.enumresources("CSS", l_Dom[i].href);
    }
}
