// The third-party notices: which package a bundled file belongs to, what a package's notice
// holds, Debian copyright files, which data sources apply, and the notices of the real build.
import assert from 'node:assert/strict';
import {mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join} from 'node:path';
import {after, describe, it} from 'node:test';
import * as esbuild from 'esbuild';
import {bundledPackageFolders, collectNotices, debianCopyrightNotice, formatNotices, packageOfFile,
  readPackageNotice, selectDataSources} from '../../scripts/notices.mjs';

const scratch = mkdtempSync(join(tmpdir(), 'corvane-notices-'));
after(() => rmSync(scratch, {recursive: true, force: true}));

function writeFiles(folder, files) {
  for (const [name, content] of Object.entries(files)) {
    mkdirSync(dirname(join(folder, name)), {recursive: true});
    writeFileSync(join(folder, name), typeof content === 'string' ? content : JSON.stringify(content));
  }
  return folder;
}

let packages = 0;
const makePackage = (manifest, files = {LICENSE: 'ISC licence text'}) =>
  writeFiles(join(scratch, `package-${++packages}`), {'package.json': {version: '1.2.3', ...manifest}, ...files});

describe('#packageOfFile', () => {
  const rows = [
    ['/r/node_modules/leaflet/dist/leaflet-src.esm.js', 'leaflet', '/r/node_modules/leaflet'],
    ['/r/node_modules/@turf/helpers/dist/index.js', '@turf/helpers', '/r/node_modules/@turf/helpers'],
    ['/r/node_modules/a/node_modules/b/index.js', 'b', '/r/node_modules/a/node_modules/b'],
    ['/r/build/web/vendor/leaflet/leaflet-src.esm.js', null, null],
    ['/r/node_modules/leaflet', null, null],
    ['/r/node_modules/@turf/helpers', null, null],
  ];
  for (const [file, name, folder] of rows) {
    it(`places ${file}`, () => {
      assert.deepEqual(packageOfFile(file), name && {name, folder});
    });
  }
});

describe('#readPackageNotice', () => {
  it('reads every licence file, with Windows line ends made plain', () => {
    const folder = makePackage({name: 'two-files', license: 'MIT'},
        {'LICENSE.md': 'Copyright A\r\nline two\r\n', 'NOTICE': 'notice text', 'README.md': 'x'});
    const notice = readPackageNotice(folder);
    assert.equal(notice.text, 'Copyright A\nline two\n\nnotice text');
    assert.equal(notice.licence, 'MIT');
  });

  const rows = [
    [{license: 'ISC', homepage: 'https://example.org/lib#readme', author: 'Ann Lee <a@l.example> (https://l.example)'},
      'ISC', 'https://example.org/lib', 'Ann Lee'],
    [{license: {type: 'BSD-2-Clause'}, repository: 'github:someone/lib', author: {name: 'Bo Ek', url: 'x'}},
      'BSD-2-Clause', 'https://github.com/someone/lib', 'Bo Ek'],
    [{licenses: [{type: 'MIT'}, {type: 'Apache-2.0'}], repository: {url: 'git+https://github.com/x/y.git'}},
      'MIT OR Apache-2.0', 'https://github.com/x/y', ''],
    [{repository: {url: 'git://github.com/x/z.git'}}, '', 'https://github.com/x/z', ''],
    [{}, '', 'https://www.npmjs.com/package/plain', ''],
  ];
  for (const [fields, licence, url, author] of rows) {
    it(`names licence "${licence}", address ${url} and author "${author}"`, () => {
      const notice = readPackageNotice(makePackage({name: 'plain', ...fields}));
      assert.deepEqual([notice.licence, notice.url, notice.author], [licence, url, author]);
    });
  }

  it('refuses a package without a licence file', () => {
    const folder = makePackage({name: 'no-licence', version: '0.1.0'}, {'README.md': 'licensed: MIT'});
    assert.throws(() => readPackageNotice(folder), {message:
      `no-licence 0.1.0 has no licence file in ${folder}; its notice cannot ship with the program`});
  });
});

