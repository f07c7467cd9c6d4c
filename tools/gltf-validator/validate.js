// Validates glTF binaries with the Khronos glTF validator.
//   node validate.js FILE.glb|FOLDER...   (a folder: every .glb inside)
// Prints each file's counts and its errors and warnings; exits 1 when any
// file has an error, 77 (skipped) when the validator is not installed.
const fs = require('fs');
let validator;
try {
  validator = require('gltf-validator');
} catch (e) {
  console.log('gltf-validator is not installed (scripts/setup.sh installs it)');
  process.exit(77);
}
(async () => {
  let failed = 0;
  const path = require('path');
  const files = [];
  for (const arg of process.argv.slice(2)) {
    if (fs.statSync(arg).isDirectory()) {
      for (const name of fs.readdirSync(arg).sort()) if (name.endsWith('.glb')) files.push(path.join(arg, name));
    } else {
      files.push(arg);
    }
  }
  if (files.length === 0) {
    console.log('no glTF binaries to validate');
    process.exit(1);
  }
  for (const file of files) {
    const data = new Uint8Array(fs.readFileSync(file));
    const report = await validator.validateBytes(data, { maxIssues: 100 });
    const issues = report.issues;
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos`);
    for (const m of issues.messages) {
      if (m.severity <= 1) console.log(`  ${m.severity === 0 ? 'error' : 'warning'} ${m.code} ${m.pointer}: ${m.message}`);
    }
    if (issues.numErrors > 0) failed = 1;
  }
  process.exit(failed);
})();
