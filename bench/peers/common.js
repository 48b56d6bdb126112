// What both peers scripts share: the browser switches, the median timer, and running one
// set of rows through Puppeteer and then Playwright on the same page.
'use strict';
const puppeteer = require('puppeteer-core');
const { chromium } = require('playwright-core');

const args = ['--headless=new', '--disable-gpu'].concat(process.getuid() === 0 ? ['--no-sandbox'] : []);

async function median(work, count) {
    const times = [];
    for (let i = 0; i < count; i++) {
        const t0 = process.hrtime.bigint();
        await work(i);
        times.push(Number(process.hrtime.bigint() - t0) / 1e6);
    }
    times.sort((a, b) => a - b);
    return times[Math.floor(times.length / 2)];
}

// rows(page) -> { row: ms } for each peer; prints { peer: { row: ms } } as one JSON line.
async function comparePeers(chromiumPath, url, puppeteerRows, playwrightRows) {
    const result = {};
    let browser = await puppeteer.launch({ executablePath: chromiumPath, pipe: true, args });
    let page = await browser.newPage();
    await page.goto(url, { waitUntil: 'load' });
    result.Puppeteer = await puppeteerRows(page);
    await browser.close();
    browser = await chromium.launch({ executablePath: chromiumPath, args });
    page = await browser.newPage();
    await page.goto(url, { waitUntil: 'load' });
    result.Playwright = await playwrightRows(page);
    await browser.close();
    process.stdout.write(JSON.stringify(result) + '\n');
}

function run(main) {
    main().catch((e) => {
        process.stderr.write('peers failed: ' + e.stack + '\n');
        process.exit(1);
    });
}

module.exports = { median, comparePeers, run };
