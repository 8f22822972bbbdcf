// Plays replay files through the rules' WebAssembly module and prints, for each, the figures
// the game's --verify prints and whether the replay's claim holds.
//   node --no-experimental-fetch module_verify.js blockdash-round.js FILE...
'use strict';
const fs = require('fs');
const path = require('path');

const [moduleJs, ...files] = process.argv.slice(2);
const figure = { score: 0, blocksCut: 1, bestCombo: 2, frames: 3, finished: 4, claimKept: 5 };

require(path.resolve(moduleJs))().then((rules) => {
  for (const file of files) {
    const bytes = fs.readFileSync(file);
    const at = rules._round_bytes(bytes.length);
    if (!at) throw new Error(`${file}: no room for ${bytes.length} bytes`);
    rules.HEAPU8.set(bytes, at);  // read HEAPU8 only now: the memory may have grown
    const status = rules._round_load();
    if (status !== 0) {
      console.log(`${file}: unreadable (${status})`);
      continue;
    }
    while (rules._round_step()) {}
    const f = (which) => rules._round_figure(figure[which]);
    console.log(`${file}: score ${f('score')}, blocks cut ${f('blocksCut')}, best combo ${f('bestCombo')}, ` +
                `claim ${f('claimKept') ? 'kept' : 'broken'}`);
  }
});
