// Today's client on the page, for client_api_test.sh: the machine whose monitor
// follows the client shows the client's ETA and PPD, marked, its state and the
// client's commands; the machine on the unit file shows none of them. Pause,
// clicked with the token set, shows as paused once the client has paused.
// Environment: DASHBOARD (http://host:port), TOKEN, CLIENT_MACHINE_ID (its
// client says eta "1 hours 30 mins", ppd 123456, running), FILE_MACHINE_ID.
"use strict";
const puppeteer = require("puppeteer-core");

const { DASHBOARD, TOKEN, CLIENT_MACHINE_ID, FILE_MACHINE_ID } = process.env;
const row = (id) => `tr[data-machine="${id}"]`;

// The row's ETA, PPD and state as shown, and the commands whose buttons are shown.
function rowView(page, id) {
  return page.$eval(row(id), (tr) => {
    const cells = [...tr.children].map((td) => td.innerText);
    return {
      eta: cells[7], ppd: cells[9], state: cells[11],
      commands: [...tr.querySelectorAll("button")].filter((b) => !b.hidden && b.offsetParent)
        .map((b) => b.dataset.command).join(),
    };
  });
}

function expect(what, shown, expected) {
  if (JSON.stringify(shown) !== JSON.stringify(expected)) {
    throw new Error(`${what} shows ${JSON.stringify(shown)}, not ${JSON.stringify(expected)}`);
  }
}

async function main() {
  const browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run"],
  });
  try {
    const page = await browser.newPage();
    await page.goto(DASHBOARD, { waitUntil: "domcontentloaded" });
    await page.waitForSelector(row(CLIENT_MACHINE_ID), { timeout: 15000 });
    await page.waitForSelector(row(FILE_MACHINE_ID), { timeout: 15000 });
    expect("the machine on today's client", await rowView(page, CLIENT_MACHINE_ID), {
      eta: "1 h 30 min" + "client", ppd: "123,456" + "client", state: "running",
      commands: "stop,toggle,restart,pause,fold,finish",
    });
    const file = await rowView(page, FILE_MACHINE_ID);
    expect("the machine on the unit file", [file.eta.includes("client"), file.ppd.includes("client"),
      file.commands], [false, false, "stop,toggle,restart"]);
    console.log("the page shows the client's ETA and PPD, and its commands only for its machine");

    await page.type("#token", TOKEN);
    await page.click("#token-form button");
    await page.click(`${row(CLIENT_MACHINE_ID)} button[data-command="pause"]`);
    await page.waitForFunction(
      () => document.querySelector("#notice").textContent.startsWith("Pause queued"), { timeout: 5000 });
    await page.waitForFunction((sel) => document.querySelector(sel + " .state.paused"),
                               { timeout: 20000 }, row(CLIENT_MACHINE_ID));
    console.log("the page's Pause shows the machine as paused");
  } finally {
    await browser.close();
  }
}

main().then(() => console.log("browser: the client's checks passed"), (error) => {
  console.error("FAIL:", error.message);
  process.exit(1);
});
