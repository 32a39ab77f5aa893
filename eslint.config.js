// ESLint's recommended rules over the page, its tests, benchmarks and build scripts (flat config).
import js from '@eslint/js';
import globals from 'globals';

export default [
  {ignores: ['build/**', 'node_modules/**']},
  {files: ['**/*.js', '**/*.mjs'], ...js.configs.recommended},
  // Leaving members out of a copy by destructuring them ({about, ...notice}) is the idiom.
  {rules: {'no-unused-vars': ['error', {ignoreRestSiblings: true}]}},
  {files: ['web/**/*.js', 'tests/web/unit/**/*.js', 'tests/web/stub-bridge.js', 'bench/page/baseline.js'],
    languageOptions: {globals: globals.browser}},
  {files: ['**/*.mjs', 'eslint.config.js'], languageOptions: {globals: globals.node}},
  // page.evaluate() bodies run in the browser.
  {files: ['tests/web/*.mjs', 'bench/page/*.mjs'], languageOptions: {globals: {...globals.node, ...globals.browser}}},
];
