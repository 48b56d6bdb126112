// The same operations as bench_locate, through Puppeteer and Playwright driving the same
// system Chromium against the same page. Prints one JSON object: peer -> row -> median ms.
// Usage: node peers.js CHROMIUM URL RUNS SELECTOR_GENERATOR_JS
'use strict';
const fs = require('fs');
const puppeteer = require('puppeteer-core');
const { chromium } = require('playwright-core');

const [chromiumPath, url, runsText, generatorPath] = process.argv.slice(2);
const runs = Number(runsText) || 100;
const generator = fs.readFileSync(generatorPath, 'utf8');
const listScript = generator +
    ';var g = new CssSelectorGenerator;' +
    'Array.from(document.getElementsByTagName("li")).map(function (e) {' +
    ' return [e.id, e.innerText, e.outerHTML, e.nodeName, e.className, g.getSelector(e)]; });';
const args = ['--headless=new', '--disable-gpu'].concat(process.getuid() === 0 ? ['--no-sandbox'] : []);

async function median(work, count) {
    const times = [];
    for (let i = 0; i < count; i++) {
        const t0 = process.hrtime.bigint();
        await work();
        times.push(Number(process.hrtime.bigint() - t0) / 1e6);
    }
    times.sort((a, b) => a - b);
    return times[Math.floor(times.length / 2)];
}

async function withPuppeteer() {
    const browser = await puppeteer.launch({ executablePath: chromiumPath, pipe: true, args });
    const page = await browser.newPage();
    await page.goto(url, { waitUntil: 'load' });
    const frame = page.frames()[1];
    const rows = {
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
    await browser.close();
    return rows;
}

async function withPlaywright() {
    const browser = await chromium.launch({ executablePath: chromiumPath, args });
    const page = await browser.newPage();
    await page.goto(url, { waitUntil: 'load' });
    const frame = page.frameLocator('iframe');
    const rows = {
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
    await browser.close();
    return rows;
}

(async () => {
    const result = { Puppeteer: await withPuppeteer(), Playwright: await withPlaywright() };
    process.stdout.write(JSON.stringify(result) + '\n');
})().catch((e) => {
    process.stderr.write('peers failed: ' + e.stack + '\n');
    process.exit(1);
});
