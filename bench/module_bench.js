// The rules' WebAssembly module in node, by hand (not part of ./test.sh): how long each kept
// replay takes to play through, nothing drawn, as a page seeking from the start would.
// Printed as `name: value unit` lines, the median of 21 runs after 3 to warm up.
//   node --no-experimental-fetch bench/module_bench.js build/web/blockdash-round.js FILE...
'use strict';
const fs = require('fs');
const path = require('path');

const [moduleJs, ...files] = process.argv.slice(2);
const median = (xs) => xs.slice().sort((a, b) => a - b)[Math.floor(xs.length / 2)];

require(path.resolve(moduleJs))().then((rules) => {
  const sizes = ['.js', '.wasm'].map((end) => fs.statSync(moduleJs.replace(/\.js$/, end)).size);
  console.log(`module_bytes: ${sizes[0] + sizes[1]} bytes (loader ${sizes[0]}, wasm ${sizes[1]})`);
  for (const file of files) {
    const bytes = fs.readFileSync(file);
    const runs = [];
    let frames = 0;
    for (let run = 0; run < 24; ++run) {
      rules.HEAPU8.set(bytes, rules._round_bytes(bytes.length));
      if (rules._round_load() !== 0) throw new Error(`${file}: unreadable`);
      const start = process.hrtime.bigint();
      frames = 1;
      while (rules._round_step()) ++frames;
      if (run >= 3) runs.push(Number(process.hrtime.bigint() - start) / 1e6);
    }
    const ms = median(runs);
    const name = path.basename(file, '.rpl');
    console.log(`${name}_frames: ${frames} frames`);
    console.log(`${name}_whole_round: ${ms.toFixed(2)} ms`);
    console.log(`${name}_per_frame: ${(1000 * ms / frames).toFixed(2)} us`);
  }
});
