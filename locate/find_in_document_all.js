function findElementAll(type, Tagtype, TagCount) {
    var Found = 0;
    for (var i = 0; i < document.all.length; i++) {
        if (document.all[i].getAttribute(type) == Tagtype) {
            if (Found == TagCount) {
                return document.all[i];
            }
            Found++;
        }
    }
    return Object.create(null);
}
