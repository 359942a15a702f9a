// The dashboard: machines over Server-Sent Events, history from the JSON API.
// Every text from a monitor goes into the page through textContent only.
"use strict";

const TOKEN_KEY = "vigilonToken";
const SVG = "http://www.w3.org/2000/svg";
const COMMAND_LABELS = { stop: "Stop", toggle: "Window/Tray", restart: "Restart client",
  pause: "Pause", fold: "Fold", finish: "Finish" };
// The monitor's commands on the first line, the client's below them.
const COMMAND_LINES = [["stop", "toggle", "restart"], ["pause", "fold", "finish"]];
const CLIENT_STATES = { RUN: "running", UPLOAD: "uploading", DOWNLOAD: "downloading" };
let machines = [];
let history = null;
let seenCounts = "";
let snapshotSeen = false; // the live stream has spoken: it is newer than any first fetch

function $(selector) { return document.querySelector(selector); }

function cell(row, text, className) {
  const td = document.createElement("td");
  td.textContent = text === null || text === undefined ? "" : String(text);
  if (className) td.className = className;
  row.appendChild(td);
  return td;
}

function fillTable(selector, items, fillRow) {
  const body = $(selector + " tbody");
  const rows = items.map((item) => {
    const tr = document.createElement("tr");
    fillRow(tr, item);
    return tr;
  });
  body.replaceChildren(...rows);
}

function duration(seconds) {
  if (seconds === null || seconds === undefined) return "\u2013";
  const s = Math.round(seconds);
  if (s < 60) return s + " s";
  if (s < 3600) return Math.floor(s / 60) + " min " + (s % 60) + " s";
  const h = Math.floor(s / 3600);
  return h + " h " + Math.floor((s % 3600) / 60) + " min";
}

function ago(iso) {
  const seconds = Math.max(0, (Date.now() - Date.parse(iso)) / 1000);
  return duration(seconds) + " ago";
}

function number(value, digits) {
  if (value === null || value === undefined) return "\u2013";
  return Number(value).toLocaleString("en-US", { maximumFractionDigits: digits || 0 });
}

function notice(text, ok) {
  const p = $("#notice");
  p.textContent = text;
  p.className = ok ? "ok" : "";
}

// A machine on today's client reports the client's own time left and points
// per day; the others get the server's estimates.
function onClient(m) { return m.source === "api"; }
function shownEta(m) { return onClient(m) ? m.client_eta_s : m.eta; }
function shownPpd(m) { return onClient(m) ? m.client_ppd : m.ppd; }

// The commands the machine's monitor obeys, as the server decides them: the
// client's own commands need a monitor on today's client that obeys
// commands (ctl); restart needs ctl, or a monitor too old to say.
function obeys(m, command) {
  if (command === "restart") return m.ctl !== false;
  if (COMMAND_LINES[1].includes(command)) return onClient(m) && m.ctl === true;
  return true;
}

// Online machines on today's client show what the client does.
function stateOf(m) {
  if (m.closed) return { name: "closed", title: "the monitor has closed" };
  if (!m.online) return { name: "offline", title: "no record for three of its intervals" };
  if (!onClient(m) || m.client_state === null) return { name: "online", title: "online" };
  const title = "online; the client's unit state: " + m.client_state + (m.paused ? ", paused" : "");
  if (m.paused) return { name: "paused", title };
  return { name: CLIENT_STATES[m.client_state] || m.client_state.toLowerCase(), title };
}

function clientTag() {
  const tag = document.createElement("span");
  tag.className = "tag";
  tag.textContent = "client";
  tag.title = "the Folding@home client's own figure";
  return tag;
}

// Machine rows are made once and then updated in place, so a button keeps
// its identity while records arrive and a click on it is never lost.
const machineRows = new Map();

