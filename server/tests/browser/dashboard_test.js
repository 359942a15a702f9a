// Drives the dashboard in Debian's headless Chromium: machines shown, live
// updates when a record arrives, a hostile unit name shown as text, and the
// Stop button (with the token set) stopping the real monitor of the row. A
// machine on today's client shows the client's ETA and PPD, marked, its
// pause, and the client's commands, which the others lack; its Pause is
// queued at the end.
// Environment: DASHBOARD (http[s]://host:port/), TOKEN, COMPANION_PORT, MONITOR_ID,
// CLIENT_MACHINE_ID (a machine whose record says eta=5400 ppd=123456 paused=1).
"use strict";
const net = require("net");
const puppeteer = require("puppeteer-core");

const { DASHBOARD, TOKEN, COMPANION_PORT, MONITOR_ID, CLIENT_MACHINE_ID } = process.env;
const HOSTILE = "<img src=x onerror=alert(1)>";

// One exchange as the monitor makes it: greeting, 2048-byte message, reply.
function exchange(record) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(Number(COMPANION_PORT), "127.0.0.1");
    const timer = setTimeout(() => { socket.destroy(); reject(new Error("exchange timed out")); }, 10000);
    let greeted = false;
    socket.on("data", (data) => {
      if (!greeted) {
        greeted = true;
        const message = Buffer.alloc(2048);
        message.write(record, "latin1");
        socket.write(message);
      } else {
        clearTimeout(timer);
        socket.end();
        resolve(data[0]);
      }
    });
    socket.on("error", (error) => { clearTimeout(timer); reject(error); });
  });
}

const fakeRecord = (progress) =>
  `66 1 ${progress} ${HOSTILE} 0 2400.000000 GenuineIntel GRO-SMP 100 1920 Mallory 666 0`;
const row = (id) => `tr[data-machine="${id}"]`;

// The row's cells as shown, and the commands whose buttons are shown.
function rowView(page, id) {
  return page.$eval(row(id), (tr) => ({
    cells: [...tr.children].map((td) => td.innerText),
    commands: [...tr.querySelectorAll("button")].filter((b) => !b.hidden && b.offsetParent)
      .map((b) => b.dataset.command),
  }));
}

async function main() {
  const browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run",
           // browser_test.sh serves the page over HTTPS with a self-signed certificate
           ...(DASHBOARD.startsWith("https:") ? ["--ignore-certificate-errors"] : [])],
  });
  try {
    const page = await browser.newPage();
    const dialogs = [];
    page.on("dialog", async (dialog) => { dialogs.push(dialog.message()); await dialog.dismiss(); });
    await page.goto(DASHBOARD, { waitUntil: "domcontentloaded" });
    await page.waitForSelector(row(MONITOR_ID), { timeout: 15000 });
    console.log("the page shows the monitor", MONITOR_ID);

    await exchange(fakeRecord(10));
    const fake = row("127.0.0.1-66");
    await page.waitForSelector(fake, { timeout: 3000 });
    const unitText = await page.$eval(`${fake} td.unit`, (td) => td.textContent);
    if (unitText !== HOSTILE) throw new Error("unit cell shows " + JSON.stringify(unitText));
    if ((await page.$$("#machines img, #units img")).length > 0) throw new Error("an img element was made");
    console.log("the hostile unit name is shown as text");

    const client = await rowView(page, CLIENT_MACHINE_ID);
    const expected = { eta: "1 h 30 min" + "client", ppd: "123,456" + "client", state: "paused" };
    const shown = { eta: client.cells[7], ppd: client.cells[9], state: client.cells[11] };
    if (JSON.stringify(shown) !== JSON.stringify(expected)) {
      throw new Error("the machine on today's client shows " + JSON.stringify(shown));
    }
    if (client.commands.join() !== "stop,toggle,restart,pause,fold,finish") {
      throw new Error("the machine on today's client offers " + client.commands.join());
    }
    for (const id of [MONITOR_ID, "127.0.0.1-66"]) {
      const other = await rowView(page, id);
      if (other.commands.includes("pause") || other.cells[7].includes("client")) {
        throw new Error(id + " shows the client's figures or commands: " + JSON.stringify(other));
      }
    }
    console.log("the machine on today's client shows the client's ETA, PPD, pause and commands");

    const started = Date.now();
    await exchange(fakeRecord(55));
    await page.waitForFunction((sel) => document.querySelector(sel).textContent.includes("55 %"),
                               { timeout: 2000 }, fake);
    console.log(`a new record showed after ${Date.now() - started} ms`);

    await page.click(`${row(MONITOR_ID)} button[data-command="stop"]`);
    await page.waitForFunction(() => document.querySelector("#notice").textContent.includes("token"));
    await page.type("#token", TOKEN);
    await page.click("#token-form button");
    await page.click(`${row(MONITOR_ID)} button[data-command="stop"]`);
    await page.waitForFunction((sel) => document.querySelector(sel + " .state.closed"),
                               { timeout: 20000 }, row(MONITOR_ID));
    console.log("Stop with the token closed the monitor's row");

    await page.click(`${row(CLIENT_MACHINE_ID)} button[data-command="pause"]`);
    await page.waitForFunction(
      () => document.querySelector("#notice").textContent.startsWith("Pause queued"), { timeout: 5000 });
    console.log("Pause queued for the machine on today's client");
    if (dialogs.length > 0) throw new Error("a script ran: " + dialogs.join(", "));
  } finally {
    await browser.close();
  }
}

main().then(() => console.log("browser: all checks passed"), (error) => {
  console.error("FAIL:", error.message);
  process.exit(1);
});
