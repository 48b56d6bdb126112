// Draws an element with html2canvas and answers with the picture as a data URL, or with why
// there is none: the program then stops waiting for a picture that will not come.
function renderElement(element) {
    html2canvas(element).then(function (canvas) {
        window.top.GetAttributeBack(canvas.toDataURL());
    }).catch(function (reason) {
        window.top.GetAttributeBack('the page\'s rendering failed: ' + reason);
    });
}