function makeMachineRow(m) {
  const tr = document.createElement("tr");
  tr.dataset.machine = m.id;
  const cells = {};
  for (const [name, className] of [["address"], ["cpu", "num"], ["user"], ["team", "num"],
    ["unit", "unit"], ["core"], ["progress"], ["eta", "num"], ["points", "num"], ["ppd", "num"],
    ["lastSeen"], ["state"]]) {
    cells[name] = cell(tr, "", className);
  }
  const bar = document.createElement("span");
  bar.className = "bar";
  cells.fill = document.createElement("span");
  bar.appendChild(cells.fill);
  cells.percent = document.createTextNode("");
  cells.progress.append(bar, cells.percent);
  cells.stateName = document.createElement("span");
  cells.pending = document.createElement("span");
  cells.pending.className = "pending";
  cells.state.append(cells.stateName, cells.pending);
  for (const name of ["eta", "ppd"]) {
    cells[name + "Value"] = document.createTextNode("");
    cells[name + "Tag"] = clientTag();
    cells[name].append(cells[name + "Value"], cells[name + "Tag"]);
  }
  const actions = cell(tr, "", "actions");
  cells.buttons = [];
  cells.commandLines = COMMAND_LINES.map((commands) => {
    const line = document.createElement("div");
    for (const command of commands) {
      const button = document.createElement("button");
      button.type = "button";
      button.textContent = COMMAND_LABELS[command];
      button.dataset.command = command;
      button.addEventListener("click", () => sendCommand(m.id, command));
      line.appendChild(button);
      cells.buttons.push(button);
    }
    actions.appendChild(line);
    return line;
  });
  return { tr, cells };
}

function setText(node, text) {
  const value = text === null || text === undefined ? "" : String(text);
  if (node.textContent !== value) node.textContent = value;
}

function updateMachineRow({ cells }, m) {
  setText(cells.address, m.address);
  setText(cells.cpu, m.cpu);
  setText(cells.user, m.user);
  setText(cells.team, m.team);
  setText(cells.unit, m.unit);
  setText(cells.core, m.core);
  cells.fill.style.width = Math.max(0, Math.min(100, m.progress)) + "%";
  setText(cells.percent, " " + m.progress + " %");
  const client = onClient(m);
  const eta = shownEta(m);
  setText(cells.etaValue, eta === null ? "\u2013" : (client ? "" : "~") + duration(eta));
  setText(cells.points, number(m.points));
  setText(cells.ppdValue, number(shownPpd(m), 1));
  cells.etaTag.hidden = cells.ppdTag.hidden = !client;
  setText(cells.lastSeen, ago(m.lastSeen));
  cells.lastSeen.title = m.lastSeen;
  const state = stateOf(m);
  cells.stateName.className = "state " + state.name;
  cells.stateName.title = state.title;
  setText(cells.stateName, state.name);
  setText(cells.pending, m.pending ? COMMAND_LABELS[m.pending] + " pending" : "");
  cells.pending.hidden = !m.pending;
  for (const button of cells.buttons) {
    button.hidden = !obeys(m, button.dataset.command);
    button.disabled = m.closed;
  }
  for (const line of cells.commandLines) line.hidden = [...line.children].every((b) => b.hidden);
}

function renderMachines() {
  const body = $("#machines tbody");
  const seen = new Set();
  machines.forEach((m, index) => {
    seen.add(m.id);
    if (!machineRows.has(m.id)) machineRows.set(m.id, makeMachineRow(m));
    const row = machineRows.get(m.id);
    updateMachineRow(row, m);
    if (body.children[index] !== row.tr) body.insertBefore(row.tr, body.children[index] || null);
  });
  for (const [id, row] of machineRows) {
    if (!seen.has(id)) {
      row.tr.remove();
      machineRows.delete(id);
    }
  }
  $("#no-machines").hidden = machines.length > 0;
  $("#machine-count").textContent = machines.length ? "(" + machines.length + ")" : "";
  renderTotals();
}

function groupTotals(keyOf, periodTotals) {
  const groups = new Map();
  const group = (key) => {
    if (!groups.has(key)) groups.set(key, { name: key, machines: 0, online: 0, ppd: null, units: 0, points: 0 });
    return groups.get(key);
  };
  for (const m of machines) {
    const g = group(keyOf(m));
    g.machines += 1;
    if (m.online) g.online += 1;
    if (shownPpd(m) !== null) g.ppd = (g.ppd || 0) + shownPpd(m);
  }
  for (const t of periodTotals || []) {
    const g = group(t.name);
    g.units = t.units;
    g.points = t.points;
  }
  return [...groups.values()].sort((a, b) => b.points - a.points || String(a.name).localeCompare(String(b.name)));
}

function renderTotals() {
  const fill = (tr, g) => {
    cell(tr, g.name);
    cell(tr, g.machines, "num");
    cell(tr, g.online, "num");
    cell(tr, number(g.ppd, 1), "num");
    cell(tr, number(g.units), "num");
    cell(tr, number(g.points), "num");
  };
  fillTable("#users", groupTotals((m) => m.user, history && history.users), fill);
  fillTable("#teams", groupTotals((m) => String(m.team), history && history.teams), fill);
}

function svg(name, attributes, text) {
  const element = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) element.setAttribute(key, value);
  if (text !== undefined) element.textContent = text;
  return element;
}

