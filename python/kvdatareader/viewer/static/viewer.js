// The viewer page: the channel list and its filter, one uPlot per picked channel
// on a shared time axis, and the view (t0, t1) they all show. Any change of the
// view redraws at once with the data at hand and asks the server for the
// channel's drawing of the new view (api/data), abandoning requests a newer view
// made stale. Regions are shaded, events drawn as labelled lines, and the
// readout shows the time and each channel's value under the cursor.
"use strict";

const COLORS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf", "#8c564b", "#e377c2"];
const PLOT_HEIGHT = 200;
const FETCH_DELAY_MS = 40;
const MIN_SPAN_S = 1e-6;

const state = {
  info: null,
  whole: { t0: 0, t1: 1 },
  view: { t0: 0, t1: 1 },
  plots: new Map(),  // channel index -> plot
  colorNext: 0,
  fetchTimer: 0,
};

const $ = (id) => document.getElementById(id);

function showMessage(text) {
  $("message").textContent = text || "";
}

async function getJSON(url, signal) {
  const answer = await fetch(url, { signal, cache: "no-store" });
  const body = await answer.json();
  if (!answer.ok) throw new Error(body.error || `${answer.status}`);
  return body;
}

// ----- channel list ---------------------------------------------------------

function channelLabel(channel) {
  return channel.unit ? `${channel.name} [${channel.unit}]` : channel.name;
}

function buildChannelList() {
  const list = $("channels");
  for (const channel of state.info.channels) {
    const item = document.createElement("li");
    item.dataset.search = `${channel.name} ${channel.unit} ${channel.kind}`.toLowerCase();
    const label = document.createElement("label");
    const box = document.createElement("input");
    box.type = "checkbox";
    box.dataset.channel = channel.index;
    box.addEventListener("change", () => (box.checked ? addPlot(channel) : removePlot(channel.index)));
    const rate = channel.kind === "sync" ? `${channel.rate} Hz` : "async";
    const meta = document.createElement("span");
    meta.className = "meta";
    meta.textContent = ` ${channel.kind} · ${rate} · ${channel.samples} samples`;
    label.append(box, ` ${channelLabel(channel)}`, meta);
    item.append(label);
    list.append(item);
  }
  $("filter").addEventListener("input", () => {
    const words = $("filter").value.toLowerCase().split(/\s+/).filter(Boolean);
    for (const item of list.children) {
      item.classList.toggle("hidden", !words.every((word) => item.dataset.search.includes(word)));
    }
  });
}

// ----- plots ----------------------------------------------------------------

function plotWidth() {
  return Math.max(200, $("plots").clientWidth - 2);
}

function drawRegions(u) {
  const { ctx, bbox } = u;
  ctx.save();
  ctx.fillStyle = "rgba(60, 130, 220, 0.08)";
  for (const [start, stop] of state.info.regions) {
    const x0 = Math.max(u.valToPos(start, "x", true), bbox.left);
    const x1 = Math.min(u.valToPos(stop, "x", true), bbox.left + bbox.width);
    if (x1 > x0) ctx.fillRect(x0, bbox.top, x1 - x0, bbox.height);
  }
  ctx.restore();
}

function drawEvents(u) {
  const { ctx, bbox } = u;
  const ratio = window.devicePixelRatio || 1;
  ctx.save();
  ctx.strokeStyle = "#b36b00";
  ctx.fillStyle = "#b36b00";
  ctx.setLineDash([4 * ratio, 3 * ratio]);
  ctx.font = `${11 * ratio}px system-ui, sans-serif`;
  ctx.textBaseline = "top";
  for (const event of state.info.events) {
    if (event.type === 1 || event.type === 2) continue;  // region starts and stops: the shading shows them
    const x = u.valToPos(event.time, "x", true);
    if (x < bbox.left || x > bbox.left + bbox.width) continue;
    ctx.beginPath();
    ctx.moveTo(x, bbox.top);
    ctx.lineTo(x, bbox.top + bbox.height);
    ctx.stroke();
    ctx.fillText(event.text || event.name, x + 3 * ratio, bbox.top + 2 * ratio);
  }
  ctx.restore();
}

