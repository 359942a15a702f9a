// Opens the dashboard in Debian's headless Chromium, waits for its data and
// saves a picture of the page. Usage: node screenshot.js <url> <output.png>
"use strict";
const puppeteer = require("puppeteer-core");

(async () => {
  const [url, output] = process.argv.slice(2);
  const browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium", headless: true, args: ["--no-sandbox", "--disable-gpu"],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1500, height: 1100 });
    await page.goto(url, { waitUntil: "domcontentloaded" });
    await page.waitForSelector("#chart svg", { timeout: 10000 });
    await page.waitForFunction(() => document.querySelector("#link-state").textContent === "live");
    await page.screenshot({ path: output, fullPage: true });
  } finally {
    await browser.close();
  }
})().catch((error) => { console.error(error.message); process.exit(1); });