function renderChart(days) {
  const width = 760, height = 200, left = 36, bottom = 34, top = 12;
  const most = Math.max(1, ...days.map((d) => d.units));
  const step = (width - left - 8) / Math.max(1, days.length);
  const chart = svg("svg", { width, height, viewBox: `0 0 ${width} ${height}`, role: "img",
                             "aria-label": "Units finished per day" });
  const scale = (value) => (height - bottom - top) * value / most;
  chart.appendChild(svg("line", { x1: left, y1: height - bottom, x2: width - 4, y2: height - bottom, stroke: "#999" }));
  chart.appendChild(svg("text", { x: 4, y: top + 8 }, String(most)));
  chart.appendChild(svg("text", { x: 4, y: height - bottom }, "0"));
  days.forEach((d, i) => {
    const x = left + i * step + step * 0.15;
    const h = scale(d.units);
    const bar = svg("rect", { class: "day", x, y: height - bottom - h, width: step * 0.7, height: h });
    bar.appendChild(svg("title", {}, `${d.day}: ${d.units} units, ${d.points} points`));
    chart.appendChild(bar);
    if (d.units > 0) chart.appendChild(svg("text", { x: x + 2, y: height - bottom - h - 3 }, String(d.units)));
    if (days.length <= 16 || i % Math.ceil(days.length / 12) === 0) {
      chart.appendChild(svg("text", { x, y: height - bottom + 16 }, d.day.slice(5)));
    }
  });
  $("#chart").replaceChildren(chart);
}

function renderHistory() {
  renderChart(history.days);
  fillTable("#units", history.units.slice(0, 15), (tr, u) => {
    cell(tr, u.end.replace("T", " ").slice(0, 19));
    cell(tr, u.machine);
    cell(tr, u.unit, "unit");
    cell(tr, u.core);
    cell(tr, number(u.points), "num");
    cell(tr, (u.timed ? "" : "\u2265 ") + duration(u.duration), "num");
  });
  fillTable("#commands", history.commands.slice(0, 15), (tr, c) => {
    cell(tr, c.time.replace("T", " ").slice(0, 19));
    cell(tr, c.machine);
    cell(tr, COMMAND_LABELS[c.command] || c.command);
  });
  renderTotals();
}

async function loadHistory() {
  const response = await fetch("/api/history?days=" + encodeURIComponent($("#days").value));
  if (response.ok) {
    history = await response.json();
    renderHistory();
  }
}

async function sendCommand(id, command) {
  const token = localStorage.getItem(TOKEN_KEY) || "";
  if (!token) {
    notice("Enter the command token first (vigilon_server prints it at start).");
    $("#token").focus();
    return;
  }
  const response = await fetch("/api/machines/" + encodeURIComponent(id) + "/command", {
    method: "POST",
    headers: { "Content-Type": "application/json", "Authorization": "Bearer " + token },
    body: JSON.stringify({ command }),
  });
  if (response.status === 202) {
    notice(COMMAND_LABELS[command] + " queued for " + id + "; it goes out with the machine's next record.", true);
  } else if (response.status === 401) {
    notice("The server refused the token.");
  } else {
    const body = await response.json().catch(() => ({}));
    notice("Not queued: " + (body.error || response.status));
  }
}

function onSnapshot(event) {
  const data = JSON.parse(event.data);
  snapshotSeen = true;
  machines = data.machines;
  renderMachines();
  const counts = data.unitsFinished + "/" + data.commandsSent;
  if (counts !== seenCounts) {
    seenCounts = counts;
    loadHistory();
  }
}

function connect() {
  const source = new EventSource("/events");
  const state = $("#link-state");
  source.addEventListener("open", () => { state.textContent = "live"; state.className = "link live"; });
  source.addEventListener("error", () => { state.textContent = "reconnecting\u2026"; state.className = "link"; });
  source.addEventListener("machines", onSnapshot);
}

function start() {
  $("#token").value = localStorage.getItem(TOKEN_KEY) || "";
  $("#token-form").addEventListener("submit", (event) => {
    event.preventDefault();
    localStorage.setItem(TOKEN_KEY, $("#token").value.trim());
    notice("Token saved in this browser.", true);
  });
  $("#days").addEventListener("change", loadHistory);
  fetch("/api/machines").then((r) => r.json()).then((list) => {
    if (snapshotSeen) return; // a late answer must not undo a newer snapshot
    machines = list;
    renderMachines();
  });
  loadHistory();
  connect();
}

start();
