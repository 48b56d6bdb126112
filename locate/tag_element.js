function TagElement(Object) {
    var Kept = Object.style.cssText;
    var Width = 2;
    setTimeout(function () { Object.style.cssText = ";border:" + Width + "px solid #ff0000"; }, 150);
    setTimeout(function () { Object.style.cssText = ";border:" + Width + "px solid #ff00ff"; }, 300);
    setTimeout(function () { Object.style.cssText = ";border:" + Width + "px solid #0000ff"; }, 450);
    setTimeout(function () { Object.style.cssText = Kept; }, 600);
}
