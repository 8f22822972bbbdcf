// The watch page's player: the round's own rules and picture, compiled to WebAssembly,
// play the round's replay frame by frame at the game's 50 frames a second, into a canvas
// grown by whole factors so every pixel stays a crisp square.
'use strict';

(function () {
  const frame_ms = 20;
  const fast = 4;
  const width = 640, height = 480;

  const player = document.getElementById('player');
  const status_line = document.getElementById('status');
  const canvas = document.getElementById('picture');
  const play_button = document.getElementById('play');
  const speed_button = document.getElementById('speed');
  const slider = document.getElementById('slider');
  const clock = document.getElementById('clock');
  const moment = document.getElementById('moment');
  const score_shown = document.getElementById('score');

  const round_id = player.dataset.round;
  const total = Number(player.dataset.frames);
  const board_score = Number(player.dataset.score);
  const files = {};
  for (const pair of player.dataset.files.split(' ')) {
    const at = pair.indexOf('=');
    files[pair.slice(0, at)] = pair.slice(at + 1);
  }

  const context = canvas.getContext('2d', {alpha: false});
  const image = context.createImageData(width, height);
  const image_words = new Uint32Array(image.data.buffer);

  let round = null;  // the module, once loaded
  let replay_bytes = null;
  let played = 0;  // frames of the round played so far
  let playing = false;
  let speed = 1;
  let last_tick = null;
  let owed = 0;  // frames due but not yet played, as a fraction
  // For the benchmark and the tests: what was shown, and when.
  const stats = {shown: 0, tick_ms: [], draw_ms: [], late: 0, ended: false, score: 0};
  window.watch_stats = stats;

  function say(text) { status_line.textContent = text; }

  function seconds_text(frames) {
    const s = Math.floor(frames * frame_ms / 1000);
    return Math.floor(s / 60) + ':' + String(s % 60).padStart(2, '0');
  }

  // ---- The module ----

  function load_script(src) {
    return new Promise((resolve, reject) => {
      const s = document.createElement('script');
      s.src = src;
      s.onload = resolve;
      s.onerror = () => reject(new Error('the round module did not load'));
      document.head.appendChild(s);
    });
  }

  // The game's three pictures, as its BMP files, cut into the sheets the picture draws from.
  async function load_sheets() {
    const names = ['player.bmp', 'text.bmp', 'background.bmp'];
    const files_in = await Promise.all(names.map(async (name) => {
      const r = await fetch(files[name]);
      if (!r.ok) throw new Error('the board did not give ' + name);
      return new Uint8Array(await r.arrayBuffer());
    }));
    files_in.forEach((bytes, which) => round.HEAPU8.set(bytes, round._picture_sheet_bytes(which, bytes.length)));
    if (round._picture_sheets_load() !== 1) throw new Error('the pictures cannot be read');
    const name = player.dataset.name;
    round._picture_name(name.charCodeAt(0), name.charCodeAt(1), name.charCodeAt(2));
  }

  // Starts the round again from its first frame.
  function restart() {
    const at = round._round_bytes(replay_bytes.length);
    if (!at) throw new Error('the replay is too long for this player');
    round.HEAPU8.set(replay_bytes, at);
    if (round._round_load() !== 0) throw new Error('the replay cannot be read by this player');
    played = 0;
  }

  // One frame of the round; `drawn` for the one that is shown.
  function step(drawn) {
    if (drawn) round._round_step_drawn();
    else round._round_step();
    ++played;
  }

  // Played `count` frames on (fewer at the end), the last of them drawn.
  function play_on(count) {
    const last = Math.min(total, played + count);
    while (played < last) step(played === last - 1);
  }

  // The module draws each pixel's red, green and blue as the canvas takes them; the
  // canvas wants it opaque too.
  function draw() {
    const words = new Uint32Array(round.HEAPU8.buffer, round._round_picture(), width * height);
    for (let i = 0; i < words.length; ++i) image_words[i] = words[i] | 0xff000000;
    context.putImageData(image, 0, 0);
    stats.shown++;
    show_position();
  }

  function show_position() {
    slider.value = String(Math.max(1, played));
    clock.textContent = seconds_text(played) + ' / ' + seconds_text(total);
    const score = round._round_figure(0);
    stats.score = score;
    score_shown.textContent = 'score ' + score;
    moment.href = '/watch/' + round_id + (played > 1 ? '?frame=' + played : '');
  }

  // ---- Moving through the round ----

  // Earlier frames come from the round played again from its start: the rules go
  // forward only, and a whole round replays in a blink without drawing.
  function seek(target) {
    target = Math.max(1, Math.min(total, target));
    if (target < played) restart();
    play_on(target - played);
    owed = 0;
    draw();
    check_end();
  }

  function set_playing(on) {
    playing = on && played < total;
    play_button.textContent = playing ? 'Pause' : 'Play';
    last_tick = null;
    owed = 0;
  }

  function set_speed(s) {
    speed = s;
    speed_button.textContent = s + 'x';
  }

  function check_end() {
    if (played < total) return;
    set_playing(false);
    stats.ended = true;
    const score = round._round_figure(0);
    say(score === board_score ? 'The end: ' + score + ', as the board has it.'
                              : 'The end: ' + score + ', but the board has ' + board_score + '.');
  }

  // Each animation frame plays the frames due since the last one; after a stall (a tab
  // in the background) it picks up where it was rather than racing to catch up.
  function tick(now) {
    if (playing) {
      if (last_tick !== null) {
        stats.tick_ms.push(now - last_tick);
        if (now - last_tick > 2 * frame_ms) stats.late++;
        owed += Math.min(now - last_tick, 250) * speed / frame_ms;
      }
      last_tick = now;
      const due = Math.floor(owed);
      owed -= due;
      if (due > 0) {
        const began = performance.now();
        play_on(due);
        draw();
        stats.draw_ms.push(performance.now() - began);
        check_end();
      }
    }
    requestAnimationFrame(tick);
  }

  // ---- The picture's size ----

  // The largest whole factor that fits the window, in device pixels; `?scale=N` asks for one.
  function fit() {
    const asked = Number(new URLSearchParams(location.search).get('scale'));
    const ratio = window.devicePixelRatio || 1;
    const room_w = player.clientWidth * ratio;
    // Room for the picture and, below it, the controls (about three lines).
    const below = 4 * parseFloat(getComputedStyle(document.body).fontSize);
    const top = canvas.parentElement.getBoundingClientRect().top + window.scrollY;
    const room_h = Math.max(height, (window.innerHeight - top - below) * ratio);
    const best = Math.max(1, Math.floor(Math.min(room_w / width, room_h / height)));
    const factor = asked >= 1 ? Math.floor(asked) : best;
    canvas.style.width = (width * factor / ratio) + 'px';
    canvas.style.height = (height * factor / ratio) + 'px';
  }

  // ---- The controls ----

  function wire_controls() {
    play_button.addEventListener('click', () => {
      if (played >= total) seek(1);
      set_playing(!playing);
      play_button.blur();
    });
    speed_button.addEventListener('click', () => {
      set_speed(speed === 1 ? fast : 1);
      speed_button.blur();
    });
    slider.addEventListener('input', () => {
      set_playing(false);
      seek(Number(slider.value));
    });
    document.addEventListener('keydown', (e) => {
      if (e.altKey || e.ctrlKey || e.metaKey) return;
      const moves = {ArrowLeft: -1, ArrowRight: 1, ArrowDown: -50, ArrowUp: 50};
      if (e.key === ' ') {
        e.preventDefault();
        play_button.click();
      } else if (e.key in moves && e.target !== slider) {
        e.preventDefault();
        set_playing(false);
        seek(played + moves[e.key]);
      }
    });
    window.addEventListener('resize', fit);
  }

  async function start() {
    say('Loading the round...');
    const replay = fetch('/api/v1/replays/' + round_id).then((r) => {
      if (!r.ok) throw new Error('the board did not give the replay');
      return r.arrayBuffer();
    });
    await load_script(files['blockdash-round.js']);
    round = await window.blockdash_round({locateFile: (name) => files[name] || name});
    await load_sheets();
    replay_bytes = new Uint8Array(await replay);
    restart();
    player.hidden = false;
    fit();
    wire_controls();
    set_speed(1);
    const asked = Number(new URLSearchParams(location.search).get('frame'));
    say('');
    // A link to a moment opens there, paused; otherwise the round plays from its start.
    if (asked >= 1) {
      seek(asked);
      set_playing(false);
    } else {
      seek(1);
      set_playing(true);
    }
    requestAnimationFrame(tick);
  }

  start().catch((e) => say('The round cannot be played here: ' + e.message + '. Download its replay below.'));
})();
