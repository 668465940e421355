// The live page: the four channels from /api/live, and the last hour of them
// drawn on a canvas from /api/history, then kept up from the same polls.
// Nothing here is fetched from anywhere but this server.
'use strict';

const CHANNELS = ['T1', 'T2', 'T3', 'T4'];
const COLORS = ['#38bdf8', '#4ade80', '#fbbf24', '#c084fc'];
const UNITS = { celsius: '°C', fahrenheit: '°F' };
const UNIT_WORDS = { celsius: 'degrees Celsius', fahrenheit: 'degrees Fahrenheit' };
const STATES = { ok: '', over: 'Over range', under: 'Under range', no_probe: 'No probe' };
const HOUR_MS = 3600 * 1000;
// The server has a new sample about once a second; asking four times a
// second shows it within a quarter of a second of its arrival there.
const POLL_MS = 250;
// Points further apart than this are not joined: the link was down between them.
const GAP_MS = 10 * 1000;

const $ = (id) => document.getElementById(id);
let points = []; // [ms since the epoch, T1, T2, T3, T4], oldest first
let unit = null;
let alarmed = new Set();

async function getJson(url) {
  const response = await fetch(url, { cache: 'no-store' });
  if (!response.ok) throw new Error(url + ': ' + response.status);
  return response.json();
}

function showLink(state, text) {
  const link = $('link');
  link.dataset.state = state;
  link.textContent = text;
}

function showLive(live) {
  $('port').textContent = live.port;
  showLink(live.link ? 'up' : 'down', live.link ? 'Link up' : 'No link to the meter');
  $('rec').hidden = !live.recording;
  $('records').textContent = String(live.records);
  const time = $('time');
  if (live.time) {
    time.dateTime = live.time;
    time.textContent = new Date(Date.parse(live.time)).toLocaleTimeString([], { hour12: false });
  }
  const nowAlarmed = new Set();
  for (const reading of live.channels) {
    const name = reading.channel;
    const value = $('value-' + name);
    if (!value) continue;
    value.textContent = reading.text;
    value.dataset.state = reading.state;
    value.dataset.value = reading.value === null ? '' : String(reading.value);
    $('unit-' + name).textContent = reading.state === 'ok' ? UNITS[reading.unit] || '' : '';
    $('type-' + name).textContent = reading.type;
    $('state-' + name).textContent = reading.state in STATES ? STATES[reading.state] : reading.state;
    $('alarm-' + name).hidden = !reading.alarm;
    const tile = $('tile-' + name);
    tile.classList.toggle('alarmed', reading.alarm);
    tile.classList.toggle('stale', !live.link);
    const said = reading.state === 'ok'
      ? reading.text + ' ' + (UNIT_WORDS[reading.unit] || '')
      : STATES[reading.state];
    tile.setAttribute('aria-label', name + (reading.type ? ', type ' + reading.type : '') + ': ' +
      said + (reading.alarm ? ', alarm' : '') + (live.link ? '' : ', link down'));
    if (reading.alarm) nowAlarmed.add(name);
  }
  const started = [...nowAlarmed].filter((name) => !alarmed.has(name));
  if (started.length) $('alarms').textContent = 'Alarm on ' + started.join(', ');
  alarmed = nowAlarmed;
}

function addPoint(live) {
  if (!live.link || !live.time || live.channels.length !== 4) return;
  if (live.unit !== unit) {
    points = [];
    unit = live.unit;
  }
  const at = Date.parse(live.time);
  if (points.length && points[points.length - 1][0] >= at) return;
  points.push([at, ...live.channels.map((c) => c.value)]);
  while (points.length && points[0][0] < at - HOUR_MS) points.shift();
}

// 1, 2 or 5 times a power of ten: the step between labelled values.
function niceStep(span, count) {
  const raw = span / count;
  const power = Math.pow(10, Math.floor(Math.log10(raw)));
  const unitStep = raw / power;
  return (unitStep <= 1 ? 1 : unitStep <= 2 ? 2 : unitStep <= 5 ? 5 : 10) * power;
}

function decimalsOf(step) {
  return step >= 1 ? 0 : Math.min(3, Math.ceil(-Math.log10(step)));
}

function clockText(ms) {
  const d = new Date(ms);
  return String(d.getHours()).padStart(2, '0') + ':' + String(d.getMinutes()).padStart(2, '0');
}

