// The same operations as bench_locate, through Puppeteer and Playwright driving the same
// system Chromium against the same page. Prints one JSON object: peer -> row -> median ms.
// Usage: node peers.js CHROMIUM URL RUNS SELECTOR_GENERATOR_JS
'use strict';
const fs = require('fs');
const { median, comparePeers, run } = require('./common');

const [chromiumPath, url, runsText, generatorPath] = process.argv.slice(2);
const runs = Number(runsText) || 100;
const generator = fs.readFileSync(generatorPath, 'utf8');
const listScript = generator +
    ';var g = new CssSelectorGenerator;' +
    'Array.from(document.getElementsByTagName("li")).map(function (e) {' +
    ' return [e.id, e.innerText, e.outerHTML, e.nodeName, e.className, g.getSelector(e)]; });';

async function withPuppeteer(page) {
    const frame = page.frames()[1];
    return {
        'script round trip': await median(() => page.evaluate(() => 1), runs),
        'read one attribute by CSS': await median(
            () => page.$eval('#target', (e) => e.getAttribute('data-v')), runs),
        'attribute inside an iframe': await median(
            () => frame.$eval('#inner', (e) => e.getAttribute('data-v')), runs),
        'XPath lookup': await median(async () => {
            const found = await page.$$('xpath/' + "//ul[@id='list']/li[500]");
            await found[0].evaluate((e) => e.textContent);
            await Promise.all(found.map((h) => h.dispose()));
        }, runs),
        'list 1,000 elements with a unique selector each': await median(
            () => page.evaluate(listScript), Math.max(5, runs / 10)),
    };
}

async function withPlaywright(page) {
    const frame = page.frameLocator('iframe');
    return {
        'script round trip': await median(() => page.evaluate(() => 1), runs),
        'read one attribute by CSS': await median(
            () => page.locator('#target').getAttribute('data-v'), runs),
        'attribute inside an iframe': await median(
            () => frame.locator('#inner').getAttribute('data-v'), runs),
        'XPath lookup': await median(
            () => page.locator("xpath=//ul[@id='list']/li[500]").textContent(), runs),
        'list 1,000 elements with a unique selector each': await median(
            () => page.evaluate(listScript), Math.max(5, runs / 10)),
    };
}

run(() => comparePeers(chromiumPath, url, withPuppeteer, withPlaywright));
