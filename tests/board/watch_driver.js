// Drives Debian's headless chromium through its DevTools pipe to look at a watch page: no
// network port of its own, every request the page makes recorded.
//   node watch_driver.js pictures PAGE DIR FRAME...  canvas pictures at frames, as DIR/frame-N.ppm
//   node watch_driver.js ending PAGE                  plays the last seconds at 4x, prints the score
//   node watch_driver.js bench PAGE                   plays the whole round at 1x, prints frame times
//   node watch_driver.js screenshot PAGE FILE         a PNG of the page at 1280x800
// Every mode fails when the page asked for anything outside PAGE's origin. CHROMIUM names
// the browser (default chromium).
'use strict';
const {spawn} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [mode, page, ...rest] = process.argv.slice(2);
const origin = new URL(page).origin;
const profile = fs.mkdtempSync(path.join(process.env.TMPDIR || os.tmpdir(), 'watch-chromium-'));
const browser = spawn(process.env.CHROMIUM || 'chromium', [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
  '--disable-sync', '--no-first-run', '--mute-audio', '--remote-debugging-pipe', '--user-data-dir=' + profile,
  '--window-size=1280,800', 'about:blank',
], {stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe']});

let next_id = 1;
const waiting = new Map();
const requests = [];
let session = null;
let buffered = Buffer.alloc(0);

function fail(why) {
  console.error('watch_driver: ' + why);
  finish(1);
}

let finishing = false;
// Closes the browser (killed if it takes over 5 s), then removes its profile.
function finish(status) {
  if (finishing) return;
  finishing = true;
  const done = () => {
    fs.rmSync(profile, {recursive: true, force: true, maxRetries: 10});
    process.exit(status);
  };
  if (browser.exitCode !== null || browser.signalCode !== null) return done();
  browser.once('exit', done);
  setTimeout(() => browser.kill('SIGKILL'), 5000).unref();
  browser.stdio[3].write(JSON.stringify({id: next_id++, method: 'Browser.close'}) + '\0');
}

browser.on('exit', (code) => { if (!finishing) fail('chromium ended (' + code + ')'); });
browser.stdio[4].on('data', (chunk) => {
  buffered = Buffer.concat([buffered, chunk]);
  for (let end; (end = buffered.indexOf(0)) >= 0;) {
    const message = JSON.parse(buffered.subarray(0, end).toString());
    buffered = buffered.subarray(end + 1);
    if (message.id && waiting.has(message.id)) {
      const {resolve, reject} = waiting.get(message.id);
      waiting.delete(message.id);
      if (message.error) reject(new Error(JSON.stringify(message.error)));
      else resolve(message.result);
    } else if (message.method === 'Network.requestWillBeSent') {
      requests.push(message.params.request.url);
    }
  }
});

function send(method, params = {}, in_session = true) {
  const id = next_id++;
  const message = {id, method, params};
  if (in_session && session) message.sessionId = session;
  browser.stdio[3].write(JSON.stringify(message) + '\0');
  return new Promise((resolve, reject) => waiting.set(id, {resolve, reject}));
}

async function evaluate(expression) {
  const r = await send('Runtime.evaluate', {expression, awaitPromise: true, returnByValue: true});
  if (r.exceptionDetails) throw new Error('the page threw: ' + JSON.stringify(r.exceptionDetails));
  return r.result.value;
}

// Polls `expression` until it is true, within `seconds`.
async function wait_for(expression, seconds, what) {
  const deadline = Date.now() + seconds * 1000;
  while (Date.now() < deadline) {
    if (await evaluate(expression)) return;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(what + ' within ' + seconds + ' s; the page says: ' +
                  await evaluate('document.getElementById("status") && document.getElementById("status").textContent'));
}

async function open(address) {
  await send('Page.navigate', {url: address});
  await wait_for('document.readyState === "complete" && !!window.watch_stats && ' +
                 '!document.getElementById("player").hidden && window.watch_stats.shown > 0', 30,
                 'no picture of ' + address);
}

// The canvas's pixels as binary PPM, base64: the alpha dropped, as the game's are 24 bits.
const take_picture = `(() => {
  const c = document.getElementById('picture');
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  const head = 'P6\\n' + c.width + ' ' + c.height + '\\n255\\n';
  const out = new Uint8Array(head.length + c.width * c.height * 3);
  for (let i = 0; i < head.length; ++i) out[i] = head.charCodeAt(i);
  for (let i = 0, o = head.length; i < d.length; i += 4) { out[o++] = d[i]; out[o++] = d[i + 1]; out[o++] = d[i + 2]; }
  let text = '';
  for (let i = 0; i < out.length; i += 0x8000) text += String.fromCharCode.apply(null, out.subarray(i, i + 0x8000));
  return btoa(text);
})()`;

async function pictures(dir, frames) {
  for (const frame of frames) {
    await open(page + '?frame=' + frame);
    const at = await evaluate('Number(document.getElementById("slider").value)');
    if (at !== Number(frame)) throw new Error('asked for frame ' + frame + ', the page stands at ' + at);
    fs.writeFileSync(path.join(dir, 'frame-' + frame + '.ppm'), Buffer.from(await evaluate(take_picture), 'base64'));
  }
}

async function ending() {
  await open(page);
  const total = await evaluate('Number(document.getElementById("player").dataset.frames)');
  await open(page + '?frame=' + Math.max(1, total - 200));
  await evaluate('document.getElementById("speed").click(); document.getElementById("play").click(); true');
  await wait_for('window.watch_stats.ended', 30, 'the round did not end');
  console.log('score ' + await evaluate('window.watch_stats.score'));
  console.log(await evaluate('document.getElementById("status").textContent'));
}

function figures(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
  const mean = values.reduce((a, b) => a + b, 0) / values.length;
  return `mean ${mean.toFixed(2)} ms, median ${at(0.5).toFixed(2)}, 95th ${at(0.95).toFixed(2)}, ` +
         `99th ${at(0.99).toFixed(2)}, worst ${sorted[sorted.length - 1].toFixed(2)}`;
}

async function bench() {
  const started = Date.now();
  await open(page);
  const total = await evaluate('Number(document.getElementById("player").dataset.frames)');
  await wait_for('window.watch_stats.ended', total / 50 + 60, 'the round did not end');
  const seconds = (Date.now() - started) / 1000;
  const s = await evaluate('({shown: watch_stats.shown, ticks: watch_stats.tick_ms, late: watch_stats.late, ' +
                           'draw: watch_stats.draw_ms})');
  console.log(`round frames: ${total}, in ${seconds.toFixed(1)} s from opening the page ` +
              `(${(total / 50).toFixed(1)} s at 50 frames a second)`);
  console.log(`pictures shown: ${s.shown}; animation frames: ${s.ticks.length}, ${figures(s.ticks)}`);
  console.log(`time per picture (rules, picture, canvas): ${figures(s.draw)}`);
  console.log(`animation frames that came over 40 ms after the last (two round frames owed): ${s.late}`);
  // A seek back replays from the first frame: to the first, then to the very last.
  const seek_ms = await evaluate(`(() => {
    const s = document.getElementById('slider');
    const to = (frame) => { const t = performance.now(); s.value = frame; s.dispatchEvent(new Event('input')); return performance.now() - t; };
    return [to(1), to(${total})];
  })()`);
  console.log(`seek to frame 1: ${seek_ms[0].toFixed(1)} ms; from there to frame ${total}: ${seek_ms[1].toFixed(1)} ms`);
}

async function screenshot(file) {
  await send('Emulation.setDeviceMetricsOverride', {width: 1280, height: 720, deviceScaleFactor: 1, mobile: false});
  await open(page);
  const shot = await send('Page.captureScreenshot', {format: 'png'});
  fs.writeFileSync(file, Buffer.from(shot.data, 'base64'));
}

(async () => {
  const {targetInfos} = await send('Target.getTargets', {}, false);
  const target = targetInfos.find((t) => t.type === 'page');
  ({sessionId: session} = await send('Target.attachToTarget', {targetId: target.targetId, flatten: true}, false));
  await send('Network.enable');
  await send('Page.enable');
  if (mode === 'pictures') await pictures(rest[0], rest.slice(1));
  else if (mode === 'ending') await ending();
  else if (mode === 'bench') await bench();
  else if (mode === 'screenshot') await screenshot(rest[0]);
  else throw new Error('unknown mode ' + mode);
  const outside = requests.filter((u) => !u.startsWith(origin + '/') && u !== 'about:blank');
  if (outside.length) throw new Error('the page asked outside the board: ' + outside.join(' '));
  finish(0);
})().catch((e) => fail(e.message));