function addPlot(channel) {
  $("empty").hidden = true;
  const color = COLORS[state.colorNext++ % COLORS.length];
  const box = document.createElement("div");
  box.className = "plot";
  box.dataset.channel = channel.index;
  const title = document.createElement("div");
  title.className = "plot-title";
  title.textContent = channelLabel(channel);
  const source = document.createElement("span");
  source.className = "source";
  title.append(source);
  box.append(title);
  $("plots").append(box);

  const asPoints = channel.kind === "async";
  const line = { stroke: color, width: 1, spanGaps: false };
  if (asPoints) Object.assign(line, { paths: () => null, points: { show: true, size: 4, fill: color } });
  const options = {
    width: plotWidth(),
    height: PLOT_HEIGHT,
    legend: { show: false },
    scales: { x: { time: false, auto: false } },
    series: [{ label: "Time" }, { label: "max", ...line }, { label: "min", ...line }],
    bands: asPoints ? [] : [{ series: [1, 2], fill: color + "40" }],
    axes: [
      { label: "Time [s]", size: 40 },
      { label: channelLabel(channel), size: 70 },
    ],
    cursor: {
      sync: { key: "recording" },
      drag: { x: true, y: false, setScale: false },
      points: { show: false },
    },
    hooks: {
      drawClear: [drawRegions],
      draw: [drawEvents],
      setSelect: [zoomToSelection],
      setCursor: [updateReadout],
    },
  };
  const u = new uPlot(options, [[], [], []], box);
  u.setScale("x", { min: state.view.t0, max: state.view.t1 });
  const plot = { channel, u, box, source, controller: null, answer: null };
  state.plots.set(channel.index, plot);
  attachMouse(plot);
  fetchPlot(plot);
}

function removePlot(index) {
  const plot = state.plots.get(index);
  if (!plot) return;
  if (plot.controller) plot.controller.abort();
  plot.u.destroy();
  plot.box.remove();
  state.plots.delete(index);
  $("empty").hidden = state.plots.size > 0;
}

async function fetchPlot(plot) {
  if (plot.controller) plot.controller.abort();
  const controller = new AbortController();
  plot.controller = controller;
  const { t0, t1 } = state.view;
  const width = Math.round(plot.u.bbox.width / (window.devicePixelRatio || 1)) || plotWidth();
  const url = `api/data?channel=${plot.channel.index}&t0=${t0}&t1=${t1}&width=${width}`;
  try {
    const answer = await getJSON(url, controller.signal);
    if (controller !== plot.controller) return;
    plot.answer = answer;
    plot.u.setData([answer.t, answer.max, answer.min]);
    plot.u.setScale("x", { min: state.view.t0, max: state.view.t1 });
    plot.source.textContent = answer.mode === "samples" ? `samples (${answer.read})`
      : answer.level === null ? `extremes of ${answer.read} samples`
        : `envelope from level ${answer.level} (${answer.samples_per_value} samples per value)`;
    plot.box.dataset.drawn = String(answer.t.length);
    plot.box.dataset.mode = answer.mode;
    showMessage("");
  } catch (error) {
    if (error.name !== "AbortError") showMessage(`${plot.channel.name}: ${error.message}`);
  }
}

// ----- the view -------------------------------------------------------------

function setView(t0, t1) {
  let span = Math.max(t1 - t0, MIN_SPAN_S);
  const middle = (t0 + t1) / 2;
  state.view = { t0: middle - span / 2, t1: middle + span / 2 };
  for (const plot of state.plots.values()) plot.u.setScale("x", { min: state.view.t0, max: state.view.t1 });
  clearTimeout(state.fetchTimer);
  state.fetchTimer = setTimeout(() => {
    for (const plot of state.plots.values()) fetchPlot(plot);
  }, FETCH_DELAY_MS);
}

function zoomToSelection(u) {
  const { left, width } = u.select;
  if (width > 3) setView(u.posToVal(left, "x"), u.posToVal(left + width, "x"));
  u.setSelect({ left: 0, width: 0, top: 0, height: 0 }, false);
}

// Drag pans, Shift+drag is left to uPlot's selection (zoom to a span), the wheel
// zooms around the cursor, a double-click shows the whole recording.
function attachMouse(plot) {
  const over = plot.u.over;
  over.addEventListener("mousedown", (event) => {
    if (event.shiftKey || event.button !== 0) return;
    event.stopImmediatePropagation();
    event.preventDefault();
    const startX = event.clientX;
    const start = { ...state.view };
    const perPixel = (start.t1 - start.t0) / over.clientWidth;
    const move = (moved) => {
      const shift = (moved.clientX - startX) * perPixel;
      setView(start.t0 - shift, start.t1 - shift);
    };
    const up = () => {
      window.removeEventListener("mousemove", move);
      window.removeEventListener("mouseup", up);
    };
    window.addEventListener("mousemove", move);
    window.addEventListener("mouseup", up);
  }, true);
  over.addEventListener("wheel", (event) => {
    event.preventDefault();
    const factor = event.deltaY < 0 ? 0.8 : 1.25;
    const at = plot.u.posToVal(event.offsetX, "x");
    const { t0, t1 } = state.view;
    setView(at - (at - t0) * factor, at + (t1 - at) * factor);
  }, { passive: false });
  over.addEventListener("dblclick", (event) => {
    event.stopImmediatePropagation();
    setView(state.whole.t0, state.whole.t1);
  }, true);
}