function describeChart(lo, hi) {
  if (!points.length) return 'Chart of the last hour: no readings yet';
  const parts = CHANNELS.map((name, k) => {
    const values = points.map((p) => p[k + 1]).filter((v) => v !== null);
    if (!values.length) return name + ' no readings';
    return name + ' from ' + Math.min(...values) + ' to ' + Math.max(...values);
  });
  return 'Chart of the last hour, ' + (UNIT_WORDS[unit] || '') + ', scale ' + lo + ' to ' + hi +
    ': ' + parts.join('; ');
}

function draw() {
  const canvas = $('chart');
  const ratio = window.devicePixelRatio || 1;
  const width = canvas.clientWidth;
  const height = canvas.clientHeight;
  canvas.width = Math.round(width * ratio);
  canvas.height = Math.round(height * ratio);
  const g = canvas.getContext('2d');
  g.setTransform(ratio, 0, 0, ratio, 0, 0);
  g.clearRect(0, 0, width, height);
  g.font = '12px system-ui, "DejaVu Sans", sans-serif';
  const left = 46, right = 10, top = 8, bottom = 24;
  const plotW = Math.max(10, width - left - right);
  const plotH = Math.max(10, height - top - bottom);
  const end = points.length ? points[points.length - 1][0] : Date.now();
  const start = end - HOUR_MS;

  let lo = Infinity, hi = -Infinity;
  for (const p of points)
    for (let k = 1; k <= 4; ++k)
      if (p[k] !== null) { lo = Math.min(lo, p[k]); hi = Math.max(hi, p[k]); }
  if (lo === Infinity) { lo = 0; hi = 100; }
  if (hi - lo < 2) { lo -= 1; hi += 1; }
  const step = niceStep(hi - lo, height < 300 ? 4 : 6);
  lo = Math.floor(lo / step) * step;
  hi = Math.ceil(hi / step) * step;
  const x = (ms) => left + ((ms - start) / HOUR_MS) * plotW;
  const y = (v) => top + (1 - (v - lo) / (hi - lo)) * plotH;

  g.strokeStyle = '#30363d';
  g.fillStyle = '#9aa4ad';
  g.lineWidth = 1;
  g.textAlign = 'right';
  g.textBaseline = 'middle';
  const decimals = decimalsOf(step);
  for (let v = lo; v <= hi + step / 2; v += step) {
    const py = Math.round(y(v)) + 0.5;
    g.beginPath(); g.moveTo(left, py); g.lineTo(left + plotW, py); g.stroke();
    g.fillText(v.toFixed(decimals), left - 6, py);
  }
  g.textAlign = 'center';
  g.textBaseline = 'top';
  const tickMs = (plotW < 420 ? 20 : 10) * 60 * 1000;
  for (let t = Math.ceil(start / tickMs) * tickMs; t <= end; t += tickMs) {
    const px = Math.round(x(t)) + 0.5;
    g.beginPath(); g.moveTo(px, top); g.lineTo(px, top + plotH); g.stroke();
    g.fillText(clockText(t), px, top + plotH + 6);
  }
  g.strokeStyle = '#4b535c';
  g.strokeRect(left + 0.5, top + 0.5, plotW, plotH);

  g.lineWidth = 1.75;
  g.lineJoin = 'round';
  CHANNELS.forEach((_, k) => {
    g.strokeStyle = COLORS[k];
    g.beginPath();
    let previous = null;
    for (const p of points) {
      const v = p[k + 1];
      if (v === null || p[0] < start) { previous = null; continue; }
      if (previous === null || p[0] - previous > GAP_MS) g.moveTo(x(p[0]), y(v));
      else g.lineTo(x(p[0]), y(v));
      previous = p[0];
    }
    g.stroke();
  });
  if (!points.length) {
    g.fillStyle = '#9aa4ad';
    g.textAlign = 'center';
    g.textBaseline = 'middle';
    g.fillText('Waiting for readings…', left + plotW / 2, top + plotH / 2);
  }
  canvas.setAttribute('aria-label', describeChart(lo, hi));
  $('chart-unit').textContent = unit ? '(' + UNITS[unit] + ')' : '';
}

async function poll() {
  const began = Date.now();
  try {
    const live = await getJson('/api/live');
    showLive(live);
    addPoint(live);
  } catch (e) {
    showLink('unreachable', 'QuadTherm does not answer');
    for (const name of CHANNELS) $('tile-' + name).classList.add('stale');
  }
  draw();
  setTimeout(poll, Math.max(0, POLL_MS - (Date.now() - began)));
}

async function start() {
  try {
    const history = await getJson('/api/history');
    unit = history.unit;
    points = history.points;
  } catch (e) {
    points = [];
  }
  window.addEventListener('resize', draw);
  poll();
}

start();