describe('#debianCopyrightNotice', () => {
  const copyright = [
    'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/',
    'Upstream-Name: lib', '',
    'Files: *', 'Copyright: 2013-2022 Someone', 'License: Expat', '',
    'Files: include/special.h', '       include/other.h', 'Copyright: 2010 Other Inc.',
    '           2011 Third', 'License: BSD-3-clause-Other',
    ' Redistribution is allowed.', ' .', ' Second paragraph.', '',
    'Files: tests/*', 'Copyright: 2001 Test Author', 'License: GPL-2+', '',
    'License: Expat', ' Permission is hereby granted.', ' .', ' THE SOFTWARE IS PROVIDED "AS IS".', '',
  ].join('\n');

  it('takes the licence text from its own paragraph', () => {
    assert.deepEqual(debianCopyrightNotice(copyright, ['*']), {licence: 'Expat', text:
      'Copyright: 2013-2022 Someone\nLicence: Expat\n\nPermission is hereby granted.\n\n' +
      'THE SOFTWARE IS PROVIDED "AS IS".'});
  });

  it('joins the chosen paragraphs, inline texts and continued lines included', () => {
    const notice = debianCopyrightNotice(copyright, ['*', 'include/other.h']);
    assert.equal(notice.licence, 'Expat and BSD-3-clause-Other');
    assert.match(notice.text, /\n\nCopyright: 2010 Other Inc.\n {11}2011 Third\nLicence: BSD-3-clause-Other\n\n/);
    assert.match(notice.text, /Redistribution is allowed.\n\nSecond paragraph.$/);
    assert.doesNotMatch(notice.text, /Test Author/);
  });

  it('fails when no paragraph lists the files', () => {
    assert.throws(() => debianCopyrightNotice(copyright, ['src/*']),
        {message: 'no paragraph for src/* in the copyright file'});
  });
});

describe('#selectDataSources', () => {
  const sources = [
    {name: 'Always', provides: 'a'},
    {name: 'GeoNames', provides: 'places', usedWhen: 'geonames'},
    {name: 'Census', provides: 'shapes', usedWhen: 'census bureau'},
  ];
  const rows = [
    ['no package mentions either', [{name: 'leaflet', about: 'maps'}], {Always: []}],
    ['a package mentions one', [{name: 'us-atlas', about: 'TopoJSON from the U.S. Census Bureau'}],
      {Always: [], Census: ['us-atlas']}],
    ['two packages mention one, in any case', [{name: 'cities', about: 'GEONAMES dump'},
      {name: 'towns', about: 'from geonames.org'}], {Always: [], GeoNames: ['cities', 'towns']}],
  ];
  for (const [name, notices, expected] of rows) {
    it(`lists the right sources when ${name}`, () => {
      const chosen = selectDataSources(sources, notices);
      assert.deepEqual(Object.fromEntries(chosen.map((s) => [s.name, s.via])), expected);
    });
  }
});

describe('#bundledPackageFolders and #collectNotices', () => {
  it('finds a package the page imports straight from node_modules, and only that one', async () => {
    const root = writeFiles(join(scratch, 'project'), {
      'node_modules/place-names/package.json': {name: 'place-names', version: '2.0.0',
        license: 'CC-BY-4.0', description: 'Names from GeoNames', main: 'index.js'},
      'node_modules/place-names/index.js': 'export const names = ["Moab"];',
      'node_modules/place-names/LICENSE': 'Creative Commons Attribution 4.0',
      'node_modules/build-tool/package.json': {name: 'build-tool', version: '1.0.0'},
      'web/js/main.js': 'import {names} from "place-names"; console.log(names);',
    });
    const folders = await bundledPackageFolders(esbuild, {entryPoints: [join(root, 'web/js/main.js')],
      absWorkingDir: root, bundle: true, format: 'esm', logLevel: 'silent'});
    assert.deepEqual(folders, [join(root, 'node_modules', 'place-names')]);

    const notices = collectNotices({packageFolders: [...folders, ...folders],
      dataSources: [{name: 'GeoNames', usedWhen: 'geonames', provides: 'Place names'}]});
    assert.deepEqual(notices.components.map((c) => [c.name, c.version, c.licence]),
        [['place-names', '2.0.0', 'CC-BY-4.0']]);
    assert.deepEqual(notices.dataSources, [{name: 'GeoNames', provides: 'Place names', via: ['place-names']}]);
    assert.equal('about' in notices.components[0], false);
  });
});

describe('the notices of this build', () => {
  const web = process.env.CORVANE_WEB_DIR;
  const file = process.env.CORVANE_NOTICES_FILE;
  const info = async () => (await import(join(web, 'js', 'build-info.js'))).BUILD_INFO;

  it('name what the page ships and the native code, and nothing used only to build', {skip: !web}, async () => {
    const names = (await info()).components.map((c) => c.name);
    for (const shipped of ['leaflet', 'topojson-client', 'us-atlas', 'JSON for Modern C++ (nlohmann/json)']) {
      assert.ok(names.includes(shipped), `${shipped} in ${names}`);
    }
    for (const buildOnly of ['esbuild', '@esbuild/linux-x64', 'playwright-core', 'commander']) {
      assert.ok(!names.includes(buildOnly), buildOnly);
    }
    for (const component of (await info()).components) assert.ok(component.text.length > 100, component.name);
  });

  it('are the same in the page and in the text file', {skip: !web || !file}, async () => {
    assert.equal(readFileSync(file, 'utf8'), formatNotices(await info()));
  });
});