// The keys: arrows pan by a quarter of the view, + and - zoom around its middle,
// Home shows the whole recording; typing in the filter box is left alone.
const KEY_ACTIONS = {
  ArrowLeft: (t0, t1) => [t0 - (t1 - t0) / 4, t1 - (t1 - t0) / 4],
  ArrowRight: (t0, t1) => [t0 + (t1 - t0) / 4, t1 + (t1 - t0) / 4],
  "+": (t0, t1) => [t0 + (t1 - t0) / 4, t1 - (t1 - t0) / 4],
  "=": (t0, t1) => [t0 + (t1 - t0) / 4, t1 - (t1 - t0) / 4],
  "-": (t0, t1) => [t0 - (t1 - t0) / 2, t1 + (t1 - t0) / 2],
  Home: () => [state.whole.t0, state.whole.t1],
};

function attachKeys() {
  window.addEventListener("keydown", (event) => {
    const action = KEY_ACTIONS[event.key];
    if (!action || event.ctrlKey || event.metaKey || event.altKey) return;
    if (event.target.closest && event.target.closest("input:not([type=checkbox]), textarea")) return;
    event.preventDefault();
    setView(...action(state.view.t0, state.view.t1));
  });
}

// ----- readout --------------------------------------------------------------

function formatTime(t) {
  return `${Number(t.toPrecision(10))} s`;
}

function updateReadout(u) {
  const readout = $("readout");
  const left = u.cursor.left;
  if (left == null || left < 0) return;
  const time = u.posToVal(left, "x");
  const parts = [];
  const head = document.createElement("span");
  head.className = "readout-time";
  head.textContent = `t = ${formatTime(time)}`;
  parts.push(head);
  for (const plot of state.plots.values()) {
    const answer = plot.answer;
    const i = plot.u.cursor.idx;
    if (!answer || i == null || answer.min[i] == null) continue;
    const span = document.createElement("span");
    span.className = "readout-value";
    span.dataset.channel = plot.channel.index;
    span.dataset.time = answer.t[i];
    span.dataset.mode = answer.mode;
    const unit = plot.channel.unit ? ` ${plot.channel.unit}` : "";
    const value = answer.min[i] === answer.max[i] ? String(answer.min[i]) : `${answer.min[i]} … ${answer.max[i]}`;
    span.textContent = `${plot.channel.name}: ${value}${unit} at ${formatTime(answer.t[i])}`;
    parts.push(span);
  }
  readout.replaceChildren(...parts);
}

// ----- start ----------------------------------------------------------------

async function start() {
  if (typeof uPlot === "undefined") {
    showMessage("The plotting library (uPlot) was not found by the server: run `npm ci` (see the viewer's assets.py).");
    return;
  }
  try {
    state.info = await getJSON("api/recording");
  } catch (error) {
    showMessage(`The recording cannot be read: ${error.message}`);
    return;
  }
  const info = state.info;
  document.title = `${info.file} – Recording viewer`;
  $("title").textContent = info.file;
  $("summary").textContent = `${info.duration} s at ${info.sample_rate} Hz` + (info.start ? `, from ${info.start}` : "")
    + ` · ${info.regions.length} regions · ${info.channels.length} channels`;
  const ends = [info.duration, ...info.regions.map((region) => region[1]), ...info.events.map((event) => event.time)];
  const starts = [0, ...info.regions.map((region) => region[0])];
  state.whole = { t0: Math.min(...starts), t1: Math.max(...ends) };
  if (!(state.whole.t1 > state.whole.t0)) state.whole.t1 = state.whole.t0 + 1;
  state.view = { ...state.whole };
  buildChannelList();
  attachKeys();
  $("whole").addEventListener("click", () => setView(state.whole.t0, state.whole.t1));
  window.addEventListener("resize", () => {
    for (const plot of state.plots.values()) plot.u.setSize({ width: plotWidth(), height: PLOT_HEIGHT });
    setView(state.view.t0, state.view.t1);
  });
}

start();
