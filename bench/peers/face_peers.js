// The modern face's five operations of bench_automation, through Puppeteer and Playwright
// driving the same system Chromium against the same page. Prints one JSON object:
// peer -> row -> median ms. Each peer does them its usual way: Playwright by its locators;
// Puppeteer by its page calls where it has one (its click is real mouse input, its fill the
// locator's, as it has no other).
// Usage: node face_peers.js CHROMIUM URL RUNS
'use strict';
const { median, comparePeers, run } = require('./common');

const [chromiumPath, url, runsText] = process.argv.slice(2);
const runs = Number(runsText) || 100;
const shotRuns = Math.max(5, Math.floor(runs / 10));

async function withPuppeteer(page) {
    return {
        'Evaluate round trip': await median(() => page.evaluate('1'), runs),
        'locator read (text)': await median(() => page.$eval('#p', (e) => e.innerText), runs),
        'Click': await median(() => page.click('#b'), runs),
        'Fill': await median((i) => page.locator('#t').fill('text ' + i), runs),
        'element screenshot': await median(async () => {
            const card = await page.$('#card');
            await card.screenshot();
            await card.dispose();
        }, shotRuns),
    };
}

async function withPlaywright(page) {
    return {
        'Evaluate round trip': await median(() => page.evaluate('1'), runs),
        'locator read (text)': await median(() => page.locator('#p').innerText(), runs),
        'Click': await median(() => page.locator('#b').click(), runs),
        'Fill': await median((i) => page.locator('#t').fill('text ' + i), runs),
        'element screenshot': await median(() => page.locator('#card').screenshot(), shotRuns),
    };
}

run(() => comparePeers(chromiumPath, url, withPuppeteer, withPlaywright));
