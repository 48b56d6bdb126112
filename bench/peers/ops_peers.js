// The same operations as bench_ops, through Puppeteer and Playwright driving the same
// system Chromium against the same page. Prints one JSON object: peer -> row -> median ms.
// Their clicks are real mouse input at the element's centre; ours is the DOM's click().
// Pictures are their element screenshots; a canvas is its toDataURL, decoded.
// Usage: node ops_peers.js CHROMIUM URL RUNS SELECTOR_GENERATOR_JS UPLOAD_A UPLOAD_B
'use strict';
const fs = require('fs');
const { median, comparePeers, run } = require('./common');

const [chromiumPath, url, runsText, generatorPath, uploadA, uploadB] = process.argv.slice(2);
const uploads = [uploadA, uploadB];
const runs = Number(runsText) || 100;
const listRuns = Math.max(5, Math.floor(runs / 10));
const generator = fs.readFileSync(generatorPath, 'utf8');
const listLinks = generator +
    ';var g = new CssSelectorGenerator;' +
    'Array.from(document.getElementsByTagName("a")).map(function (e) {' +
    ' return [e.id, e.innerText, e.outerHTML, e.nodeName, e.className, g.getSelector(e)]; });';
const readOptions = (s) => Array.from(s.options).map((o) => [o.text, o.value]);
const canvasBytes = async (read) => Buffer.from((await read()).split(',')[1], 'base64');
const canvasUrl = (c) => c.toDataURL('image/png');

async function withPuppeteer(page) {
    return {
        'GetElementValue': await median(() => page.$eval('#t', (e) => e.value), runs),
        'SetElementValue and read back': await median(async (i) => {
            await page.$eval('#t', (e, v) => { e.value = v; }, String(i));
            await page.$eval('#t', (e) => e.value);
        }, runs),
        'ClickElement': await median(() => page.click('#b'), runs),
        'GetSelectOptions of 50': await median(() => page.$eval('#s', readOptions), runs),
        'ListLinks of 500': await median(() => page.evaluate(listLinks), listRuns),
        'GetElementImage copy of a 200x200 img': await median(
            async () => (await page.$('#pic')).screenshot(), runs),
        'GetElementImage render of a 300x200 div': await median(
            async () => (await page.$('#card')).screenshot(), listRuns),
        'GetCanvasImage of 200x200': await median(
            () => canvasBytes(() => page.$eval('#c', canvasUrl)), runs),
        'file input filled with one file': await median(
            async (i) => (await page.$('#f')).uploadFile(uploads[i % 2]), runs),
    };
}

async function withPlaywright(page) {
    return {
        'GetElementValue': await median(() => page.locator('#t').inputValue(), runs),
        'SetElementValue and read back': await median(async (i) => {
            await page.locator('#t').fill(String(i));
            await page.locator('#t').inputValue();
        }, runs),
        'ClickElement': await median(() => page.locator('#b').click(), runs),
        'GetSelectOptions of 50': await median(() => page.locator('#s').evaluate(readOptions), runs),
        'ListLinks of 500': await median(() => page.evaluate(listLinks), listRuns),
        'GetElementImage copy of a 200x200 img': await median(
            () => page.locator('#pic').screenshot(), runs),
        'GetElementImage render of a 300x200 div': await median(
            () => page.locator('#card').screenshot(), listRuns),
        'GetCanvasImage of 200x200': await median(
            () => canvasBytes(() => page.locator('#c').evaluate(canvasUrl)), runs),
        'file input filled with one file': await median(
            (i) => page.locator('#f').setInputFiles(uploads[i % 2]), runs),
    };
}

run(() => comparePeers(chromiumPath, url, withPuppeteer, withPlaywright));
